#include "backup/retention.h"

#include <QRegularExpression>
#include <algorithm>
#include <functional>
#include <set>
#include <vector>

namespace lumo {

QString backupFileName(QDate day)
{
    return QStringLiteral("lumo4-%1.mdb").arg(day.toString(QStringLiteral("yyyyMMdd")));
}

std::optional<QDate> backupDate(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^lumo4-(\\d{4})(\\d{2})(\\d{2})\\.mdb$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch()) return std::nullopt;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid()) return std::nullopt;
    return d;
}

namespace {

struct Dated
{
    QString name;
    QDate day;
};

// Walks the copies newest first and keeps the first one of each of the
// `count` newest periods (a period is what `periodOf` gives a date).
void keepPeriods(const std::vector<Dated>& newestFirst, int count,
                 const std::function<qint64(QDate)>& periodOf, std::set<QString>& kept)
{
    std::set<qint64> seen;
    for (const Dated& d : newestFirst) {
        if (int(seen.size()) == count) return;
        if (seen.insert(periodOf(d.day)).second) kept.insert(d.name);
    }
}

} // namespace

QStringList backupsToPrune(const QStringList& names, const QString& justMade)
{
    std::vector<Dated> dated;
    for (const QString& n : names)
        if (const auto d = backupDate(n)) dated.push_back({n, *d});
    // Two names of one day (lumo4-20260101.mdb and LUMO4-20260101.MDB) keep a stable order.
    std::sort(dated.begin(), dated.end(), [](const Dated& a, const Dated& b) {
        return a.day != b.day ? a.day > b.day : a.name < b.name;
    });
    std::set<QString> kept;
    keepPeriods(
        dated, KeepDaily, [](QDate d) { return d.toJulianDay(); }, kept);
    keepPeriods(
        dated, KeepWeekly,
        [](QDate d) {
            int year = 0;
            const int week = d.weekNumber(&year);
            return qint64(year) * 100 + week;
        },
        kept);
    keepPeriods(
        dated, KeepMonthly, [](QDate d) { return qint64(d.year()) * 100 + d.month(); }, kept);
    if (!justMade.isEmpty()) kept.insert(justMade);
    QStringList pruned;
    for (const Dated& d : dated)
        if (!kept.count(d.name)) pruned << d.name;
    return pruned;
}

} // namespace lumo
