#include "practice/masking.h"

#include "base/formats.h"
#include "records/rows.h"

#include <QVector>

namespace lumo {
namespace {

const char32_t kMark = U'○';

// Code points, so that a character outside the basic plane (a rare name
// character) counts as one and is never cut in half.
QVector<char32_t> points(const QString& s)
{
    const QList<uint> ucs4 = s.toUcs4();
    return QVector<char32_t>(ucs4.begin(), ucs4.end());
}

QString text(const QVector<char32_t>& cps)
{
    return QString::fromUcs4(cps.constData(), cps.size());
}

} // namespace

QString maskedName(const QString& name)
{
    const QVector<char32_t> cps = points(name.trimmed());
    if (cps.isEmpty()) return {};
    if (cps.size() == 1) return text({kMark});
    if (cps.size() == 2) return text({cps.front(), kMark});
    return text({cps.front(), kMark, cps.back()});
}

QString maskedNumber(const QString& number)
{
    QVector<char32_t> cps = points(number.trimmed());
    int count = 0;
    for (char32_t c : cps)
        if (QChar::isLetterOrNumber(c)) ++count;
    const int keep = std::min(3, count / 4);
    int seen = 0;
    for (char32_t& c : cps) {
        if (!QChar::isLetterOrNumber(c)) continue;
        if (seen >= keep && seen < count - keep) c = kMark;
        ++seen;
    }
    return text(cps);
}

QString maskedAddress(const QString& address)
{
    const QVector<char32_t> cps = points(address.trimmed());
    if (cps.isEmpty()) return {};
    // An address shorter than a city name is all ○.
    if (cps.size() <= 3) return text({kMark});
    return text(cps.mid(0, 3) + QVector<char32_t>{kMark});
}

QString maskedEmail(const QString& email)
{
    const QString e = email.trimmed();
    const qsizetype at = e.lastIndexOf(QLatin1Char('@'));
    if (at < 0) return maskedName(e);
    const QVector<char32_t> local = points(e.left(at));
    const QString head = local.isEmpty() ? QString() : text({local.front(), kMark});
    return head + e.mid(at);
}

ShownSubject shownSubject(const SubjectRow& r, bool masked)
{
    const bool birth = !isNoBirthDate(r.DBIRTH);
    if (!masked)
        return {r.CUSTNO, r.NAME, birth ? shortDateOfDay(r.DBIRTH) : QString(), r.TEL, r.TEL2, r.TEL3,
                r.ADDR,   r.EMAIL};
    return {maskedNumber(r.CUSTNO),
            maskedName(r.NAME),
            birth ? QString::number(dateFromDayNumber(r.DBIRTH).year()) : QString(),
            maskedNumber(r.TEL),
            maskedNumber(r.TEL2),
            maskedNumber(r.TEL3),
            maskedAddress(r.ADDR),
            maskedEmail(r.EMAIL)};
}

} // namespace lumo
