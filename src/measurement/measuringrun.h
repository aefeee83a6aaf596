#pragma once
// The measuring run: point by point, wait for the probe's contact, read for a
// fixed window of four 600 ms ticks, store, wait for lift-off. Plain logic on
// the instrument and the clock; the measurement screen shows what it reports.

#include "instrument/instrument.h"
#include "shell/sharedstate.h"

#include <QPoint>
#include <QSize>

namespace lumo {

// What the run shows; the measurement screen implements it.
class MeasuringView
{
public:
    virtual ~MeasuringView() = default;
    virtual void runStarted() {}
    virtual void runEnded() {}
    virtual void showPoint(int point) { Q_UNUSED(point); }
    virtual void setStatus(const QString& text) { Q_UNUSED(text); }
    virtual void setPickAllowed(bool allowed) { Q_UNUSED(allowed); }
    // Readings in uA (measured and compensated), the live value and both bars.
    virtual void showValues(double measured, double compensated)
    {
        Q_UNUSED(measured);
        Q_UNUSED(compensated);
    }
    virtual void showLive(double microamperes) { Q_UNUSED(microamperes); }
    virtual void setLevelBar(int value) { Q_UNUSED(value); }
    virtual void setCompletionBar(int value) { Q_UNUSED(value); }
    enum class Phase
    {
        Waiting,
        Reading,
        Stored,
        Idle
    };
    virtual void setLamps(Phase phase) { Q_UNUSED(phase); }
    // The stability trace: size of the graph, background, and line segments.
    virtual QSize graphSize() const { return {500, 150}; }
    virtual void clearGraph() {}
    virtual void traceLine(QPoint from, QPoint to, bool fan)
    {
        Q_UNUSED(from);
        Q_UNUSED(to);
        Q_UNUSED(fan);
    }
    virtual void pointStored(int point) { Q_UNUSED(point); }
    // The measurement in the grid was cleared before a run: shown at once, so
    // that declining the potential question afterwards leaves no stale values.
    virtual void measurementCleared() {}
    // The instrument was unplugged during the run (true) or plugged in again
    // (false); the status line says so meanwhile.
    virtual void instrumentMissing(bool missing) { Q_UNUSED(missing); }
};

class MeasuringRun
{
public:
    MeasuringRun(SharedState& state, Instrument& instrument, MeasuringView& view);

    // 經絡測量: runs to the end (or a stop) while processing events.
    void start();
    void requestStop() { m_stop = true; }
    // A click on a grid cell while waiting for contact.
    bool pick(int point);
    bool running() const { return m_running; }
    int currentPoint() const { return m_point; }

    double countsPerMicroampere() const;
    double contactThreshold() const;

    static constexpr int ReadingTicks = 4;
    static constexpr int TickMs = 600;
    static constexpr int LiftOffQuestionMs = 3000;
    // How often a missing instrument is looked for (between events).
    static constexpr int DetachedPollMs = 50;

private:
    enum class Reading
    {
        Stored,
        Lost
    };
    bool waitForContact();
    bool instrumentPresent();
    int readProbe();
    void startMeasuring();
    Reading takeReading(double& sum, int& n);
    void store(int point, double sum, int n);
    void waitForLiftOff(int point);

    SharedState& m_state;
    Instrument& m_instrument;
    MeasuringView& m_view;
    bool m_stop = false;
    bool m_running = false;
    bool m_pickAllowed = false;
    bool m_missing = false; // the instrument was unplugged during the run
    int m_point = 1;
};

// The prompts and questions of the run.
QString clearBeforeMeasuringQuestion();
QString highPotentialQuestion();
QString overlongQuestion();
QString contactPrompt();
// The status line while the instrument is unplugged during a run.
QString instrumentMissingStatus();

} // namespace lumo

namespace lumo {
// After the analysis screen closes: 12 or more points since the last advance
// advance the instrument's usage counter once. Returns whether it advanced.
bool advanceUsageCounterIfDue(SharedState& state, Instrument& instrument);
} // namespace lumo
