#pragma once
// Day numbers and the display forms of dates, times and numbers.
// A date-time is stored as a day number: day 0 is 1899-12-30 and the
// fraction is the time of day, so values carried over from older files stay exact.

#include <QDate>
#include <QDateTime>
#include <QString>

namespace lumo {

constexpr double NoBirthDateLimit = 4000; // 1910-12-13: at or below counts as no birth date

inline bool isNoBirthDate(double day)
{
    return day <= NoBirthDateLimit;
}

double dayNumber(const QDateTime& dt);
double dayNumber(const QDate& d);
QDateTime dateTimeFromDayNumber(double day);
QDate dateFromDayNumber(double day);

// The short date and long time forms the program shows and stores in texts.
QString shortDate(const QDate& d);
QString longTime(const QTime& t);
QString shortDateOfDay(double day);
QString longTimeOfDay(double day);
// Both, a blank between: the system's date-and-time form.
QString dateTimeOfDay(double day);
// What the operator typed in those forms; an invalid date or time when it is none.
QDate parseShortDate(const QString& text);
QTime parseLongTime(const QString& text);

// Age in whole calendar years: this year minus the birth year, month and day ignored.
int ageInYears(double birthDay, const QDate& today);

// printf-style formatting as the screens specify it ("%5.2f", "%3d").
QString fmt(const char* pattern, double v);
QString fmt(const char* pattern, int v);
// "%8.0n": thousands separators, no decimals, right-aligned in width.
QString thousands(qint64 v, int width);

// Rounding to the nearest integer with halves to the even neighbour.
long long rnd(double x);

} // namespace lumo
