#pragma once
// The "virtual probe": a small always-on-top panel that plays the probe of the
// simulated instrument (touch and lift, the value, the automatic mode, plugging).

#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

namespace lumo {

class Clock;
class SimulatedInstrument;

class ProbePanel : public QWidget
{
    Q_OBJECT
public:
    ProbePanel(SimulatedInstrument& sim, Clock& clock, QWidget* parent = nullptr);

private:
    void refresh();
    SimulatedInstrument& m_sim;
    Clock& m_clock;
    QPushButton* m_touch;
    QPushButton* m_auto;
    QPushButton* m_plug;
    QSlider* m_value;
    QLabel* m_valueText;
};

} // namespace lumo
