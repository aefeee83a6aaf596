#include "treatment/conditionpanels.h"

#include "treatment/matching.h"

#include <algorithm>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Positions 3 (肌骨系統) and 5 (自律神經) have one box: 異常.
bool singleBox(int position)
{
    return position == 3 || position == 5;
}

// One code of a read condition; blank strings are all zeros.
int codeAt(const QString& s, int position)
{
    return s.trimmed().isEmpty() ? 0 : conditionDigit(s, position);
}

} // namespace

const QStringList& ConditionPanels::comparisonItems()
{
    static const QStringList items = {u("等於 ="), u("大於 >"), u("小於 <")};
    return items;
}

QString ConditionPanels::categoryCaption(int position)
{
    static const char* const captions[CategoryPositions] = {
        "體能狀態", "精神狀態", "肌骨系統", "新陳代謝", "自律神經", "肺經", "大腸經", "心包經",
        "三焦經",   "心經",     "小腸經",   "脾經",     "胃經",     "肝經", "膽經",   "腎經",
        "膀胱經",   "木",       "火",       "土",       "金",       "水"};
    if (position < 1 || position > CategoryPositions) return {};
    return u(captions[position - 1]);
}

QStringList ConditionPanels::optionCaptions(int position)
{
    switch (position) {
    case 1:
        return {u("虛弱"), u("亢奮")};
    case 2:
        return {u("衰弱"), u("亢奮")};
    case 3:
    case 5:
        return {u("異常")};
    case 4:
        return {u("減弱"), u("增強")};
    default:
        return {u("虛證"), u("實證")};
    }
}

ConditionPanels ConditionPanels::read(const ConditionRow& row)
{
    ConditionPanels s;
    for (int p = 1; p <= CategoryPositions; ++p) {
        s.m_category[size_t(p - 1)] = codeAt(row.ProAnd, p) == 1;
        const int v = codeAt(row.ProCond, p);
        if (p == 1 && v >= 4 && v <= 6) {
            s.m_range = true;
            s.m_comparison = v - 4;
        } else if (singleBox(p)) {
            s.m_option[size_t(p - 1)][0] = v != 0; // any code tests "not normal" there
        } else if (v >= 1 && v <= 3) {
            s.m_option[size_t(p - 1)][0] = v & 1;
            s.m_option[size_t(p - 1)][1] = v & 2;
        }
    }
    const int age = codeAt(row.ProCond, 23);
    if (age >= 1 && age <= 3) {
        s.m_lowerBox = age & 1;
        s.m_upperBox = age & 2;
    }
    const int sex = codeAt(row.ProCond, 24);
    s.m_sex = sex == 1 || sex == 2;
    s.m_male = sex != 2;
    s.m_energy = std::clamp(row.ProEng, 0.0, double(MaxEnergy));
    s.m_lowerAge = std::clamp(row.ProAGL, 0, MaxAge);
    s.m_upperAge = std::clamp(row.ProAGH, 0, MaxAge);
    return s;
}

QString ConditionPanels::ProCond() const
{
    QString s(Positions, QLatin1Char('0'));
    auto put = [&s](int position, int code) { s[position - 1] = QLatin1Char(char('0' + code)); };
    for (int p = 1; p <= CategoryPositions; ++p) {
        const auto& o = m_option[size_t(p - 1)];
        if (p == 1 && m_range)
            put(p, 4 + std::max(m_comparison, 0));
        else if (singleBox(p))
            put(p, o[0] ? 1 : 0);
        else
            put(p, (o[0] ? 1 : 0) + (o[1] ? 2 : 0));
    }
    put(23, (m_lowerBox ? 1 : 0) + (m_upperBox ? 2 : 0));
    put(24, m_sex ? (m_male ? 1 : 2) : 0);
    return s;
}

QString ConditionPanels::ProAnd() const
{
    QString s;
    s.reserve(Positions);
    for (bool on : m_category)
        s += on ? QLatin1Char('1') : QLatin1Char('0');
    return s + QStringLiteral("00");
}

void ConditionPanels::writeTo(ConditionRow& row) const
{
    row.ProCond = ProCond();
    row.ProAnd = ProAnd();
    row.ProEng = m_energy;
    row.ProAGL = m_lowerAge;
    row.ProAGH = m_upperAge;
}

void ConditionPanels::setRange(bool on)
{
    m_range = on;
    if (on && m_comparison < 0) m_comparison = 0;
}

void ConditionPanels::setEnergy(double v)
{
    m_energy = std::clamp(v, 0.0, double(MaxEnergy));
}

void ConditionPanels::setLowerAge(int years)
{
    m_lowerAge = std::clamp(years, 0, MaxAge);
    if (m_upperAge < m_lowerAge) m_upperAge = m_lowerAge;
}

void ConditionPanels::setUpperAge(int years)
{
    m_upperAge = std::clamp(years, 0, MaxAge);
    if (m_lowerAge > m_upperAge) m_lowerAge = m_upperAge;
}

} // namespace lumo
