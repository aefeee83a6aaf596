#include "measurement/measuringrun.h"

#include "base/formats.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

QString clearBeforeMeasuringQuestion()
{
    return u("您要先清除表格中的資料再開始檢測嗎？");
}
QString highPotentialQuestion()
{
    return u("現在系統使用的是【高電位測量】請再一次確認!");
}
QString overlongQuestion()
{
    return u("測量時間過長！！是否繼續檢測？");
}

QString contactPrompt()
{
    return u("請至指定的代表測定點開始測量,或以滑鼠點選測量位置");
}
QString instrumentMissingStatus()
{
    return u("找不到測量儀器！請檢查USB連線，重新插上後即可繼續測量；或按【停止測量】結束測量。");
}

MeasuringRun::MeasuringRun(SharedState& state, Instrument& instrument, MeasuringView& view)
    : m_state(state), m_instrument(instrument), m_view(view)
{
}

double MeasuringRun::countsPerMicroampere() const
{
    const Configuration& c = m_state.config;
    return (c.HighPotential ? c.CalibHigh : c.CalibStandard) / 200.0;
}

double MeasuringRun::contactThreshold() const
{
    const Configuration& c = m_state.config;
    return (c.HighPotential ? c.CalibHigh : c.CalibStandard) * c.MinResponse / 200.0;
}

bool MeasuringRun::pick(int point)
{
    if (!m_pickAllowed || point < 1 || point > 24) return false;
    m_point = point;
    m_view.showPoint(point);
    return true;
}

void MeasuringRun::start()
{
    m_stopReason.clear();
    m_triesPoint = 0;
    m_point = 1;
    m_lastStored = 0;
    m_repeatPoint = 0;
    if (!prepare()) return;
    while (!m_stop && m_point <= 24) {
        m_view.showPoint(m_point);
        const Wait w = waitForContact();
        if (w == Wait::Stopped) break;
        if (w == Wait::Repeat) {
            remeasure(std::exchange(m_repeatPoint, 0));
            continue; // the point that was waiting, again
        }
        double sum = 0;
        int n = 0;
        QualitySamples samples;
        if (takeReading(m_point, sum, n, samples) == Reading::Lost) continue; // the same point again
        store(m_point, sum, n, std::move(samples));
        waitForLiftOff(m_point == 24);
        if (!m_stop) ++m_point;
    }
    finish();
}

void MeasuringRun::clearForNewRun()
{
    SharedState& s = m_state;
    s.CurrentMeasurementKey = 0;
    s.PointsSinceAnalysis = 0;
    s.energy.Memo.clear();
    s.AnalysisPage = 0;
    s.energy.clearReadings();
    s.energy.TakenAt = 0;
    s.energy.VoltageMode = s.config.HighPotential;
    m_view.measurementCleared();
}

// The questions before a run, the screen's run state and the instrument set up.
bool MeasuringRun::prepare()
{
    SharedState& s = m_state;
    if (s.CurrentMeasurementKey > 0) {
        m_instrument.PlayTone(1);
        if (s.ShowMessageDialog(AskQuestion, clearBeforeMeasuringQuestion())) clearForNewRun();
        // 否 measures into the loaded measurement: points not measured again keep their values.
    }
    if (s.config.HighPotential) {
        m_instrument.PlayTone(2);
        if (!s.askDefaultYes(AskImportant, highPotentialQuestion())) return false;
    }
    m_running = true;
    s.MeasuringRunActive = true; // the idle lock waits for the run's end
    s.AnalysisChart = 1;
    m_view.runStarted();
    m_view.clearGraph();
    startMeasuring();
    m_stop = false;
    m_missing = false;
    return true;
}

void MeasuringRun::finish()
{
    m_pickAllowed = false;
    m_view.setPickAllowed(false);
    m_view.setStatus(QString());
    m_view.setLevelBar(0);
    m_view.setCompletionBar(0);
    m_view.showLive(0);
    m_view.setLamps(MeasuringView::Phase::Idle);
    m_instrument.EndMeasuring();
    if (m_missing) m_view.instrumentMissing(false);
    m_running = false;
    m_state.MeasuringRunActive = false;
    m_repeatPoint = 0;
    m_view.runEnded();
}

// Idle, the measuring circuit on, the potential in use: at the start of a
// run, and again for an instrument plugged in during one (it starts idle).
void MeasuringRun::startMeasuring()
{
    m_instrument.EndMeasuring();
    m_instrument.StartMeasuring();
    m_instrument.SetPotential(m_state.config.HighPotential);
}

// A missing instrument answers nothing: its last reply would be read again
// and again, and a reading taken from it. It reads 0 (no contact) instead,
// after a pause that keeps the loops from spinning.
int MeasuringRun::readProbe()
{
    if (m_instrument.attached()) return m_instrument.ReadProbe();
    m_instrument.clock().waitEvents(DetachedPollMs);
    return 0;
}

// Whether the instrument is there; the view and the status line follow its
// coming and going, and one plugged in again is set up for measuring.
bool MeasuringRun::instrumentPresent()
{
    const bool present = m_instrument.attached();
    if (present != m_missing) return present;
    m_missing = !present;
    m_view.instrumentMissing(m_missing);
    if (m_missing) {
        m_view.setStatus(instrumentMissingStatus());
        m_view.setLamps(MeasuringView::Phase::Idle);
    } else {
        startMeasuring();
        m_view.setStatus(contactPrompt());
        m_view.setLamps(MeasuringView::Phase::Waiting);
    }
    return present;
}

MeasuringRun::Wait MeasuringRun::waitForContact(bool repeating)
{
    // Measuring a point again is not redirected by a click.
    m_pickAllowed = !repeating;
    m_view.setPickAllowed(m_pickAllowed);
    m_view.setStatus(contactPrompt());
    m_view.setLevelBar(0);
    m_view.setCompletionBar(0);
    m_view.showValues(0, 0);
    m_view.setLamps(MeasuringView::Phase::Waiting);
    Clock& clock = m_instrument.clock();
    double r = 0;
    const double cpu = countsPerMicroampere();
    for (;;) {
        clock.waitEvents(0);
        m_view.showValues(r / cpu, 0);
        m_view.showLive(r / cpu);
        if (m_stop) return Wait::Stopped;
        if (!repeating && m_repeatPoint > 0) {
            m_pickAllowed = false;
            m_view.setPickAllowed(false);
            return Wait::Repeat;
        }
        if (!instrumentPresent()) {
            r = readProbe(); // 0, after a pause
            continue;
        }
        const double threshold = contactThreshold(); // the minimum response may change meanwhile
        r = readProbe();
        if (r > threshold) {
            r = (readProbe() + r) / 2; // a second reading confirms the contact
            if (r > threshold) break;
        }
    }
    m_pickAllowed = false;
    m_view.setPickAllowed(false);
    m_view.clearGraph();
    return Wait::Contact;
}

MeasuringRun::Reading MeasuringRun::takeReading(int point, double& sum, int& n, QualitySamples& samples)
{
    Clock& clock = m_instrument.clock();
    m_view.setLamps(MeasuringView::Phase::Reading);
    m_instrument.PlayTone(4);
    m_view.setStatus(u("經絡能量測定中,請保持測棒穩定不動.."));
    const double cpu = countsPerMicroampere();
    const double threshold = contactThreshold();
    const QSize g = m_view.graphSize();
    const double xs = g.width() / 2500.0, ys = g.height() / 600.0;
    const double coefficient = m_state.compensation[size_t(meridianOfPoint(point))];
    sum = 0;
    n = 0;
    samples.clear();
    samples.reserve(2048);
    int tick = 1;
    const qint64 t0 = clock.nowMs();
    qint64 tLast = t0;
    double base = readProbe();
    QPoint last(0, int(rnd(400 * ys)));
    int completion = 0;
    for (;;) {
        const double c = readProbe();
        const qint64 e = clock.nowMs() - t0;
        if (e < 200) {
            // The first 200 ms draw a fan from the lower left corner while the base settles.
            m_view.traceLine(QPoint(3, g.height()), QPoint(int(rnd(e * xs)), int(rnd((600 - e) * ys))), true);
            base = e > 150 ? (readProbe() + base) / 2 : readProbe();
            last = QPoint(int(rnd(e * xs)), int(rnd((600 - e) * ys)));
        } else {
            int y = int(rnd(400 * ys - (c - base) / cpu * 10 * ys));
            y = std::clamp(y, 0, g.height());
            const QPoint to(int(rnd(completion * xs + 50 * xs)), y);
            m_view.traceLine(last, to, false);
            last = to;
        }
        if (tick > 3) {
            sum += c;
            ++n;
        }
        // Every reading is kept with its time and tick: the grade of the point
        // is judged from them, beside the value, which they never change.
        samples.append(
            {quint16(std::min<qint64>(e, 65535)), quint16(std::clamp(c, 0.0, 65535.0)), quint8(tick)});
        if (c <= threshold && contactLost(point, samples, threshold)) {
            m_view.clearGraph();
            return Reading::Lost;
        }
        const double ramp = c / 2500.0 * double(e) / cpu;
        m_view.showValues(ramp, ramp * coefficient);
        m_view.showLive(c / cpu);
        completion = int(e);
        m_view.setCompletionBar(completion);
        m_view.setLevelBar(int(c / cpu / 200 * 4096));
        if (clock.nowMs() - tLast >= TickMs) {
            tLast = clock.nowMs();
            ++tick;
            m_instrument.PlayTone(4);
        }
        if (tick == ReadingTicks + 1) {
            // The probe left the skin in the last moments: what was averaged is
            // partly the lift, so the point is taken again as after a lost contact.
            if (breaksContact(samples, m_state.qualityThresholds) && lostAgain(point)) {
                m_view.clearGraph();
                return Reading::Lost;
            }
            m_view.setCompletionBar(2500);
            return Reading::Stored;
        }
        clock.waitEvents(0);
    }
}

// A reading at or below the threshold ends the touch; but a hand so unsteady
// that its readings dip there by scatter alone would never finish, so from
// the third try of a point only the mean of the last 50 ms ends it, and the
// point is stored with the grade its scatter earns. After MaxTries the run
// stops and says why.
bool MeasuringRun::contactLost(int point, const QualitySamples& samples, double threshold)
{
    if (m_triesPoint == point && m_tries >= TolerantFromTry - 1) {
        double sum = 0;
        int n = 0;
        const int last = samples.isEmpty() ? 0 : samples.back().ms;
        for (auto it = samples.rbegin(); it != samples.rend() && it->ms + 50 >= last; ++it, ++n)
            sum += it->counts;
        if (n > 0 && sum / n > threshold) return false;
    }
    return lostAgain(point);
}

bool MeasuringRun::lostAgain(int point)
{
    if (m_triesPoint != point) {
        m_triesPoint = point;
        m_tries = 0;
    }
    if (++m_tries >= MaxTries) {
        m_stopReason = u("第 %1 點（%2 %3）連續 %4 次無法完成讀取（探測棒接觸不穩或太早移開），量測已停止。")
                           .arg(point)
                           .arg(positionText(point), shortName(meridianOfPoint(point)))
                           .arg(m_tries);
        m_view.setStatus(m_stopReason);
        m_stop = true;
    }
    return true;
}

void MeasuringRun::store(int point, double sum, int n, QualitySamples samples)
{
    m_triesPoint = 0;
    m_tries = 0;
    SharedState& s = m_state;
    const double value = (n > 0 ? sum / n : 0) / countsPerMicroampere();
    s.energy.Quality.grades[size_t(point - 1)] = gradePoint(samples, value, s.qualityThresholds);
    s.energy.Quality.samples[size_t(point - 1)] = std::move(samples);
    m_lastStored = point;
    m_instrument.PlayTone(point == 24 ? 6 : 5);
    s.energy.setReading(point, value, s.compensation);
    s.energy.VoltageMode = s.config.HighPotential;
    m_view.showValues(value, s.energy.Compensated[size_t(point - 1)]);
    m_view.setStatus(u("【經絡能量測定完畢,請移開探測棒】"));
    ++s.PointsSinceAnalysis;
    s.energy.TakenAt = dayNumber(QDateTime::currentDateTime());
    m_pickAllowed = false;
    m_view.setPickAllowed(false);
    m_view.showLive(value);
    m_view.setLevelBar(int(value / 200 * 4096));
    m_view.setLamps(MeasuringView::Phase::Stored);
    s.AnalysisChart = 1;
    m_view.pointStored(point);
}

void MeasuringRun::waitForLiftOff(bool last)
{
    Clock& clock = m_instrument.clock();
    const qint64 t0 = clock.nowMs();
    while (readProbe() >= contactThreshold()) {
        clock.waitEvents(0);
        if (clock.nowMs() - t0 > LiftOffQuestionMs) {
            if (last) return;
            m_instrument.PlayTone(3);
            if (!m_state.askDefaultYes(AskImportant, overlongQuestion())) {
                m_view.setPickAllowed(false);
                m_stop = true;
            }
            return;
        }
    }
}

} // namespace lumo

namespace lumo {
bool advanceUsageCounterIfDue(SharedState& state, Instrument& instrument)
{
    if (state.PointsSinceAnalysis < 12) return false;
    instrument.IncrementUsageCounter();
    state.PointsSinceAnalysis = 0;
    return true;
}
} // namespace lumo
