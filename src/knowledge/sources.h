#pragma once
// The readable sources of the delivered data: one file per knowledge entry or
// master program, fields introduced by "@Name" lines. Parsed by the build and
// by the tests that check the delivered files against them.

#include "base/status.h"
#include "records/programs.h"

#include <QMap>
#include <QString>

namespace lumo {

// "@Field" starts a field; its text runs to the next "@" line (trailing line
// breaks dropped). Lines starting with "#" before the first field are comments.
QMultiMap<QString, QString> parseSourceFields(const QString& text);

// A knowledge entry: the fields of ZUMTDB in plain text.
struct KnowledgeSource
{
    int key = 0;
    QMap<QString, QString> fields;
};
std::optional<KnowledgeSource> parseKnowledgeSource(int key, const QString& text, QString* error);

// A master program: the program fields, and conditions written as
// "name | note | position=code,... | required positions | flag | age low | age high | energy".
std::optional<ProgramWithConditions> parseProgramSource(const QString& text, QString* error);

// The 24-digit condition strings of a position list ("1=1,23=3") and a required list ("1,6").
std::optional<QString> conditionString(const QString& positions, QString* error);
std::optional<QString> requiredString(const QString& positions, QString* error);

} // namespace lumo
