#pragma once
// "量測誤差": how large a change must be to be more than chance: the
// practice's repeat pairs counted (and the older unkeyed ones left out), and
// the MDC95 of every meridian, the whole-body shift and every index with its
// 95 % interval, within a session and between visits.

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
    QString countsText() const;
    NoiseFigures m_figures;
    QLabel* m_source;
    QTableWidget* m_table;
};

} // namespace lumo
