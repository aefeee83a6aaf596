#pragma once
// Two subjects that are one person (an append import doubles subjects whose
// number was there already; a person registered twice under two numbers)
// become one: the operator picks each field from one or the other, the
// measurements of both go to the kept subject, the other subject is removed,
// all in one transaction. The merge is kept (ZUMERGE) until the next one, so
// the last merge can be undone.

#include "records/database.h"
#include "records/rows.h"

#include <QPair>
#include <array>
#include <optional>

namespace lumo {

// The fields the operator picks, in the order the merge screen lists them.
enum class MergeField
{
    CUSTNO,
    NAME,
    SEX,
    DBIRTH,
    ADDR,
    TEL,
    TEL2,
    TEL3,
    EMAIL,
    MEMO
};
constexpr int MergeFieldCount = 10;
const char* mergeFieldLabel(MergeField f);
// The field's value as the screen shows it (sex as 男/女, birth date as a short date).
QString mergeFieldText(const SubjectRow& s, MergeField f);

// For each field: true takes the other subject's value.
using MergeChoice = std::array<bool, MergeFieldCount>;

// The kept subject after the merge: the chosen fields, and the fields no screen
// shows (BTYPE, HEIGHT, ...) kept from it, or the other's where it has none.
SubjectRow mergedSubject(const SubjectRow& kept, const SubjectRow& other, const MergeChoice& choice);

struct MergeRecord
{
    double when = 0;
    SubjectRow keptBefore;
    SubjectRow removed;
    QVector<QPair<qint64, QString>> moved; // measurement key and the number it had
};

// Merges `other` into `kept`, each as the operator saw it (its MKEY and
// ROWVER): both rows are locked until the commit and refused when either is
// gone or was changed since (another workstation's edit or merge). Refused
// when a third subject holds either number: its measurements are linked by
// the number too and would be taken along. `auditText` receives what the log
// says of it (mergeAuditText).
Status mergeSubjects(Database& db, const SubjectRow& kept, const SubjectRow& other, const MergeChoice& choice,
                     double now, int* movedMeasurements = nullptr, QString* auditText = nullptr);
// Both subjects and the fields taken from the one that goes, in the screen's words.
QString mergeAuditText(const SubjectRow& kept, const SubjectRow& other, const MergeChoice& choice, int moved);

// The merge that can be undone, if any.
std::optional<MergeRecord> lastMerge(Database& db);

// Puts the removed subject back under its key, the kept one's fields and the
// moved measurements' numbers as they were, and forgets the merge. Refused
// when the kept subject was deleted since, or another subject has taken the
// removed one's number. `auditText` receives what the log says of it.
Status undoLastMerge(Database& db, QString* auditText = nullptr);

// Numbers that more than one subject holds, each with its count, in number order.
QVector<QPair<QString, int>> duplicateNumbers(Database& db);
// The subjects holding a number, in key order.
QVector<SubjectRow> subjectsWithNumber(Database& db, const QString& custNo, int limit = 50);

// The largest subject key now (0 for none); subjects appended later have larger ones.
qint64 highestSubjectKey(Database& db);
// Subjects appended after `keyBefore` whose number a subject from before holds.
qint64 importedDuplicates(Database& db, qint64 keyBefore);

} // namespace lumo
