#pragma once
// The external commands that the buttons of treatment programs start (a
// program with its parameter, or a file or address handed to the shell),
// as a file someone hands us brings them. Nothing of them arrives unless the
// operator agreed after seeing each one whole; what is declined goes with
// the buttons' flags and hints, so no button stays enabled that starts nothing.

#include "records/database.h"
#include "records/legacysource.h"

#include <QStringList>
#include <QVector>

namespace lumo {

struct ProgramCommand
{
    QString proNo;
    QString proName;
    int button = 0; // 1..4
    QString program;
    QString parameter;
};

// Every button of the cursor's ZUPRO rows that would start something, in the
// rows' order. A file of an older layout without the button fields has none.
Status listProgramCommands(LegacyCursor& programs, QVector<ProgramCommand>* commands);
// The same for the programs of an open database.
Status listProgramCommands(Database& db, QVector<ProgramCommand>* commands);

// One line the operator can read whole: "P2 療程名稱，按鈕 1：程式 參數", every
// character that would not show (controls, runs of blanks) marked.
QString describeCommand(const ProgramCommand& command);
QStringList describeCommands(const QVector<ProgramCommand>& commands);

// Whether a field belongs to the program buttons: ProFN, ProScrp1..4,
// ProPrg1..4, ProParm1..4.
bool isButtonField(const QString& field);

// Empties the button fields of every program of the database; runs in the
// caller's transaction (a restore declines the commands of its copy).
Status clearProgramButtons(Database& db);

} // namespace lumo
