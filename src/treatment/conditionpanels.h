#pragma once
// The check-box panels of the treatment program screen as plain state, and the
// one encoding between them and a condition's ProCond/ProAnd strings. Matching
// reads what this writes, so a condition built here must match exactly the
// measurements the matching rules say it matches; both sides share this class
// in their tests.

#include "records/rows.h"

#include <QString>
#include <QStringList>
#include <array>

namespace lumo {

class ConditionPanels
{
public:
    static constexpr int Positions = 24;
    static constexpr int CategoryPositions = 22; // positions with a category box (ProAnd)
    static constexpr int MaxEnergy = 200;
    static constexpr int MaxAge = 100;

    // The items of the comparison box of 範圍, in code order 4, 5, 6.
    static const QStringList& comparisonItems();
    // The caption of a position's category box: 體能狀態 .. 自律神經, the
    // twelve meridians, the five elements (positions 1-22).
    static QString categoryCaption(int position);
    // The captions of a position's sub-option boxes: two, or one (異常) at
    // positions 3 and 5.
    static QStringList optionCaptions(int position);

    // Reads a stored condition: blank strings are 24 zeros, a character that is
    // no digit reads 0. Codes the panels cannot produce (4-9 at a two-box
    // position, 7-9 at position 1, 4-9 at the age position, 3-9 at the sex
    // position) tick none of that position's boxes.
    static ConditionPanels read(const ConditionRow& row);

    // The strings the panels encode, both always 24 digits; ProAnd ends in "00".
    QString ProCond() const;
    QString ProAnd() const;
    // Stores the strings and the three numbers into the condition.
    void writeTo(ConditionRow& row) const;

    // Category box of positions 1-22 (the position is then required).
    bool category(int position) const { return m_category[size_t(position - 1)]; }
    void setCategory(int position, bool on) { m_category[size_t(position - 1)] = on; }
    // Sub-option box `box` (0 or 1) of positions 1-22; at position 1 these are 虛弱 and 亢奮.
    bool option(int position, int box) const { return m_option[size_t(position - 1)][size_t(box)]; }
    void setOption(int position, int box, bool on) { m_option[size_t(position - 1)][size_t(box)] = on; }

    // 範圍 of position 1: the body energy compared with the value.
    bool range() const { return m_range; }
    // Ticking selects "等於 =" when nothing is selected.
    void setRange(bool on);
    int comparison() const { return m_comparison; } // -1: nothing selected
    void setComparison(int index) { m_comparison = index; }
    double energy() const { return m_energy; }
    void setEnergy(double v);

    // 大於等於 / 小於等於 with their limits.
    bool lowerAgeBox() const { return m_lowerBox; }
    bool upperAgeBox() const { return m_upperBox; }
    void setLowerAgeBox(bool on) { m_lowerBox = on; }
    void setUpperAgeBox(bool on) { m_upperBox = on; }
    int lowerAge() const { return m_lowerAge; }
    int upperAge() const { return m_upperAge; }
    // The arrows are coupled: raising the lower limit above the upper one
    // raises the upper one with it, and lowering the upper limit below the
    // lower one lowers that with it, so the range never turns empty.
    void setLowerAge(int years);
    void setUpperAge(int years);

    // 性別條件 with 男性 / 女性.
    bool sexCondition() const { return m_sex; }
    void setSexCondition(bool on) { m_sex = on; }
    bool male() const { return m_male; }
    void setMale(bool male) { m_male = male; }

    // Which dependent controls are usable (while editing): 虛弱/亢奮 only
    // without 範圍, the comparison and value only with it, each age field with
    // its box, 男性/女性 with 性別條件.
    bool optionsOfBodyEnabled() const { return !m_range; }
    bool comparisonEnabled() const { return m_range; }
    bool lowerAgeEnabled() const { return m_lowerBox; }
    bool upperAgeEnabled() const { return m_upperBox; }
    bool sexChoiceEnabled() const { return m_sex; }

    bool operator==(const ConditionPanels& o) const = default;

private:
    std::array<bool, CategoryPositions> m_category{};
    std::array<std::array<bool, 2>, CategoryPositions> m_option{};
    bool m_range = false;
    int m_comparison = -1;
    double m_energy = 0;
    bool m_lowerBox = false, m_upperBox = false;
    int m_lowerAge = 0, m_upperAge = 0;
    bool m_sex = false;
    bool m_male = true;
};

} // namespace lumo
