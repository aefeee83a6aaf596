#include "measurement/locatingrun.h"

#include "base/formats.h"

#include <algorithm>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
const QColor Black(0, 0, 0), Blue(0, 0, 255), Green(0, 128, 0), LightGreen(0, 255, 0), Aqua(0, 255, 255),
    Red(255, 0, 0), Yellow(255, 255, 0), Olive(128, 128, 0), Maroon(128, 0, 0);
} // namespace

QString locatingStateNone()
{
    return u("無");
}
QString searchModeText()
{
    return u("記憶最高數據模式");
}
QString locatingModeText()
{
    return u("穴道定位模式");
}

LocatingGrade gradeReading(double v, double highest)
{
    if (v <= 0.75 * highest) return {10, u("不在穴道位置"), Black, LightGreen};
    if (v <= 0.95 * highest) return {11, u("接近穴道位置"), Olive, Yellow};
    return {12, u("正確穴道位置"), Red, Red};
}

SegmentZones segmentZones(double highest)
{
    const double h = highest * 10;
    return {int(rnd(h * 0.8)), int(rnd(h * 0.15)), int(rnd(h * 0.05))};
}

int tenthsBar(double microamperes)
{
    return int(std::min<long long>(rnd(microamperes * 10), 2000));
}

double balanceOf(double microamperes, double highest)
{
    return std::clamp(microamperes - highest, -20.0, 20.0);
}

LocatingRun::LocatingRun(SharedState& state, Instrument& instrument, LocatingView& view)
    : m_state(state), m_instrument(instrument), m_view(view)
{
}

double LocatingRun::countsPerMicroampere() const
{
    // The standard value also at high potential: the sensitivity is a contact
    // level, not a reading, and the highest value was taken with the same factor.
    return std::max(m_state.config.CalibStandard, 1) / 200.0;
}

double LocatingRun::contactThreshold() const
{
    return m_state.config.LocateSensitivity * countsPerMicroampere();
}

void LocatingRun::showScreen()
{
    Configuration& c = m_state.config;
    c.LocateSensitivity = std::clamp(c.LocateSensitivity, MinSensitivity, MaxSensitivity);
    if (!c.LocateKeepHighest) c.LocateHighest = 0;
    LocatingDisplay& d = m_display;
    d = LocatingDisplay();
    d.highPotential = c.LocateHighPotential;
    d.mode = c.LocateHighest == 0 ? LocatingMode::Search : LocatingMode::Locating;
    if (d.mode == LocatingMode::Search) {
        showHighest(0);
        setModeControls(false);
    } else {
        showHighest(c.LocateHighest);
        setModeControls(true);
    }
    d.stateLamp.on = true;
    d.readingLamp.color = LightGreen;
    applyModeDisplay();
    d.stateText = locatingStateNone();
    d.stateColor = Black;
    d.reading = 0;
    d.segment = 0;
    d.balance = 0;
    d.readingBar = 0;
    refresh();
}

void LocatingRun::showHighest(double uA)
{
    m_display.highest = uA;
    m_display.highestBar = tenthsBar(uA);
}

void LocatingRun::applyModeDisplay()
{
    LocatingDisplay& d = m_display;
    if (d.mode == LocatingMode::Search) {
        d.stateLamp.color = Aqua;
        d.stateText = searchModeText();
        d.stateColor = Blue;
        d.readingLamp.blinking = true;
        d.highestLamp.color = Red;
        d.highestLamp.blinking = true;
    } else {
        d.stateLamp.color = LightGreen;
        d.stateText = locatingModeText();
        d.stateColor = Green;
        d.highestLamp.color = Blue;
        d.highestLamp.blinking = false;
        d.zones = segmentZones(m_state.config.LocateHighest);
    }
}

void LocatingRun::setMode(LocatingMode mode)
{
    // Locating needs a reference: the buttons are enabled only while one exists.
    if (mode == LocatingMode::Locating && m_state.config.LocateHighest <= 0) return;
    m_display.mode = mode;
    applyModeDisplay();
    refresh();
}

void LocatingRun::setHighPotential(bool on)
{
    m_state.config.LocateHighPotential = on;
    m_display.highPotential = on;
    refresh();
}

void LocatingRun::setSensitivity(int uA)
{
    m_state.config.LocateSensitivity = std::clamp(uA, MinSensitivity, MaxSensitivity);
}

void LocatingRun::requestStop()
{
    m_stop = true;
    m_display.highPotentialEnabled = true;
    refresh();
}

void LocatingRun::clearHighest()
{
    m_state.config.LocateHighest = 0;
    showHighest(0);
    m_display.mode = LocatingMode::Search;
    setModeControls(false);
    applyModeDisplay();
    refresh();
    if (m_state.config.LocateSound) m_instrument.PlayTone(1);
}

// A missing instrument reads 0, as a silent one does: without this a pass
// would read the last reply of an unplugged instrument again and again.
int LocatingRun::readProbe()
{
    if (!m_instrument.attached()) {
        m_instrument.clock().wait(DetachedPollMs);
        return 0;
    }
    return m_instrument.ReadProbe();
}

void LocatingRun::start()
{
    if (running()) return;
    LocatingDisplay& d = m_display;
    d.running = true;
    d.highPotentialEnabled = false;
    m_stop = false;
    d.readingLamp.on = d.highestLamp.on = d.stateLamp.on = true;
    applyModeDisplay();
    refresh();
    m_instrument.EndMeasuring();
    m_instrument.StartMeasuring();
    m_instrument.SetPotential(m_state.config.LocateHighPotential);
    m_lastGrading = m_instrument.clock().nowMs();
    double r = 0;
    while (!m_stop) {
        d.readingLamp.blinking = true;
        if (d.mode == LocatingMode::Search) d.highestLamp.blinking = true;
        if (!waitForContact(r)) break;
        m_instrument.clock().waitEvents(0);
        d.readingLamp.blinking = d.highestLamp.blinking = false;
        refresh();
        if (m_stop) break;
        takeReading(r);
    }
    finish();
}

// The no-contact loop; false on a stop request.
bool LocatingRun::waitForContact(double& r)
{
    LocatingDisplay& d = m_display;
    double threshold = contactThreshold();
    while (r < threshold) {
        d.readingBar = d.segment = 0;
        d.balance = 0;
        threshold = contactThreshold(); // the sensitivity may change meanwhile
        m_instrument.clock().waitEvents(0);
        d.reading = r / countsPerMicroampere();
        refresh();
        if (m_stop) return false;
        r = readProbe();
        if (d.mode == LocatingMode::Locating) {
            d.stateText = locatingModeText();
            d.stateColor = Maroon;
            d.stateLamp.color = LightGreen;
        }
    }
    return true;
}

void LocatingRun::takeReading(double& r)
{
    LocatingDisplay& d = m_display;
    Configuration& c = m_state.config;
    r = readProbe();
    const double v = r / countsPerMicroampere();
    d.reading = v;
    grade(v);
    d.readingBar = tenthsBar(v);
    if (d.mode == LocatingMode::Search) {
        if (v > c.LocateHighest) {
            c.LocateHighest = v;
            showHighest(v);
            setModeControls(true);
        }
    } else {
        d.segment = int(rnd(v * 10));
        d.balance = balanceOf(v, c.LocateHighest);
    }
    refresh();
}

void LocatingRun::grade(double v)
{
    const qint64 now = m_instrument.clock().nowMs();
    if (now - m_lastGrading < GradingMs) return;
    const bool sound = m_state.config.LocateSound;
    if (m_display.mode == LocatingMode::Search) {
        if (sound) m_instrument.PlayTone(9);
    } else {
        const LocatingGrade g = gradeReading(v, m_state.config.LocateHighest);
        if (sound) m_instrument.PlayTone(g.tone);
        m_display.stateText = g.text;
        m_display.stateColor = g.textColor;
        m_display.stateLamp.color = g.lampColor;
    }
    m_lastGrading = now;
}

void LocatingRun::finish()
{
    LocatingDisplay& d = m_display;
    const Configuration& c = m_state.config;
    m_instrument.EndMeasuring();
    d.running = false;
    d.readingBar = 0;
    // Without a reading the meters have nothing to show either.
    d.segment = 0;
    d.balance = 0;
    setModeControls(c.LocateHighest != 0 && c.LocateHighest > c.LocateSensitivity);
    d.readingLamp.on = d.highestLamp.on = false;
    d.stateLamp = {Black, true, false};
    d.stateText = locatingStateNone();
    d.stateColor = Black;
    d.reading = 0;
    refresh();
}

} // namespace lumo
