#pragma once
// The "virtual probe": a small always-on-top panel that plays the probe of the
// simulated instrument (touch and lift, the value, the automatic mode, plugging).

#include "instrument/handscript.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QComboBox;

namespace lumo {

class Clock;
class SimulatedInstrument;

class ProbePanel : public QWidget
{
    Q_OBJECT
public:
    ProbePanel(SimulatedInstrument& sim, Clock& clock, QWidget* parent = nullptr);
    // The automatic mode follows this script (lumo --probe-script) instead of the steady hand.
    void setHandScript(const HandScript& hands) { m_script = hands; }

private:
    void refresh();
    // probepanelcontacts.cpp: the tip on the handle (calibration) and the
    // probe moved along the skin (locating).
    QWidget* buildCalibrationGroup();
    QWidget* buildLocatingGroup();
    void connectHand();
    void keepOnScreen();
    void refreshContacts();
    SimulatedInstrument& m_sim;
    Clock& m_clock;
    QPushButton* m_touch;
    QPushButton* m_auto;
    QCheckBox* m_realistic; // 真實手感: the automatic hand drifts, scatters, presses and lifts
    HandScript m_script;
    QPushButton* m_more = nullptr;
    QPushButton* m_plug;
    QSlider* m_value;
    QLabel* m_valueText;
    QPushButton* m_handle;
    QComboBox* m_shortStandard;
    QComboBox* m_shortHigh;
    QCheckBox* m_handleNoise;
    QPushButton* m_skin;
    QSlider* m_position;
    QLabel* m_positionText;
};

} // namespace lumo
