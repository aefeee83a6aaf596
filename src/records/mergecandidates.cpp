#include "records/mergecandidates.h"

#include "base/formats.h"
#include "records/subjects.h"

#include <algorithm>
#include <cmath>

namespace lumo {
namespace {

// Fewer digits than a local number has (an extension, a half-typed number)
// say nothing about who a subject is.
constexpr int LeastPhoneDigits = 6;
// Subjects of one name read at most: a name held thousands of times (a
// generated test practice) still answers at once.
constexpr int MostOfOneName = 2000;

QStringList phonesOf(const SubjectRow& s)
{
    QStringList out;
    for (const QString& number : {s.TEL, s.TEL2}) {
        const QString digits = phoneDigits(number);
        if (digits.size() >= LeastPhoneDigits) out << digits;
    }
    return out;
}

bool sameBirth(const SubjectRow& a, const SubjectRow& b)
{
    return !isNoBirthDate(a.DBIRTH) && !isNoBirthDate(b.DBIRTH) &&
           std::floor(a.DBIRTH) == std::floor(b.DBIRTH);
}

bool samePhone(const SubjectRow& a, const SubjectRow& b)
{
    const QStringList theirs = phonesOf(b);
    const QStringList mine = phonesOf(a);
    return std::any_of(mine.begin(), mine.end(), [&](const QString& d) { return theirs.contains(d); });
}

} // namespace

QString phoneDigits(const QString& number)
{
    QString digits;
    for (const QChar c : number)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
    return digits;
}

Likeness likeness(const SubjectRow& kept, const SubjectRow& other)
{
    const QString name = kept.NAME.trimmed();
    if (name.isEmpty() || name != other.NAME.trimmed()) return Likeness::None;
    const bool birth = sameBirth(kept, other), phone = samePhone(kept, other);
    return birth && phone ? Likeness::NameBirthAndPhone
           : birth        ? Likeness::NameAndBirth
           : phone        ? Likeness::NameAndPhone
                          : Likeness::None;
}

QString likenessText(Likeness l)
{
    switch (l) {
    case Likeness::NameBirthAndPhone:
        return QString::fromUtf8("同姓名、生日及電話");
    case Likeness::NameAndBirth:
        return QString::fromUtf8("同姓名及生日");
    case Likeness::NameAndPhone:
        return QString::fromUtf8("同姓名及電話");
    case Likeness::None:
        break;
    }
    return {};
}

QString mergeCandidatesStatement()
{
    return QStringLiteral("SELECT %1 FROM ZUCUST WHERE NAME IN (?, ?) AND MKEY <> ? LIMIT ?")
        .arg(subjectColumns());
}

QVector<MergeCandidate> mergeCandidates(Database& db, const SubjectRow& kept, int limit)
{
    QVector<MergeCandidate> out;
    const QString name = kept.NAME.trimmed();
    if (name.isEmpty()) return out;
    // The kept name as stored and trimmed (an older file may keep it padded;
    // the editors and the imports store names trimmed).
    SqlRows rows;
    if (!db.run(mergeCandidatesStatement(), {kept.NAME, name, kept.MKEY, MostOfOneName}, &rows)) return out;
    for (const SqlRow& r : rows) {
        MergeCandidate c{readSubject(r)};
        c.likeness = likeness(kept, c.subject);
        if (c.likeness != Likeness::None) out << c;
    }
    std::sort(out.begin(), out.end(), [](const MergeCandidate& a, const MergeCandidate& b) {
        return a.likeness != b.likeness ? a.likeness > b.likeness : a.subject.MKEY < b.subject.MKEY;
    });
    if (out.size() > limit) out.resize(limit);
    return out;
}

} // namespace lumo
