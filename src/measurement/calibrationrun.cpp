#include "measurement/calibrationrun.h"

#include "base/formats.h"
#include "records/caliblog.h"

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
const QColor Green(0, 128, 0), LightGreen(0, 255, 0), Yellow(255, 255, 0), Red(255, 0, 0), Maroon(128, 0, 0),
    Teal(0, 128, 128);
QString zero()
{
    return fmt("%5d", 0); // "%5.0d" of 0
}
} // namespace

QString calibrationIdleStatus()
{
    return u("環境校準值為本次與前一次的校準比值。");
}
QString wrongCalibrationNotice()
{
    return u("自動校準系統發現錯誤的校準方式！請重新校準一次");
}
QString separateProbeNotice()
{
    return u("請將探測棒的棉花端與金屬握把分開");
}
QString removeProbeStatus()
{
    return u("請將探測棒移開");
}
QString lowConductivityStatus()
{
    return u("檢測棒的導電度過低，您需要重新校準！校準前請檢查：1. 檢測棒的導電棉濕潤度、2. "
             "食鹽水濃度、3. 導電棉安裝方式。");
}

QString keepFailedCalibrationQuestion(int standard, int previousStandard, int previousHigh)
{
    return u("本次校準失敗：標準電位值 %1 低於 %2。\r\n"
             "是否仍要使用本次的校準值？\r\n"
             "選「否」則保留前次的校準值（標準電位值 %3，高電位值 %4）。")
        .arg(thousands(standard, 0), thousands(CalibrationSuccessCounts, 0), thousands(previousStandard, 0),
             thousands(previousHigh, 0));
}

int standardValueOf(double mean)
{
    return int(rnd(mean - mean * 0.001));
}
int highValueOf(double mean)
{
    return int(rnd(mean - mean * 0.0001));
}
double calibrationChange(int value, int previous)
{
    return (value - previous) / 4095.0 * 200.0;
}
double calibrationDrift(int reading, int base)
{
    return (reading - base) / 4000.0 * 100.0;
}

CalibrationRun::CalibrationRun(SharedState& state, Instrument& instrument, CalibrationView& view)
    : m_state(state), m_instrument(instrument), m_view(view)
{
}

void CalibrationRun::showPrevious()
{
    const Configuration& c = m_state.config;
    m_display.previousDate = c.CalibDate;
    m_display.previousStandard = c.CalibStandard;
    m_display.previousHigh = c.CalibHigh;
    m_display.todayDate = shortDate(QDate::currentDate());
}

void CalibrationRun::showScreen()
{
    m_display = CalibrationDisplay();
    showPrevious();
    m_display.newStandard = m_display.newHigh = zero();
    m_display.standardIndicator = m_display.highIndicator = zero();
    m_display.status = calibrationIdleStatus();
    refresh();
}

// A missing instrument reads 0, as a silent one does, so that the waits for
// separation end and a phase restarts rather than measuring a stale reply.
int CalibrationRun::readProbe()
{
    if (!m_instrument.attached()) {
        m_instrument.clock().wait(DetachedPollMs);
        return 0;
    }
    return m_instrument.ReadProbe();
}

void CalibrationRun::requestStop()
{
    m_display.standardLamp.on = m_display.highLamp.on = m_display.resultLamp.on = false;
    m_running = false;
    m_display.status = calibrationIdleStatus();
    refresh();
}

CalibrationRun::Outcome CalibrationRun::start()
{
    if (m_display.running) return Outcome::None;
    m_running = true;
    m_timedOut = false;
    m_outcome = Outcome::None;
    m_applied = false;
    m_saved = false;
    m_display.running = true;
    refresh();
    m_instrument.EndMeasuring();
    m_instrument.StartMeasuring();
    m_instrument.SetPotential(false);
    m_instrument.PlayTone(1);
    for (;;) {
        prepareAttempt();
        if (!waitForShortCircuit()) {
            endStopped();
            return m_outcome;
        }
        if (runPhases() == Phases::Done) break;
    }
    showOutcome();
    store();
    waitForSeparation();
    finish();
    return m_outcome;
}

// Step 2: the start, and every restart after a separation.
void CalibrationRun::prepareAttempt()
{
    CalibrationDisplay& d = m_display;
    for (LampShow* l : {&d.standardLamp, &d.highLamp, &d.resultLamp})
        *l = {Yellow, true, true};
    showPrevious();
    d.newStandard = d.newHigh = zero();
    d.standardChange = d.highChange = d.balance = 0;
    d.standardIndicator = d.highIndicator = zero();
    d.standardBar = d.highBar = 0; // a restart begins its phases anew
    d.result = u("【校準系統啟動中】");
    d.resultColor = Maroon;
    d.status = u("請將探測棒的棉花端接觸金屬握把後，系統即開始自動校準");
    refresh();
}

// Step 3: true once the tip closes the circuit, false on a stop (or the time limit).
bool CalibrationRun::waitForShortCircuit()
{
    Clock& clock = m_instrument.clock();
    const qint64 since = clock.nowMs();
    int r = 0;
    while (r <= ShortCircuitCounts && m_running) {
        r = readProbe();
        m_display.standardIndicator = thousands(r, 5);
        refresh();
        clock.waitEvents(0);
        if (m_contactTimeoutMs > 0 && clock.nowMs() - since >= m_contactTimeoutMs) {
            m_timedOut = true;
            m_running = false;
        }
    }
    m_display.standardIndicator = zero();
    refresh();
    return m_running;
}

// Step 5: stopped before contact; nothing was measured or stored.
void CalibrationRun::endStopped()
{
    CalibrationDisplay& d = m_display;
    m_instrument.EndMeasuring();
    d.running = false;
    d.status.clear();
    d.newStandard = d.newHigh = zero();
    d.standardChange = d.highChange = d.balance = 0;
    d.result.clear();
    m_outcome = m_timedOut ? Outcome::TimedOut : Outcome::Stopped;
    refresh();
}

// Steps 6 and 7: eight ticks of 280 ms at each potential.
CalibrationRun::Phases CalibrationRun::runPhases()
{
    CalibrationDisplay& d = m_display;
    Clock& clock = m_instrument.clock();
    Phase p;
    p.step = readProbe() / 8.0;
    d.status = u("系統正在執行校準中，請勿將探測棒分開！");
    refresh();
    m_instrument.SetPotential(false);
    p.start = m_lastTick = clock.nowMs();
    m_instrument.PlayTone(7);
    p.base = readProbe();
    for (;;) {
        if (p.tick > 1 && readProbe() <= ShortCircuitCounts) {
            d.standardLamp.color = d.highLamp.color = Teal;
            refresh();
            m_instrument.PlayTone(3);
            m_state.ShowMessageDialog(NoteAttention, wrongCalibrationNotice());
            return Phases::Separated;
        }
        d.balance = calibrationDrift(readProbe(), p.base);
        if (tick(p)) return Phases::Done;
        const bool standard = p.tick < 8;
        d.standardLamp = {standard ? Red : LightGreen, true, false};
        d.highLamp = {standard ? Maroon : Red, true, false};
        (standard ? d.standardIndicator : d.highIndicator) = thousands(qint64(p.ramp), 5);
        // Each value is the mean of the readings of its phase's last two ticks.
        if (standard ? (p.tick >= 6 && p.tick < 8) : (p.tick >= 14 && p.tick < 16)) {
            p.sum += readProbe();
            ++p.n;
        }
        (standard ? d.standardBar : d.highBar) = int(clock.nowMs() - p.start);
        refresh();
    }
}

// Step 7.3: a tick every 280 ms; true when the high phase has ended.
bool CalibrationRun::tick(Phase& p)
{
    CalibrationDisplay& d = m_display;
    Clock& clock = m_instrument.clock();
    if (clock.nowMs() - m_lastTick < TickMs) return false;
    p.ramp += p.step;
    m_lastTick = clock.nowMs();
    ++p.tick;
    m_instrument.PlayTone(7);
    const double mean = p.n > 0 ? p.sum / p.n : 0;
    if (p.tick == 8) {
        m_s = standardValueOf(mean);
        d.standardIndicator = d.newStandard = thousands(m_s, 5);
        d.standardChange = calibrationChange(m_s, m_state.config.CalibStandard);
        m_instrument.SetPotential(true);
        p.start = clock.nowMs();
        p.sum = 0;
        p.n = 0;
        p.ramp = 0;
        m_instrument.PlayTone(8);
        d.standardBar = 2600;
        refresh();
        p.base = readProbe();
    } else if (p.tick == 16) {
        m_h = highValueOf(mean);
        d.highIndicator = d.newHigh = thousands(m_h, 5);
        d.highChange = calibrationChange(m_h, m_state.config.CalibHigh);
        d.highBar = 2600;
        refresh();
        return true;
    }
    return false;
}

// Step 8.
void CalibrationRun::showOutcome()
{
    CalibrationDisplay& d = m_display;
    d.highLamp.color = LightGreen;
    const bool success = m_s >= CalibrationSuccessCounts;
    m_instrument.PlayTone(success ? 1 : 3);
    d.status = success ? u("您已正確完成系統的自動校準，現在可以將探測棒移開") : lowConductivityStatus();
    d.resultLamp = {success ? LightGreen : Red, true, false};
    d.result = success ? u("【校準成功】") : u("【校準失敗】");
    d.resultColor = success ? Green : Red;
    m_outcome = success ? Outcome::Succeeded : Outcome::Failed;
    refresh();
}

// Step 9. A failed calibration (a dry or badly fitted cotton tip) gives too
// low a count for 200 uA, and every later measurement would read too high; its
// values are taken into use only when the operator chooses so, and the
// previous ones stay otherwise. The log keeps both, and which one is in use.
void CalibrationRun::store()
{
    Configuration& c = m_state.config;
    m_previousS = c.CalibStandard;
    m_previousH = c.CalibHigh;
    m_applied =
        m_outcome == Outcome::Succeeded ||
        m_state.ShowMessageDialog(AskAttention, keepFailedCalibrationQuestion(m_s, m_previousS, m_previousH));
    if (m_applied) {
        c.CalibStandard = m_s;
        c.CalibHigh = m_h;
        c.CalibDate = shortDate(QDate::currentDate());
        m_saved = m_state.saveConfiguration();
    }
    if (m_state.MainDatabase) {
        CalibrationEntry e{QDateTime::currentDateTime(),   m_s, m_h, m_previousS, m_previousH,
                           m_outcome == Outcome::Succeeded};
        e.applied = m_applied;
        const Status s = CalibrationLog(*m_state.MainDatabase).append(e);
        if (!s) m_state.reportError(s.error);
    }
    m_view.calibrationStored();
}

// Step 10: a reading of 1000 or less (a silent or missing instrument reads 0),
// or the time limit, after which the operator is told to separate the tip.
void CalibrationRun::waitForSeparation()
{
    Clock& clock = m_instrument.clock();
    const QString outcomeStatus = m_display.status;
    m_display.status = removeProbeStatus();
    refresh();
    const qint64 since = clock.nowMs();
    bool separated = false;
    while (!(separated = readProbe() <= ShortCircuitCounts) && clock.nowMs() - since < SeparationLimitMs) {
    }
    if (!separated) m_state.ShowMessageDialog(NoteAttention, separateProbeNotice());
    // Step 11: a success returns to the idle status; a failure keeps its message and result.
    if (m_outcome == Outcome::Succeeded) {
        m_display.status = calibrationIdleStatus();
        m_display.result.clear();
    } else {
        m_display.status = outcomeStatus;
    }
    refresh();
}

// Step 12.
void CalibrationRun::finish()
{
    CalibrationDisplay& d = m_display;
    m_instrument.EndMeasuring();
    d.running = false;
    d.standardLamp.on = d.highLamp.on = d.resultLamp.on = false;
    d.standardBar = d.highBar = 0;
    d.balance = 0;
    m_running = false;
    refresh();
}

} // namespace lumo
