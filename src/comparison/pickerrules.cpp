#include "comparison/pickerrules.h"

#include <algorithm>

namespace lumo {

void PickerRules::opened()
{
    m_load = false;
    m_remove = false;
    m_row = 0;
}

void PickerRules::enterSubjects()
{
    m_load = false;
    m_remove = false;
}

void PickerRules::enterPickedList()
{
    m_load = false;
}

void PickerRules::enterMeasurements(int measurementCount)
{
    m_load = measurementCount > 0;
    m_remove = false;
}

void PickerRules::sortChanged()
{
    m_load = false;
    m_remove = false;
}

// A row beyond the set sends the selection back to the last entry.
void PickerRules::clickPicked(int row, int held)
{
    m_load = false;
    if (row >= 0 && row < held) {
        m_row = row;
        m_remove = true;
    } else {
        m_row = std::max(0, held - 1);
        m_remove = false;
    }
}

void PickerRules::added(int held)
{
    m_row = std::max(0, held - 1);
}

void PickerRules::removed(int row, int held)
{
    if (held == 0) {
        m_row = 0;
        m_remove = false;
    } else if (row >= held) {
        m_row = held - 1; // the last one went: its predecessor is the new last
    } else {
        m_row = row;
    }
}

} // namespace lumo
