// Acupoint locating in virtual time: the run's loops on the
// simulated probe (a skin profile with one acupoint, scripted readings), the
// 250 ms grading cadence with its tones, and the screen.
#include "measurement/locatingrun.h"
#include "measurement/practicefixture.h"
#include "measurement/ui/tzuloc.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryFile>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

struct RecordingView : LocatingView
{
    LocatingDisplay last;
    int shown = 0;
    std::function<void(const LocatingDisplay&)> onShow;
    void showLocating(const LocatingDisplay& d) override
    {
        last = d;
        ++shown;
        if (onShow) onShow(d);
    }
};

// Locating with a stored highest value, quiet probe, 4 ms exchanges.
struct Locating
{
    Practice f;
    RecordingView view;
    LocatingRun run{f.state, f.sim.instrument, view};
    qint64 started = 0;
    std::function<void(qint64)> atMs; // virtual ms since start()

    explicit Locating(double highest = 0, bool sound = true)
    {
        f.state.config.LocateKeepHighest = highest > 0;
        f.state.config.LocateHighest = highest;
        f.state.config.LocateSound = sound;
        f.sim.sim.probe().setNoise(0);
        run.showScreen();
        f.sim.clock.setTick([this](qint64 now) {
            f.sim.sim.timeAdvanced();
            if (run.running() && atMs) atMs(now - started);
        });
    }
    void start()
    {
        started = f.sim.clock.nowMs();
        run.start();
    }
    void stopAfter(qint64 ms, std::function<void(qint64)> also = {})
    {
        atMs = [this, ms, also](qint64 t) {
            if (also) also(t);
            if (t >= ms) run.requestStop();
        };
    }
};

} // namespace

class TestLocating : public QObject
{
    Q_OBJECT
private slots:
    // The contact threshold is the sensitivity in uA at the standard factor,
    // at either potential: 2 uA with CalibStandard 4000 is 40 counts.
    void contactThreshold_data()
    {
        QTest::addColumn<bool>("high");
        QTest::addColumn<int>("counts");
        QTest::addColumn<bool>("contact");
        QTest::newRow("standard, 39") << false << 39 << false;
        QTest::newRow("standard, 40") << false << 40 << true;
        QTest::newRow("high, 39") << true << 39 << false;
        QTest::newRow("high, 40") << true << 40 << true;
    }
    void contactThreshold()
    {
        QFETCH(bool, high);
        QFETCH(int, counts);
        QFETCH(bool, contact);
        Locating l;
        l.f.state.config.CalibStandard = 4000;
        l.f.state.config.CalibHigh = 3000; // not used by locating
        l.f.state.config.LocateSensitivity = 2;
        l.f.state.config.LocateHighPotential = high;
        QCOMPARE(l.run.contactThreshold(), 40.0);
        l.f.sim.sim.probe().setScript({counts});
        l.f.sim.sim.clearLog();
        l.stopAfter(800);
        l.start();
        QCOMPARE(l.f.sim.sim.log().mid(0, 3),
                 (QList<QByteArray>{"X000000", "N000000", high ? "H000000" : "L000000"}));
        QCOMPARE(l.f.commandCount("S3E0800") > 0, contact); // tone 9 in search mode, in contact only
        QCOMPARE(l.f.state.config.LocateHighest > 0, contact);
    }

    void showingTheScreen_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<double>("stored");
        QTest::addColumn<int>("sensitivity");
        QTest::addColumn<bool>("locating");
        QTest::addColumn<double>("highest");
        QTest::addColumn<int>("shownSensitivity");
        QTest::newRow("not kept: search from 0") << false << 40.0 << 5 << false << 0.0 << 5;
        QTest::newRow("kept: locating") << true << 40.0 << 5 << true << 40.0 << 5;
        QTest::newRow("kept but none") << true << 0.0 << 5 << false << 0.0 << 5;
        QTest::newRow("sensitivity below 2") << false << 0.0 << 0 << false << 0.0 << 2;
        QTest::newRow("sensitivity above 150") << false << 0.0 << 400 << false << 0.0 << 150;
    }
    void showingTheScreen()
    {
        QFETCH(bool, keep);
        QFETCH(double, stored);
        QFETCH(int, sensitivity);
        QFETCH(bool, locating);
        QFETCH(double, highest);
        QFETCH(int, shownSensitivity);
        Practice f;
        f.state.config.LocateKeepHighest = keep;
        f.state.config.LocateHighest = stored;
        f.state.config.LocateSensitivity = sensitivity;
        RecordingView view;
        LocatingRun run(f.state, f.sim.instrument, view);
        run.showScreen();
        const LocatingDisplay& d = view.last;
        QCOMPARE(d.mode == LocatingMode::Locating, locating);
        QCOMPARE(f.state.config.LocateHighest, highest);
        QCOMPARE(d.highest, highest);
        QCOMPARE(d.highestBar, int(highest * 10));
        QCOMPARE(d.modeControlsEnabled, locating);
        QCOMPARE(f.state.config.LocateSensitivity, shownSensitivity);
        QCOMPARE(d.stateText, u("無"));
        QCOMPARE(d.stateLamp.color, locating ? QColor(0, 255, 0) : QColor(0, 255, 255));
        QCOMPARE(d.zones.green, locating ? 320 : 0);
        QCOMPARE(d.readingLamp.color, QColor(0, 255, 0));
        QVERIFY(!d.readingLamp.on && !d.highestLamp.on);
        QVERIFY(!d.running);
        QVERIFY(f.sim.sim.log().isEmpty()); // showing sends nothing
    }

    // Sweeping along the skin over the acupoint: the reading rises to the peak
    // and falls beyond it; the search mode keeps the peak.
    void searchKeepsTheHighest()
    {
        Locating l;
        SimulatedProbe& probe = l.f.sim.sim.probe();
        probe.setOnSkin(true);
        probe.skin().positionMm = 20;
        probe.touch(0, l.f.sim.clock.nowMs());
        QList<double> readings;
        l.stopAfter(4200, [&](qint64 t) {
            probe.skin().positionMm = std::min(20.0 + t / 50.0, 100.0); // 20 mm to 100 mm in 4 s
            if (readings.isEmpty() || readings.last() != l.run.display().reading)
                readings << l.run.display().reading;
        });
        l.start();
        const double peak = probe.skin().highest(); // 60 uA at 62 mm
        QCOMPARE(l.f.state.config.LocateHighest, peak);
        QCOMPARE(l.view.last.highest, peak);
        QCOMPARE(l.view.last.highestBar, 600);
        QVERIFY(l.view.last.modeControlsEnabled);
        QCOMPARE(l.view.last.mode, LocatingMode::Search);
        // Rising, then falling again beyond the point.
        const auto top = std::max_element(readings.begin(), readings.end());
        QCOMPARE(*top, peak);
        QVERIFY(std::is_sorted(readings.begin() + 1, top));
        QVERIFY(std::is_sorted(top, readings.end(), std::greater<>()));
        QVERIFY(readings.last() < 0.5 * peak);
    }

    void highestOf250FillsTheBar()
    {
        Locating l;
        l.f.state.config.CalibStandard = 2000; // 10 counts per uA: 2500 counts are 250 uA
        l.f.sim.sim.probe().setScript({2500});
        l.stopAfter(400);
        l.start();
        QCOMPARE(l.f.state.config.LocateHighest, 250.0);
        QCOMPARE(l.view.last.highest, 250.0);
        QCOMPARE(l.view.last.highestBar, 2000);
    }

    // Every 250 ms one grading, with the tone of its state; in between none.
    void gradingEvery250ms()
    {
        Locating l(40.0);
        l.f.sim.sim.clearLog();
        SimulatedProbe& probe = l.f.sim.sim.probe();
        probe.touch(37.0, l.f.sim.clock.nowMs());
        QMap<int, LocatingDisplay> seen; // the display at the end of each second
        l.stopAfter(3000, [&](qint64 t) {
            const int second = int(t / 1000);
            seen[second] = l.run.display();
            probe.setValue(second == 0 ? 37.0 : second == 1 ? 38.5 : 30.0);
        });
        l.start();
        QCOMPARE(seen[0].stateText, u("接近穴道位置"));
        QCOMPARE(seen[0].stateColor, QColor(128, 128, 0));
        QCOMPARE(seen[1].stateText, u("正確穴道位置"));
        QCOMPARE(seen[1].stateLamp.color, QColor(255, 0, 0));
        QCOMPARE(seen[2].stateText, u("不在穴道位置"));
        QCOMPARE(seen[2].balance, -10.0);
        QCOMPARE(seen[2].segment, 300);

        const QMap<QByteArray, int> tones{{"S2E0A00", 10}, {"S221100", 11}, {"S191100", 12}};
        QList<qint64> times;
        QMap<int, int> perTone;
        const QList<QByteArray> sent = l.f.sim.sim.log();
        const QList<qint64> at = l.f.sim.sim.logTimes();
        for (int i = 0; i < sent.size(); ++i)
            if (tones.contains(sent.at(i))) {
                times << at.at(i);
                ++perTone[tones.value(sent.at(i))];
            }
        QVERIFY2(times.size() >= 11 && times.size() <= 12, qPrintable(QString::number(times.size())));
        for (int i = 1; i < times.size(); ++i) {
            const qint64 gap = times.at(i) - times.at(i - 1);
            QVERIFY2(gap >= LocatingRun::GradingMs && gap < LocatingRun::GradingMs + 20,
                     qPrintable(QStringLiteral("gap %1 ms").arg(gap)));
        }
        for (int tone : {10, 11, 12})
            QVERIFY2(perTone.value(tone) >= 3 && perTone.value(tone) <= 5, qPrintable(QString::number(tone)));
        QCOMPARE(l.f.commandCount("S3E0800"), 0); // no search tone in locating mode
        QCOMPARE(l.view.last.segment, 0);         // the run ended: no reading, nothing on the meters
        QCOMPARE(l.view.last.balance, 0.0);
    }

    void soundOffPlaysNothing()
    {
        Locating l(40.0, false);
        l.f.sim.sim.probe().touch(39.0, l.f.sim.clock.nowMs());
        l.stopAfter(1500);
        l.start();
        QCOMPARE(l.view.last.stateText, u("無")); // the run ended
        for (const QByteArray& c : l.f.sim.sim.log())
            QVERIFY2(!c.startsWith('S'), c.constData());
    }

    // The mode switches while running and applies from the next reading.
    void modeSwitchWhileRunning()
    {
        Locating l;
        l.f.sim.sim.probe().touch(45.0, l.f.sim.clock.nowMs());
        LocatingDisplay inLocating;
        int searchTonesAfterBack = -1;
        l.stopAfter(3000, [&](qint64 t) {
            if (t >= 1000 && l.run.display().mode == LocatingMode::Search && inLocating.stateText.isEmpty())
                l.run.setMode(LocatingMode::Locating);
            if (t >= 1900 && inLocating.stateText.isEmpty()) {
                inLocating = l.run.display();
                searchTonesAfterBack = l.f.commandCount("S3E0800");
                l.run.setMode(LocatingMode::Search);
            }
        });
        l.start();
        QCOMPARE(inLocating.mode, LocatingMode::Locating);
        QCOMPARE(inLocating.stateText, u("正確穴道位置"));
        QCOMPARE(inLocating.segment, 450);
        QCOMPARE(inLocating.balance, 0.0);
        QCOMPARE(inLocating.zones.green, 360);
        QCOMPARE(inLocating.highestLamp.color, QColor(0, 0, 255));
        QVERIFY(!inLocating.highestLamp.blinking);
        QCOMPARE(l.f.commandCount("S191100") >= 3, true); // tone 12 in locating mode
        QVERIFY(l.f.commandCount("S3E0800") >=
                searchTonesAfterBack + 3); // tone 9 again after the switch back
        QCOMPARE(l.view.last.mode, LocatingMode::Search);
    }

    void stopEndsTheRun_data()
    {
        QTest::addColumn<int>("counts");
        QTest::addColumn<bool>("modeControls");
        // Sensitivity 2 uA, 20 counts per uA: contact from 40 counts.
        QTest::newRow("highest 45.0, above the sensitivity") << 900 << true;
        QTest::newRow("highest 2.05, above it") << 41 << true;
        QTest::newRow("highest 2.0, not above it") << 40 << false;
    }
    void stopEndsTheRun()
    {
        QFETCH(int, counts);
        QFETCH(bool, modeControls);
        Locating l;
        l.f.state.config.LocateSensitivity = 2;
        l.f.sim.sim.probe().setScript({counts});
        bool stopEnabledDuring = false, highPotentialDuring = true;
        l.stopAfter(700, [&](qint64 t) {
            if (t >= 700) return; // what the run shows before the stop request
            stopEnabledDuring = l.run.display().running;
            highPotentialDuring = l.run.display().highPotentialEnabled;
        });
        l.start();
        QVERIFY(stopEnabledDuring);
        QVERIFY(!highPotentialDuring);
        QCOMPARE(l.f.state.config.LocateHighest, counts / 20.0);
        const LocatingDisplay& d = l.view.last;
        QCOMPARE(l.f.sim.sim.log().last(), QByteArray("X000000"));
        QVERIFY(!d.running);
        QVERIFY(d.highPotentialEnabled);
        QCOMPARE(d.stateText, u("無"));
        QCOMPARE(d.stateColor, QColor(0, 0, 0));
        QVERIFY(!d.readingLamp.on);
        QVERIFY(!d.highestLamp.on);
        QVERIFY(d.stateLamp.on);
        QCOMPARE(d.readingBar, 0);
        QCOMPARE(d.reading, 0.0);
        QCOMPARE(d.modeControlsEnabled, modeControls);
    }

    // A silent or unplugged instrument reads 0: the run stays without contact and stops on request.
    void silentOrUnpluggedStaysWithoutContact_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::addColumn<bool>("fromStart");
        QTest::newRow("silent from the start") << false << true;
        QTest::newRow("silent during contact") << false << false;
        QTest::newRow("unplugged from the start") << true << true;
        QTest::newRow("unplugged during contact") << true << false;
    }
    void silentOrUnpluggedStaysWithoutContact()
    {
        QFETCH(bool, unplug);
        QFETCH(bool, fromStart);
        Locating l(40.0);
        SimulatedInstrument& sim = l.f.sim.sim;
        sim.probe().touch(39.0, l.f.sim.clock.nowMs());
        // Unplugging is queued to the next pass of events, as the panel's click is:
        // a tick can come from inside a write, where the device cannot go away.
        auto fail = [&] {
            if (unplug)
                QMetaObject::invokeMethod(
                    qApp, [&sim] { sim.unplug(); }, Qt::QueuedConnection);
            else
                sim.setNoReply(true);
        };
        if (fromStart) fail();
        bool failed = fromStart;
        int gradedBeforeFault = -1, gradedAfter = 0;
        qint64 stopAsked = 0;
        l.atMs = [&](qint64 t) {
            if (!failed && t >= 1000) {
                gradedBeforeFault = l.f.commandCount("S191100");
                fail();
                failed = true;
            }
            if (t >= 2500 && !stopAsked) {
                gradedAfter = l.f.commandCount("S191100");
                stopAsked = t;
                l.run.requestStop();
            }
        };
        l.start();
        QVERIFY(!l.run.running());
        QVERIFY(l.f.sim.clock.nowMs() - l.started - stopAsked < 1000); // the stop came through promptly
        if (!fromStart) QVERIFY(gradedBeforeFault >= 3);
        // After the fault no further grading: the probe reads 0, below the threshold.
        QVERIFY(gradedAfter - std::max(gradedBeforeFault, 0) <= 1);
    }

    void clearingTheHighest()
    {
        Locating l(40.0);
        QCOMPARE(l.view.last.mode, LocatingMode::Locating);
        l.f.sim.sim.clearLog();
        l.run.clearHighest();
        QCOMPARE(l.f.state.config.LocateHighest, 0.0);
        QCOMPARE(l.view.last.mode, LocatingMode::Search);
        QCOMPARE(l.view.last.highest, 0.0);
        QCOMPARE(l.view.last.highestBar, 0);
        QVERIFY(!l.view.last.modeControlsEnabled);
        QCOMPARE(l.view.last.stateText, u("記憶最高數據模式"));
        QCOMPARE(l.f.sim.sim.log(), (QList<QByteArray>{"S1E1A00"})); // tone 1
        l.run.setMode(LocatingMode::Locating);                       // no reference: refused
        QCOMPARE(l.view.last.mode, LocatingMode::Search);
    }

    // The screen: its controls follow the run, the options set the settings,
    // and closing it saves the configuration.
    void screen()
    {
        Practice f;
        f.state.config.LocateKeepHighest = true;
        f.state.config.LocateHighest = 40.0;
        f.state.config.LocateSound = false;
        f.state.config.LocateSensitivity = 7;
        f.sim.sim.probe().setNoise(0);
        TZuLoc screen(f.state, f.sim.instrument);
        screen.show();
        QCOMPARE(screen.windowTitle(), u("穴道定位"));
        auto* sensitivity = screen.findChild<QSpinBox*>(QStringLiteral("SensitivityUpDown"));
        auto* high = screen.findChild<QCheckBox*>(QStringLiteral("HighPotentialBox"));
        auto* locatingMode = screen.findChild<QRadioButton*>(QStringLiteral("LocatingModeButton"));
        auto* state = screen.findChild<QLabel*>(QStringLiteral("StateText"));
        auto* potential = screen.findChild<QLabel*>(QStringLiteral("PotentialText"));
        QCOMPARE(sensitivity->value(), 7);
        QVERIFY(locatingMode->isChecked());
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("HighestValue"))->text(), QStringLiteral(" 40.0"));
        QCOMPARE(potential->text(), u("標準電位定位"));
        high->click();
        QCOMPARE(potential->text(), u("高電位定位"));
        QVERIFY(f.state.config.LocateHighPotential);
        sensitivity->setValue(12);
        QCOMPARE(f.state.config.LocateSensitivity, 12);

        QAction* start = screen.action(u("開始定位"));
        QAction* stop = screen.action(u("停止定位"));
        QAction* leave = screen.action(u("離  開"));
        QVERIFY(start->isEnabled() && !stop->isEnabled() && leave->isEnabled());
        f.sim.sim.probe().touch(39.0, f.sim.clock.nowMs());
        const qint64 t0 = f.sim.clock.nowMs();
        bool duringOk = false, stopped = false;
        QString stateDuring;
        f.sim.clock.setTick([&](qint64 now) {
            f.sim.sim.timeAdvanced();
            if (stopped || !screen.run().running() || now - t0 < 1000) return;
            stopped = true;
            duringOk = !start->isEnabled() && stop->isEnabled() && !leave->isEnabled() && !high->isEnabled();
            stateDuring = state->text();
            stop->trigger();
        });
        start->trigger();
        QVERIFY(duringOk);
        QCOMPARE(stateDuring, u("正確穴道位置"));
        QCOMPARE(state->text(), u("無"));
        QVERIFY(start->isEnabled() && !stop->isEnabled() && leave->isEnabled() && high->isEnabled());
        QCOMPARE(f.sim.sim.log().mid(0, 3), (QList<QByteArray>{"X000000", "N000000", "H000000"}));

        leave->trigger();
        QVERIFY(!screen.isVisible());
        Configuration saved;
        QVERIFY(LoadConfiguration(f.state.dataPath(QLatin1String(ConfigurationFileName)), saved).ok);
        QCOMPARE(saved.LocateSensitivity, 12);
        QVERIFY(saved.LocateHighPotential);
        QCOMPARE(saved.LocateHighest, 40.0);
        QVERIFY(saved.LocateKeepHighest);
    }
};

QTEST_MAIN(TestLocating)
#include "test_locating.moc"
