#pragma once
// The rules of the treatment group editor: what a save writes, and what it
// refuses before anything is written (a number already in use, texts longer
// than their columns hold).

#include "records/rows.h"
#include "treatment/treatmenttables.h"

#include <array>

namespace lumo {

// The editor's fields as typed.
struct GroupFields
{
    QString ProNo, ProName, ProData;
    QByteArray ProPict;
    bool ProScal = false;
    std::array<bool, 4> buttons{}; // 程式 1 .. 程式 4
    std::array<QString, 4> ProScrp, ProPrg, ProParm;

    static GroupFields of(const ProgramRow& row);
};

// The stored sizes of the number and the name.
constexpr int GroupNumberLength = 12;
constexpr int GroupNameLength = 24;

// "1" for each ticked button, "0" for each other, in row order ("1010").
QString programButtonFlags(const std::array<bool, 4>& buttons);
// Character n (1-based) of a flag string is exactly "1"; beyond the end is off.
bool flagIsOn(const QString& flags, int n);

// 儲存資料 is offered only while the number holds something other than blanks.
bool groupNumberGiven(const QString& typed);

QString duplicateGroupMessage(const QString& existingName);
QString groupNumberTooLongMessage();
QString groupNameTooLongMessage();
// A chosen picture file that cannot be read or shown.
QString unreadablePictureMessage(const QString& path);

struct GroupSaveResult
{
    enum Outcome
    {
        Saved,
        Duplicate, // the message is a 注意 notice after alert tone 1
        Refused,   // a text too long: a 注意 notice
        Failed     // a database error for the general error report
    };
    Outcome outcome = Saved;
    QString message;
    QString number; // the stored number of a saved program
};

// Add mode: the number is trimmed, tested for a duplicate without regard to
// case and stored trimmed; the other texts are stored as typed.
GroupSaveResult addGroup(TreatmentTables& tables, const GroupFields& fields);
// Edit mode: every field but the number; the program keeps its conditions.
GroupSaveResult changeGroup(TreatmentTables& tables, const ProgramRow& current, const GroupFields& fields);

} // namespace lumo
