#include "base/formats.h"

#include <QRegularExpression>

#include <cmath>

namespace lumo {
namespace {
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;

// Day numbers beyond a few hundred thousand years have no calendar date here
// (a stored 1e300 would overflow the conversion to whole days): they give an
// invalid date, which shows as an empty text.
bool hasCalendarDate(double day)
{
    return std::isfinite(day) && std::fabs(day) < 1e8;
}
} // namespace

double dayNumber(const QDate& d)
{
    return double(kEpoch.daysTo(d));
}

double dayNumber(const QDateTime& dt)
{
    double days = double(kEpoch.daysTo(dt.date()));
    double frac = double(dt.time().msecsSinceStartOfDay()) / double(kMsPerDay);
    // Before the epoch the fraction still counts forward from midnight.
    return days >= 0 ? days + frac : days - frac;
}

QDateTime dateTimeFromDayNumber(double day)
{
    if (!hasCalendarDate(day)) return QDateTime();
    double whole = std::trunc(day);
    double frac = std::fabs(day - whole);
    qint64 ms = qint64(std::llround(frac * double(kMsPerDay)));
    if (ms >= kMsPerDay) ms = kMsPerDay - 1;
    QDate d = kEpoch.addDays(qint64(whole));
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QDate dateFromDayNumber(double day)
{
    if (!hasCalendarDate(day)) return QDate();
    return kEpoch.addDays(qint64(std::trunc(day)));
}

QString shortDate(const QDate& d)
{
    return d.toString(QStringLiteral("yyyy/MM/dd"));
}
QString longTime(const QTime& t)
{
    return t.toString(QStringLiteral("HH:mm:ss"));
}
QString shortDateOfDay(double day)
{
    return shortDate(dateTimeFromDayNumber(day).date());
}
QString longTimeOfDay(double day)
{
    return longTime(dateTimeFromDayNumber(day).time());
}

QString dateTimeOfDay(double day)
{
    return shortDateOfDay(day) + QLatin1Char(' ') + longTimeOfDay(day);
}

// Read as typed: year, month and day with "/", "-" or "." between them (one or
// two digits for month and day), or eight digits in a row. Anything else, and a
// day that does not exist, is no date.
QDate parseShortDate(const QString& text)
{
    static const QRegularExpression separated(QStringLiteral("^(\\d{4})[/.\\-](\\d{1,2})[/.\\-](\\d{1,2})$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    const QString t = text.trimmed();
    QRegularExpressionMatch m = separated.match(t);
    if (!m.hasMatch()) m = compact.match(t);
    if (!m.hasMatch()) return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

// Hours, minutes and optional seconds with ":" between them, one or two digits each.
QTime parseLongTime(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch()) return {};
    return QTime(m.captured(1).toInt(), m.captured(2).toInt(),
                 m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
}

int ageInYears(double birthDay, const QDate& today)
{
    return today.year() - dateFromDayNumber(birthDay).year();
}

QString fmt(const char* pattern, double v)
{
    return QString::asprintf(pattern, v);
}
QString fmt(const char* pattern, int v)
{
    return QString::asprintf(pattern, v);
}

QString thousands(qint64 v, int width)
{
    QString digits = QString::number(v < 0 ? -v : v);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    if (v < 0) digits.prepend(QLatin1Char('-'));
    return digits.rightJustified(width, QLatin1Char(' '));
}

long long rnd(double x)
{
    return std::llrint(x);
} // default rounding mode: halves to even

} // namespace lumo
