#include "base/formats.h"

#include <cmath>

namespace lumo {
namespace {
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;
} // namespace

double dayNumber(const QDate& d) { return double(kEpoch.daysTo(d)); }

double dayNumber(const QDateTime& dt)
{
    double days = double(kEpoch.daysTo(dt.date()));
    double frac = double(dt.time().msecsSinceStartOfDay()) / double(kMsPerDay);
    // Before the epoch the fraction still counts forward from midnight.
    return days >= 0 ? days + frac : days - frac;
}

QDateTime dateTimeFromDayNumber(double day)
{
    double whole = std::trunc(day);
    double frac = std::fabs(day - whole);
    qint64 ms = qint64(std::llround(frac * double(kMsPerDay)));
    if (ms >= kMsPerDay) ms = kMsPerDay - 1;
    QDate d = kEpoch.addDays(qint64(whole));
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QDate dateFromDayNumber(double day) { return kEpoch.addDays(qint64(std::trunc(day))); }

QString shortDate(const QDate& d) { return d.toString(QStringLiteral("yyyy/MM/dd")); }
QString longTime(const QTime& t) { return t.toString(QStringLiteral("HH:mm:ss")); }
QString shortDateOfDay(double day) { return shortDate(dateTimeFromDayNumber(day).date()); }
QString longTimeOfDay(double day) { return longTime(dateTimeFromDayNumber(day).time()); }

QDate parseShortDate(const QString& text)
{
    return QDate::fromString(text.trimmed(), QStringLiteral("yyyy/MM/dd"));
}

int ageInYears(double birthDay, const QDate& today)
{
    return today.year() - dateFromDayNumber(birthDay).year();
}

QString fmt(const char* pattern, double v) { return QString::asprintf(pattern, v); }
QString fmt(const char* pattern, int v) { return QString::asprintf(pattern, v); }

QString thousands(qint64 v, int width)
{
    QString digits = QString::number(v < 0 ? -v : v);
    for (int i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
    if (v < 0) digits.prepend(QLatin1Char('-'));
    return digits.rightJustified(width, QLatin1Char(' '));
}

long long rnd(double x) { return std::llrint(x); } // default rounding mode: halves to even

} // namespace lumo
