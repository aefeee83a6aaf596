#pragma once
// Subjects who may be one person registered twice under two entries: the
// same name and birth date, or the same name and telephone number (its
// digits, whatever separators were typed). The merge screen proposes them for
// the subject it keeps. They are read along the name's index and compared
// here, so a practice of 100,000 subjects answers as a small one does.

#include "records/database.h"
#include "records/rows.h"

#include <QVector>

namespace lumo {

// Why another subject is likely the same person; None when it is not.
enum class Likeness
{
    None,
    NameAndPhone,
    NameAndBirth,
    NameBirthAndPhone // the strongest
};

// The digits of a telephone number: "(02) 2345-6789" gives "0223456789".
QString phoneDigits(const QString& number);
Likeness likeness(const SubjectRow& kept, const SubjectRow& other);
// "同姓名、生日及電話", "同姓名及生日", "同姓名及電話"; empty for None.
QString likenessText(Likeness l);

struct MergeCandidate
{
    SubjectRow subject;
    Likeness likeness = Likeness::None;
};

// The subjects other than `kept` that are likely the same person, the
// strongest first, then in key order; at most `limit`.
QVector<MergeCandidate> mergeCandidates(Database& db, const SubjectRow& kept, int limit = 20);
// Its statement (binds: the name as stored, trimmed, the kept key, a limit), for checking its plan.
QString mergeCandidatesStatement();

} // namespace lumo
