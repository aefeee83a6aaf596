#include "treatment/matching.h"

#include "base/formats.h"
#include "records/legacysource.h"

#include <cmath>
#include <sqlite3.h>

namespace lumo {
namespace {

// Positions 6-17 run pair by pair: the left and right point of each meridian.
constexpr int kMeridianPoints[12][2] = {{1, 7},   {6, 12},  {2, 8},   {5, 11},  {3, 9},   {4, 10},
                                        {13, 19}, {18, 24}, {14, 20}, {17, 23}, {15, 21}, {16, 22}};
// Positions 18-22: Wood, Fire, Earth, Metal, Water.
constexpr Element kElements[5] = {Element::Wood, Element::Fire, Element::Earth, Element::Metal,
                                  Element::Water};

// Grade codes of positions 2-5: 1 "below", 2 "above", 3 "not normal"; position 3
// and 5 test only "not normal", and position 4 reads 1 as a raised grade.
bool gradeTest(int position, int v, int g, bool required)
{
    if (v == 0) return required && g == 0;
    switch (position) {
    case 3:
    case 5:
        return v >= 1 && v <= 3 && g != 0;
    case 4:
        return v == 1 ? g > 0 : v == 2 ? g < 0 : v == 3 ? g != 0 : false;
    default:
        return v == 1 ? g < 0 : v == 2 ? g > 0 : v == 3 ? g != 0 : false;
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

ConditionCodes ConditionCodes::of(const ConditionRow& c)
{
    ConditionCodes k;
    const bool blankCond = c.ProCond.trimmed().isEmpty();
    const bool blankReq = c.ProAnd.trimmed().isEmpty();
    for (int p = 1; p <= 24; ++p) {
        k.cond[size_t(p - 1)] = quint8(blankCond ? 0 : conditionDigit(c.ProCond, p));
        k.required[size_t(p - 1)] = quint8(!blankReq && conditionDigit(c.ProAnd, p) == 1);
    }
    k.ProAGL = c.ProAGL;
    k.ProAGH = c.ProAGH;
    k.ProEng = c.ProEng;
    k.ProFlg = c.ProFlg;
    return k;
}

bool ConditionMatches(const ConditionRow& c, const EnergyAnalysis& a, int age, bool male)
{
    return ConditionMatches(ConditionCodes::of(c), a, age, male);
}

bool ConditionMatches(const ConditionCodes& c, const EnergyAnalysis& a, int age, bool male)
{
    bool matched = false;
    for (int p = 1; p <= 24; ++p) {
        const int v = c.cond[size_t(p - 1)];
        bool required = c.required[size_t(p - 1)] != 0;
        bool holds = false;
        if (p == 1) {
            if (v >= 4 && v <= 6) {
                const double e = std::trunc(a.BodyEnergy);
                holds = v == 4 ? e == c.ProEng : v == 5 ? e > c.ProEng : e < c.ProEng;
            } else {
                holds = gradeTest(1, v, a.BodyGrade, required);
            }
        } else if (p <= 5) {
            const int g = p == 2   ? a.UpperLowerGrade
                          : p == 3 ? a.LeftRightGrade
                          : p == 4 ? a.YinYangGrade
                                   : a.AutonomicGrade;
            holds = gradeTest(p, v, g, required);
        } else if (p <= 17) {
            const int l = a.PointMark[size_t(kMeridianPoints[p - 6][0] - 1)];
            const int r = a.PointMark[size_t(kMeridianPoints[p - 6][1] - 1)];
            holds = v == 0   ? required && l == 0 && r == 0
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
            holds = v == 1   ? age >= c.ProAGL
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

QStringList MatchPrograms(const QVector<ProgramWithConditions>& programs, const EnergyAnalysis& a, int age,
                          bool male)
{
    QStringList names;
    for (const auto& p : programs)
        if (ProgramMatches(p, a, age, male)) names << p.program.ProName;
    return names;
}

namespace {

// Digits of a condition string as stored (UTF-8 bytes); blank strings are all zeros.
void readDigits(const unsigned char* text, int length, std::array<quint8, 24>& out, bool requiredOnly)
{
    out.fill(0);
    if (!text) return;
    bool blank = true;
    for (int i = 0; i < length; ++i)
        if (text[i] > ' ') blank = false;
    if (blank) return;
    // Multi-byte characters count as one position each, as the text does.
    int position = 0;
    for (int i = 0; i < length && position < 24; ++position) {
        const unsigned char ch = text[i];
        const int bytes = ch < 0x80 ? 1 : ch < 0xE0 ? 2 : ch < 0xF0 ? 3 : 4;
        const int digit = (ch >= '0' && ch <= '9') ? ch - '0' : 0;
        out[size_t(position)] = quint8(requiredOnly ? (digit == 1) : digit);
        i += bytes;
    }
}

// The server's equivalent of the pass below: the same join read row by row.
QStringList matchOnServer(Database& db, const EnergyAnalysis& a, int age, bool male)
{
    QStringList names;
    const Engine& e = db.engine();
    const QString pro = e.caseless(QStringLiteral("p.ProNo"));
    Status st;
    auto rows = db.cursor(QStringLiteral("SELECT p.MKEY, p.ProName, c.ProAnd, c.ProCond, c.ProAGL, c.ProAGH, "
                                         "c.ProEng, c.ProFlg FROM ZUPRO p JOIN ZUPRDT c ON %1 = %2 "
                                         "ORDER BY %2, p.MKEY, c.MKEY")
                              .arg(e.caseless(QStringLiteral("c.ProNo")), pro),
                          {}, &st);
    if (!rows) return names;
    qint64 current = -1;
    QString name;
    bool matched = false, failed = false;
    ConditionCodes c;
    LegacyRow row;
    while (rows->next(&row)) {
        const qint64 key = row.value(0).toLongLong();
        if (key != current) {
            if (current >= 0 && matched && !failed) names << name;
            current = key;
            name = row.value(1).toString();
            matched = failed = false;
        }
        if (failed) continue;
        const QByteArray required = row.value(2).toString().toUtf8();
        const QByteArray cond = row.value(3).toString().toUtf8();
        readDigits(reinterpret_cast<const unsigned char*>(required.constData()), int(required.size()),
                   c.required, true);
        readDigits(reinterpret_cast<const unsigned char*>(cond.constData()), int(cond.size()), c.cond, false);
        c.ProAGL = int(row.value(4).toLongLong());
        c.ProAGH = int(row.value(5).toLongLong());
        c.ProEng = row.value(6).toDouble();
        c.ProFlg = row.value(7).toLongLong() != 0;
        const bool m = ConditionMatches(c, a, age, male);
        if (c.ProFlg && !m) failed = true;
        if (m) matched = true;
    }
    if (current >= 0 && matched && !failed) names << name;
    return names;
}

} // namespace

QStringList MatchPrograms(Database& db, const EnergyAnalysis& a, int age, bool male)
{
    // One pass over programs joined with their conditions, in ZuProB order and
    // table order within a program, reading only what the matching needs
    // straight from SQLite. A program without conditions never matches, so the
    // inner join loses nothing.
    QStringList names;
    sqlite3* h = db.handle();
    if (!h) return matchOnServer(db, a, age, male);
    sqlite3_stmt* st = nullptr;
    const char* sql = "SELECT p.MKEY, p.ProName, c.ProAnd, c.ProCond, c.ProAGL, c.ProAGH, c.ProEng, c.ProFlg "
                      "FROM ZUPRO p JOIN ZUPRDT c ON c.ProNo = p.ProNo ORDER BY p.ProNo, p.MKEY, c.MKEY";
    if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) != SQLITE_OK) return names;
    qint64 current = -1;
    QString name;
    bool matched = false, failed = false;
    auto finish = [&] {
        if (current >= 0 && matched && !failed) names << name;
    };
    ConditionCodes c;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const qint64 key = sqlite3_column_int64(st, 0);
        if (key != current) {
            finish();
            current = key;
            name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                                     sqlite3_column_bytes(st, 1));
            matched = failed = false;
        }
        if (failed) continue;
        readDigits(sqlite3_column_text(st, 2), sqlite3_column_bytes(st, 2), c.required, true);
        readDigits(sqlite3_column_text(st, 3), sqlite3_column_bytes(st, 3), c.cond, false);
        c.ProAGL = sqlite3_column_int(st, 4);
        c.ProAGH = sqlite3_column_int(st, 5);
        c.ProEng = sqlite3_column_double(st, 6);
        c.ProFlg = sqlite3_column_int(st, 7) != 0;
        const bool m = ConditionMatches(c, a, age, male);
        if (c.ProFlg && !m) failed = true;
        if (m) matched = true;
    }
    sqlite3_finalize(st);
    finish();
    return names;
}

} // namespace lumo
