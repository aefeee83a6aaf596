#include "matching.h"

#include "../app/formats.h"

#include <cmath>

namespace lumo {
namespace {

// Positions 6-17 run pair by pair: the left and right point of each meridian.
constexpr int kMeridianPoints[12][2] = {{1, 7},  {6, 12},  {2, 8},   {5, 11},  {3, 9},   {4, 10},
                                        {13, 19}, {18, 24}, {14, 20}, {17, 23}, {15, 21}, {16, 22}};
// Positions 18-22: Wood, Fire, Earth, Metal, Water.
constexpr Element kElements[5] = {Element::Wood, Element::Fire, Element::Earth, Element::Metal, Element::Water};

// Grade codes of positions 2-5: 1 "below", 2 "above", 3 "not normal"; position 3
// and 5 test only "not normal", and position 4 reads 1 as a raised grade.
bool gradeTest(int position, int v, int g, bool required)
{
    if (v == 0) return required && g == 0;
    switch (position) {
    case 3:
    case 5: return v >= 1 && v <= 3 && g != 0;
    case 4: return v == 1 ? g > 0 : v == 2 ? g < 0 : v == 3 ? g != 0 : false;
    default: return v == 1 ? g < 0 : v == 2 ? g > 0 : v == 3 ? g != 0 : false;
    }
}

} // namespace

int conditionAge(double birthDay, const QDate& today)
{
    if (isNoBirthDate(birthDay)) return 0;
    return int(quint16(today.year() - dateFromDayNumber(birthDay).year()));
}

int conditionDigit(const QString& s, int position)
{
    if (position < 1 || position > s.size()) return 0;
    const QChar c = s.at(position - 1);
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? c.unicode() - '0' : 0;
}

bool ConditionMatches(const ConditionRow& c, const EnergyAnalysis& a, int age, bool male)
{
    const QString cond = c.ProCond.trimmed().isEmpty() ? QString() : c.ProCond;
    const QString req = c.ProAnd.trimmed().isEmpty() ? QString() : c.ProAnd;
    bool matched = false;
    for (int p = 1; p <= 24; ++p) {
        const int v = conditionDigit(cond, p);
        bool required = conditionDigit(req, p) == 1;
        bool holds = false;
        if (p == 1) {
            if (v >= 4 && v <= 6) {
                const double e = std::trunc(a.BodyEnergy);
                holds = v == 4 ? e == c.ProEng : v == 5 ? e > c.ProEng : e < c.ProEng;
            } else {
                holds = gradeTest(1, v, a.BodyGrade, required);
            }
        } else if (p <= 5) {
            const int g = p == 2 ? a.UpperLowerGrade : p == 3 ? a.LeftRightGrade : p == 4 ? a.YinYangGrade : a.AutonomicGrade;
            holds = gradeTest(p, v, g, required);
        } else if (p <= 17) {
            const int l = a.PointMark[size_t(kMeridianPoints[p - 6][0] - 1)];
            const int r = a.PointMark[size_t(kMeridianPoints[p - 6][1] - 1)];
            holds = v == 0 ? required && l == 0 && r == 0
                  : v == 1 ? l < 0 && r < 0
                  : v == 2 ? l > 0 && r > 0
                  : v == 3 ? l != 0 || r != 0
                           : false;
        } else if (p <= 22) {
            const int m = a.ElementMark[size_t(kElements[p - 18])];
            holds = v == 0 ? required && m == 0 : v == 1 ? m < 0 : v == 2 ? m > 0 : v == 3 ? m != 0 : false;
        } else if (p == 23) {
            if (age == 0) continue; // no age: the position neither holds nor fails
            required = v != 0;
            holds = v == 1 ? age >= c.ProAGL
                  : v == 2 ? age <= c.ProAGH
                  : v == 3 ? double(c.ProAGL) <= age && age <= double(c.ProAGH)
                           : false;
        } else {
            required = v != 0;
            holds = v == 1 ? male : v == 2 ? !male : false;
        }
        if (required && !holds) return false;
        if (holds) matched = true;
    }
    return matched;
}

bool ProgramMatches(const ProgramWithConditions& p, const EnergyAnalysis& a, int age, bool male)
{
    bool matched = false;
    for (const ConditionRow& c : p.conditions) {
        const bool m = ConditionMatches(c, a, age, male);
        if (c.ProFlg && !m) return false;
        if (m) matched = true;
    }
    return matched;
}

QStringList MatchPrograms(const QVector<ProgramWithConditions>& programs, const EnergyAnalysis& a, int age, bool male)
{
    QStringList names;
    for (const auto& p : programs)
        if (ProgramMatches(p, a, age, male)) names << p.program.ProName;
    return names;
}

QStringList MatchPrograms(Database& db, const EnergyAnalysis& a, int age, bool male)
{
    return MatchPrograms(ProgramStore(db).loadAll(), a, age, male);
}

} // namespace lumo
