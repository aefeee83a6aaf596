#pragma once
// The four condition panels of the treatment program screen (體能精神狀態條件,
// 個別經絡條件, 五行條件, 年齡條件): check boxes, the comparison box, the
// value field and the age arrows over a ConditionPanels state, which holds the
// rules; this only shows it and passes the operator's changes on.

#include "treatment/conditionpanels.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QRadioButton;
class QSpinBox;

namespace lumo {

class ConditionPanelsView : public QWidget
{
    Q_OBJECT
public:
    explicit ConditionPanelsView(QWidget* parent = nullptr);

    void setState(const ConditionPanels& state);
    const ConditionPanels& state() const { return m_state; }
    // Query mode shows the panels disabled; the editing modes enable them by the rules.
    void setEditable(bool editable);

    QCheckBox* categoryBox(int position) const { return m_category[size_t(position - 1)]; }
    QCheckBox* optionBox(int position, int box) const { return m_option[size_t(position - 1)][size_t(box)]; }
    QCheckBox* rangeBox() const { return m_range; }
    QComboBox* comparisonBox() const { return m_comparison; }
    QDoubleSpinBox* energyField() const { return m_energy; }
    QCheckBox* lowerAgeBox() const { return m_lowerBox; }
    QCheckBox* upperAgeBox() const { return m_upperBox; }
    QSpinBox* lowerAgeField() const { return m_lowerAge; }
    QSpinBox* upperAgeField() const { return m_upperAge; }
    QCheckBox* sexBox() const { return m_sex; }
    QRadioButton* maleButton() const { return m_male; }
    QRadioButton* femaleButton() const { return m_female; }

private:
    QGroupBox* buildBodyPanel();
    QGroupBox* buildPositionsPanel(const char* title, const char* name, int first, int last, int columns);
    QGroupBox* buildAgePanel();
    void addPosition(QGridLayout* grid, int position, int row, int column);
    void showState();
    void refreshEnabling();
    template <typename F> void change(F&& f);

    ConditionPanels m_state;
    bool m_editable = false;
    bool m_showing = false; // widgets being set from the state, not by the operator
    std::array<QCheckBox*, ConditionPanels::CategoryPositions> m_category{};
    std::array<std::array<QCheckBox*, 2>, ConditionPanels::CategoryPositions> m_option{};
    QCheckBox* m_range = nullptr;
    QComboBox* m_comparison = nullptr;
    QDoubleSpinBox* m_energy = nullptr;
    QCheckBox* m_lowerBox = nullptr;
    QCheckBox* m_upperBox = nullptr;
    QSpinBox* m_lowerAge = nullptr;
    QSpinBox* m_upperAge = nullptr;
    QCheckBox* m_sex = nullptr;
    QRadioButton* m_male = nullptr;
    QRadioButton* m_female = nullptr;
};

} // namespace lumo
