#pragma once
// The record picker's buttons and picked-list selection, as plain state the
// screen follows: which of 載入資料 and 移  除 is enabled and which picked row
// is selected after each thing the operator does.

namespace lumo {

class PickerRules
{
public:
    bool loadEnabled() const { return m_load; }
    bool removeEnabled() const { return m_remove; }
    int selectedRow() const { return m_row; } // 0-based row of the picked list

    void opened();
    void enterSubjects();
    void enterPickedList();
    void enterMeasurements(int measurementCount);
    void sortChanged();
    // A click on picked row `row` with `held` entries in the set.
    void clickPicked(int row, int held);
    // An entry was appended; `held` entries now.
    void added(int held);
    // Row `row` was removed; `held` entries are left.
    void removed(int row, int held);

private:
    bool m_load = false;
    bool m_remove = false;
    int m_row = 0;
};

} // namespace lumo
