#pragma once
// "量測誤差": the practice's own figures of how large a change must be to be
// real: its repeat pairs, and the SEM and MDC95 of every meridian and index,
// or the published default while the practice has fewer than 20 pairs.

#include "comparison/noise.h"

#include <QDialog>

class QLabel;
class QTableWidget;

namespace lumo {

struct SharedState;

class TZuNoise : public QDialog
{
    Q_OBJECT
public:
    explicit TZuNoise(SharedState& state, QWidget* parent = nullptr);
    const NoiseFigures& figures() const { return m_figures; }
    QTableWidget* table() const { return m_table; }

private:
    void fill();
    NoiseFigures m_figures;
    QLabel* m_source;
    QTableWidget* m_table;
};

} // namespace lumo
