#pragma once
// Probe calibration: the operator holds the probe's wet cotton tip on its metal
// handle, which closes the circuit through the probe's own conductor; the run
// measures the count this gives, first at standard and then at high potential,
// and stores both as the counts that stand for 200 uA. Plain logic on the
// instrument and the clock; the calibration screen and lumo-cli show it.

#include "instrument/instrument.h"
#include "measurement/locatingrun.h"
#include "shell/sharedstate.h"

#include <QDateTime>

namespace lumo {

// The value of a phase from the mean of its last two ticks: reduced by 0.1 %
// (standard) or 0.01 % (high) and rounded.
int standardValueOf(double mean);
int highValueOf(double mean);
// The change gauges: (new - previous) / 4095 * 200, in per cent.
double calibrationChange(int value, int previous);
// The balance gauge: drift of a reading from the phase's first, in per cent of 4000.
double calibrationDrift(int reading, int base);

// A calibration succeeds when the standard value reaches this count.
constexpr int CalibrationSuccessCounts = 3000;

struct CalibrationDisplay
{
    // 前次校準資料
    QString previousDate;
    int previousStandard = 0;
    int previousHigh = 0;
    // 本次環境校準值
    QString todayDate;
    QString newStandard;
    QString newHigh;
    double standardChange = 0; // per cent, -10..+10 on the gauge
    double highChange = 0;
    // 數位校準指標
    QString standardIndicator;
    QString highIndicator;
    int standardBar = 0; // ms of the phase, 0..2600
    int highBar = 0;
    LampShow standardLamp, highLamp, resultLamp;
    double balance = 0;
    // result line and status bar
    QString result;
    QColor resultColor = Qt::black;
    QString status;
    bool running = false; // 開始校準 and 離  開 disabled, 停止校準 enabled
};

class CalibrationView
{
public:
    virtual ~CalibrationView() = default;
    virtual void showCalibration(const CalibrationDisplay& display) { Q_UNUSED(display); }
    // The values were stored (configuration and log).
    virtual void calibrationStored() {}
};

class CalibrationRun
{
public:
    enum class Outcome
    {
        None,
        Stopped,   // 停止校準 while waiting for the short circuit: nothing stored
        TimedOut,  // the contact time limit passed while waiting: nothing stored
        Succeeded, // stored, S >= 3000
        Failed     // S < 3000: logged; the values are used only when the operator keeps them
    };

    CalibrationRun(SharedState& state, Instrument& instrument, CalibrationView& view);

    // Showing the screen.
    void showScreen();
    // 開始校準: runs to its end while processing events.
    Outcome start();
    // 停止校準: honoured only while waiting for the short circuit.
    void requestStop();
    // The wait for the short circuit ends as a stop after this long (0: never).
    void setContactTimeoutMs(qint64 ms) { m_contactTimeoutMs = ms; }

    bool running() const { return m_display.running; }
    const CalibrationDisplay& display() const { return m_display; }
    int standardValue() const { return m_s; }
    int highValue() const { return m_h; }
    int previousStandard() const { return m_previousS; }
    int previousHigh() const { return m_previousH; }
    Outcome outcome() const { return m_outcome; }
    // The measured values were taken into use: after a success, or a failure
    // the operator chose to keep.
    bool valuesApplied() const { return m_applied; }
    // The configuration file took the new values (false: the general error report has why).
    bool configurationSaved() const { return m_saved; }

    static constexpr int TickMs = 280;
    static constexpr int ShortCircuitCounts = 1000; // above: the tip is on the handle
    static constexpr int SeparationLimitMs = 30000;
    static constexpr int BlinkMs = 200;
    static constexpr int DetachedPollMs = 50;

private:
    enum class Phases
    {
        Done,
        Separated
    };
    void prepareAttempt();
    bool waitForShortCircuit();
    void endStopped();
    struct Phase
    {
        int tick = 0;
        int n = 0; // readings summed
        double sum = 0;
        double ramp = 0; // the climbing indicator
        double step = 0;
        qint64 start = 0;
        int base = 0; // the phase's first reading, for the drift
    };
    Phases runPhases();
    bool tick(Phase& p);
    void showOutcome();
    void store();
    void waitForSeparation();
    void finish();
    void showPrevious();
    int readProbe();
    void refresh() { m_view.showCalibration(m_display); }

    SharedState& m_state;
    Instrument& m_instrument;
    CalibrationView& m_view;
    CalibrationDisplay m_display;
    bool m_running = false; // the run's own flag, cleared by 停止校準
    qint64 m_contactTimeoutMs = 0;
    bool m_timedOut = false;
    qint64 m_lastTick = 0;
    int m_s = 0, m_h = 0, m_previousS = 0, m_previousH = 0;
    Outcome m_outcome = Outcome::None;
    bool m_applied = false;
    bool m_saved = false;
};

// Texts of the screen that tests, the screen and lumo-cli share.
QString calibrationIdleStatus();
QString wrongCalibrationNotice();
QString separateProbeNotice();
QString removeProbeStatus();
QString lowConductivityStatus();
// After a failure: whether to use the values all the same (否 keeps the previous ones).
QString keepFailedCalibrationQuestion(int standard, int previousStandard, int previousHigh);

} // namespace lumo
