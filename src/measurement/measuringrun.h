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
    // A point was stored; its grade is in the shared measurement's Quality.
    virtual void pointStored(int point) { Q_UNUSED(point); }
    // A point measured again is done: replaced or not, both readings are kept.
    virtual void repeatDone(int point, bool replaced)
    {
        Q_UNUSED(point);
        Q_UNUSED(replaced);
    }
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

    // Measuring a point again (measuringrepeat.cpp). During a run the point is
    // taken as soon as the run waits for contact, and the run then goes on
    // where it was; idle, measureAgain runs a reading of that point alone.
    // Either way the operator is asked which reading to keep, and both stay
    // with their grades. Refused (false, with the reason) for a point without
    // a reading, for a stored measurement, or at another potential.
    bool requestRemeasure(int point, QString* refusal = nullptr);
    bool measureAgain(int point, QString* refusal = nullptr);
    // What 是 to "clear first?" does: a new measurement in an empty grid.
    void clearForNewRun();
    // The point stored last in this run (0 before the first).
    int lastStored() const { return m_lastStored; }

    // Why the run stopped by itself (a point that could not be read), or empty.
    const QString& stopReason() const { return m_stopReason; }

    double countsPerMicroampere() const;
    double contactThreshold() const;

    static constexpr int ReadingTicks = 4;
    static constexpr int TickMs = 600;
    static constexpr int LiftOffQuestionMs = 3000;
    // Tries of one point: from this one a dip of single readings to the
    // threshold no longer ends the touch; at the last the run stops.
    static constexpr int TolerantFromTry = 3;
    static constexpr int MaxTries = 8;
    // How often a missing instrument is looked for (between events).
    static constexpr int DetachedPollMs = 50;

private:
    enum class Reading
    {
        Stored,
        Lost
    };
    enum class Wait
    {
        Contact,
        Stopped,
        Repeat // the operator asked for a point again
    };
    Wait waitForContact(bool repeating = false);
    Reading takeReading(int point, double& sum, int& n, QualitySamples& samples);
    void store(int point, double sum, int n, QualitySamples samples);
    bool contactLost(int point, const QualitySamples& samples, double threshold);
    bool lostAgain(int point); // counts a lost try; true
    // `last`: nothing follows (point 24, or a point measured again), so a
    // probe held on ends the wait after 3 s without the question.
    void waitForLiftOff(bool last);
    bool instrumentPresent();
    int readProbe();
    void startMeasuring();
    bool prepare();
    void finish();
    QString remeasureRefusal(int point) const;
    void remeasure(int point);
    void keepRepeat(int point, double value, const PointGrade& grade, QualitySamples samples);

    SharedState& m_state;
    Instrument& m_instrument;
    MeasuringView& m_view;
    bool m_stop = false;
    bool m_running = false;
    bool m_pickAllowed = false;
    int m_point = 1;
    bool m_missing = false; // the instrument was unplugged during the run
    int m_lastStored = 0;
    int m_repeatPoint = 0; // asked for during the run, taken at the next wait
    int m_triesPoint = 0;  // the point whose lost tries m_tries counts
    int m_tries = 0;
    QString m_stopReason;
};

// The prompts and questions of the run.
QString clearBeforeMeasuringQuestion();
QString highPotentialQuestion();
QString overlongQuestion();
QString contactPrompt();
// The status line while the instrument is unplugged during a run.
QString instrumentMissingStatus();
// Which reading of a point measured again to keep.
QString repeatQuestion(int point, double first, const PointGrade& firstGrade, double second,
                       const PointGrade& secondGrade);

} // namespace lumo

namespace lumo {
// After the analysis screen closes: 12 or more points since the last advance
// advance the instrument's usage counter once. Returns whether it advanced.
bool advanceUsageCounterIfDue(SharedState& state, Instrument& instrument);
} // namespace lumo
