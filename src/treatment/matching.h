#pragma once
// Treatment programs whose conditions a measurement meets.

#include "analysis/energy.h"
#include "records/programs.h"

#include <QDate>
#include <QStringList>

namespace lumo {

// The subject's age for the age conditions: this year minus the birth year,
// as an unsigned 16-bit number. A subject without a birth date has no age (0),
// and age conditions are skipped for it as for a subject born this year.
int conditionAge(double birthDay, const QDate& today);

// One digit of a condition string (0 for a non-digit or a position past the end);
// a blank string counts as 24 zeros.
int conditionDigit(const QString& s, int position);

// A condition with its strings read into digits (a blank string is all zeros).
struct ConditionCodes
{
    std::array<quint8, 24> cond{};
    std::array<quint8, 24> required{}; // 1 where ProAnd holds "1"
    int ProAGL = 0, ProAGH = 0;
    double ProEng = 0;
    bool ProFlg = false;
    static ConditionCodes of(const ConditionRow& c);
};

bool ConditionMatches(const ConditionCodes& c, const EnergyAnalysis& a, int age, bool male);
bool ConditionMatches(const ConditionRow& c, const EnergyAnalysis& a, int age, bool male);
bool ProgramMatches(const ProgramWithConditions& p, const EnergyAnalysis& a, int age, bool male);
QStringList MatchPrograms(const QVector<ProgramWithConditions>& programs, const EnergyAnalysis& a, int age, bool male);
// Reads the programs of a database (main or master) in ZuProB order and matches them.
QStringList MatchPrograms(Database& db, const EnergyAnalysis& a, int age, bool male);

} // namespace lumo
