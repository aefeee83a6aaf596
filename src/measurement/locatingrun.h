#pragma once
// Acupoint locating: skin over an acupoint conducts better than around it, so
// the operator sweeps a region in the search mode, which keeps the highest
// reading, then moves the probe in the locating mode until the reading comes
// close to that value; every 250 ms the reading is graded against it with a
// state, a colour and a tone. Plain logic on the instrument and the clock; the
// locating screen shows the display it keeps.

#include "instrument/instrument.h"
#include "shell/sharedstate.h"

#include <QColor>

namespace lumo {

enum class LocatingMode
{
    Search,  // 搜尋最高數據: remembers the highest reading
    Locating // 開始穴道定位: grades each reading against it
};

// One reading graded against the highest value H (both in uA).
struct LocatingGrade
{
    int tone;
    QString text;
    QColor textColor;
    QColor lampColor;
};
LocatingGrade gradeReading(double microamperes, double highest);

// The segment meter's zones in tenths of uA: green to 80 % of the highest
// value, yellow for the next 15 %, red for the last 5 %.
struct SegmentZones
{
    int green = 0;
    int yellow = 0;
    int red = 0;
};
SegmentZones segmentZones(double highest);

// A reading in tenths of uA for the bars, at most 2000 (200 uA).
int tenthsBar(double microamperes);
// The balance meter: reading minus highest, limited to -20..+20.
double balanceOf(double microamperes, double highest);

struct LampShow
{
    QColor color = Qt::black;
    bool on = false;
    bool blinking = false;
    bool operator==(const LampShow&) const = default;
};

// Everything the locating screen shows, kept by the run.
struct LocatingDisplay
{
    LocatingMode mode = LocatingMode::Search;
    double reading = 0; // uA
    int readingBar = 0; // tenths of uA, 0..2000
    double highest = 0;
    int highestBar = 0;
    QString stateText;
    QColor stateColor = Qt::black;
    LampShow stateLamp, readingLamp, highestLamp;
    int segment = 0; // tenths of uA
    SegmentZones zones;
    double balance = 0;
    bool highPotential = false;
    bool running = false; // 開始定位 and 離  開 disabled, 停止定位 enabled
    bool highPotentialEnabled = true;
    bool modeControlsEnabled = false; // both mode buttons and 清除數據
};

class LocatingView
{
public:
    virtual ~LocatingView() = default;
    virtual void showLocating(const LocatingDisplay& display) { Q_UNUSED(display); }
};

class LocatingRun
{
public:
    LocatingRun(SharedState& state, Instrument& instrument, LocatingView& view);

    // Showing the screen: options from the settings, the mode from the highest value.
    void showScreen();
    // 開始定位: runs until 停止定位 while processing events.
    void start();
    void requestStop();
    // 清除數據.
    void clearHighest();
    // The mode buttons; the new mode applies from the next reading.
    void setMode(LocatingMode mode);
    // The options and the sensitivity field set their settings at once.
    void setSound(bool on) { m_state.config.LocateSound = on; }
    void setKeepHighest(bool on) { m_state.config.LocateKeepHighest = on; }
    void setHighPotential(bool on);
    void setSensitivity(int uA);

    bool running() const { return m_display.running; }
    const LocatingDisplay& display() const { return m_display; }
    double countsPerMicroampere() const;
    double contactThreshold() const;

    static constexpr int GradingMs = 250;
    static constexpr int MinSensitivity = 2;
    static constexpr int MaxSensitivity = 150;
    // How long a pass waits while no instrument is attached (it reads 0 then).
    static constexpr int DetachedPollMs = 50;

private:
    void applyModeDisplay();
    void showHighest(double uA);
    void setModeControls(bool enabled) { m_display.modeControlsEnabled = enabled; }
    bool waitForContact(double& r);
    void takeReading(double& r);
    void grade(double v);
    void finish();
    int readProbe();
    void refresh() { m_view.showLocating(m_display); }

    SharedState& m_state;
    Instrument& m_instrument;
    LocatingView& m_view;
    LocatingDisplay m_display;
    bool m_stop = false;
    qint64 m_lastGrading = 0;
};

// Texts of the screen that tests and the screen share.
QString locatingStateNone();
QString searchModeText();
QString locatingModeText();

} // namespace lumo
