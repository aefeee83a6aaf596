// Probe calibration in virtual time on the simulated probe with its tip on the
// handle: the values and their rounding, success and failure (a failure's
// values used only when the operator keeps them, logged either way), the restart on separation, stop, the
// separation time limit, and a silent or unplugged instrument in every step.
#include "base/formats.h"
#include "measurement/calibrationrun.h"
#include "measurement/practicefixture.h"
#include "records/caliblog.h"

#include <QFile>
#include <QSqlQuery>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}
QString contactPrompt()
{
    return u("請將探測棒的棉花端接觸金屬握把後，系統即開始自動校準");
}
QString phaseStatus()
{
    return u("系統正在執行校準中，請勿將探測棒分開！");
}

struct RecordingView : CalibrationView
{
    CalibrationDisplay last;
    std::function<void(const CalibrationDisplay&)> onShow;
    std::function<void()> onStored;
    void showCalibration(const CalibrationDisplay& d) override
    {
        last = d;
        if (onShow) onShow(d);
    }
    void calibrationStored() override
    {
        if (onStored) onStored();
    }
};

// A calibration with the tip on the handle; by default the tip comes off once
// the values are stored, as the status line asks.
struct Calibrating
{
    Practice f;
    RecordingView view;
    CalibrationRun run{f.state, f.sim.instrument, view};
    HandleContact& handle = f.sim.sim.probe().handle();
    QByteArray configBefore;
    qint64 phaseStart = -1; // when the first phase began
    qint64 storedAt = -1;

    explicit Calibrating(int standard = 4000, int high = 4000, bool liftAfterStoring = true)
    {
        handle.on = true;
        handle.standardCounts = standard;
        handle.highCounts = high;
        f.state.saveConfiguration();
        configBefore = configFile();
        run.showScreen();
        view.onStored = [this, liftAfterStoring] {
            storedAt = now();
            if (liftAfterStoring) handle.on = false;
        };
        watch({});
    }
    // Also calls `also` with every display the run shows.
    void watch(std::function<void(const CalibrationDisplay&)> also)
    {
        view.onShow = [this, also](const CalibrationDisplay& d) {
            if (phaseStart < 0 && d.status == phaseStatus()) phaseStart = now();
            if (also) also(d);
        };
    }
    qint64 now() const { return f.sim.clock.nowMs(); }
    QByteArray configFile() const
    {
        QFile file(f.state.dataPath(QLatin1String(ConfigurationFileName)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    int logRows() { return int(CalibrationLog(*f.state.MainDatabase).latest(100).size()); }
    int shownCount(const QString& text) const
    {
        int n = 0;
        for (const auto& m : f.messages.shown())
            n += m.text == text && m.kind == NoteAttention;
        return n;
    }
};

} // namespace

class TestCalibration : public QObject
{
    Q_OBJECT
private slots:
    void values_data()
    {
        QTest::addColumn<double>("mean");
        QTest::addColumn<int>("standard");
        QTest::addColumn<int>("high");
        QTest::newRow("4000") << 4000.0 << 3996 << 4000;
        QTest::newRow("2990") << 2990.0 << 2987 << 2990;
        QTest::newRow("4045") << 4045.0 << 4041 << 4045;
        QTest::newRow("3003: 2999.997") << 3003.0 << 3000 << 3003;
        QTest::newRow("3002: 2998.998") << 3002.0 << 2999 << 3002;
        QTest::newRow("2500.5: halves to even") << 2500.5 << 2498 << 2500;
    }
    void values()
    {
        QFETCH(double, mean);
        QFETCH(int, standard);
        QFETCH(int, high);
        QCOMPARE(standardValueOf(mean), standard);
        QCOMPARE(highValueOf(mean), high);
    }

    void gauges()
    {
        QVERIFY(std::fabs(calibrationChange(4041, 4000) - 2.0) < 0.01);
        QCOMPARE(calibrationChange(4000, 4000), 0.0);
        QCOMPARE(calibrationDrift(4040, 4000), 1.0);
    }

    void outcome_data()
    {
        QTest::addColumn<int>("standardCounts");
        QTest::addColumn<int>("highCounts");
        QTest::addColumn<int>("standard");
        QTest::addColumn<int>("high");
        QTest::addColumn<bool>("success");
        QTest::addColumn<double>("standardChange");
        QTest::addColumn<bool>("keep"); // the operator's answer after a failure
        QTest::newRow("4000 throughout")
            << 4000 << 4000 << 3996 << 4000 << true << -4 / 4095.0 * 200 << false;
        QTest::newRow("mean 2990: failed, previous values kept")
            << 2990 << 2990 << 2987 << 2990 << false << -1013 / 4095.0 * 200 << false;
        QTest::newRow("mean 2990: failed, new values kept by choice")
            << 2990 << 2990 << 2987 << 2990 << false << -1013 / 4095.0 * 200 << true;
        QTest::newRow("4041 over 4000") << 4045 << 3600 << 4041 << 3600 << true << 41 / 4095.0 * 200 << false;
        QTest::newRow("S exactly 3000")
            << 3003 << 3003 << 3000 << 3003 << true << -1000 / 4095.0 * 200 << false;
        QTest::newRow("S 2999") << 3002 << 3002 << 2999 << 3002 << false << -1001 / 4095.0 * 200 << false;
    }
    void outcome()
    {
        QFETCH(int, standardCounts);
        QFETCH(int, highCounts);
        QFETCH(int, standard);
        QFETCH(int, high);
        QFETCH(bool, success);
        QFETCH(double, standardChange);
        QFETCH(bool, keep);
        Calibrating c(standardCounts, highCounts);
        c.f.messages.push(keep);
        const QString dateBefore = c.f.state.config.CalibDate;
        CalibrationDisplay atResult;
        c.watch([&](const CalibrationDisplay& d) {
            if (!d.result.isEmpty() && d.result != u("【校準系統啟動中】") && atResult.result.isEmpty())
                atResult = d;
        });
        c.f.sim.sim.clearLog();
        const auto outcome = c.run.start();
        QCOMPARE(outcome, success ? CalibrationRun::Outcome::Succeeded : CalibrationRun::Outcome::Failed);

        // A failure asks whether to use its values (否 keeps the previous ones);
        // a success asks nothing.
        const bool applied = success || keep;
        QCOMPARE(c.run.valuesApplied(), applied);
        if (!success) {
            QCOMPARE(int(c.f.messages.shown().size()), 1);
            QCOMPARE(c.f.messages.shown().front().kind, int(AskAttention));
            QCOMPARE(c.f.messages.shown().front().text, keepFailedCalibrationQuestion(standard, 4000, 4000));
        } else {
            QVERIFY(c.f.messages.shown().empty());
        }
        // The values in use, in memory and in the configuration file.
        const Configuration& cfg = c.f.state.config;
        QCOMPARE(cfg.CalibStandard, applied ? standard : 4000);
        QCOMPARE(cfg.CalibHigh, applied ? high : 4000);
        QCOMPARE(cfg.CalibDate, applied ? shortDate(QDate::currentDate()) : dateBefore);
        if (applied) {
            Configuration saved;
            QVERIFY(LoadConfiguration(c.f.state.dataPath(QLatin1String(ConfigurationFileName)), saved).ok);
            QCOMPARE(saved.CalibStandard, standard);
            QCOMPARE(saved.CalibHigh, high);
        } else {
            QCOMPARE(c.configFile(), c.configBefore);
        }
        // The log holds both: what was measured and what was in use, and which one is now.
        const auto log = CalibrationLog(*c.f.state.MainDatabase).latest(5);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.at(0).standard, standard);
        QCOMPARE(log.at(0).high, high);
        QCOMPARE(log.at(0).previousStandard, 4000);
        QCOMPARE(log.at(0).previousHigh, 4000);
        QCOMPARE(log.at(0).success, success);
        QCOMPARE(log.at(0).applied, applied);

        // What the result showed; then the idle screen (a failure keeps its message).
        QCOMPARE(atResult.result, success ? u("【校準成功】") : u("【校準失敗】"));
        QCOMPARE(atResult.resultColor, success ? QColor(0, 128, 0) : QColor(255, 0, 0));
        QCOMPARE(atResult.newStandard, thousands(standard, 5));
        QCOMPARE(atResult.newHigh, thousands(high, 5));
        QVERIFY(std::fabs(atResult.standardChange - standardChange) < 1e-9);
        QCOMPARE(atResult.standardBar, 2600);
        QCOMPARE(atResult.highBar, 2600);
        const CalibrationDisplay& d = c.view.last;
        QCOMPARE(d.status, success ? calibrationIdleStatus() : lowConductivityStatus());
        QCOMPARE(d.result, success ? QString() : u("【校準失敗】"));
        QVERIFY(!d.running && !d.standardLamp.on && !d.highLamp.on && !d.resultLamp.on);
        QCOMPARE(d.standardBar + d.highBar, 0);

        // Two phases of eight 280 ms ticks with tones 7 and 8, then the result's tone.
        QCOMPARE(c.f.commandCount("S3E0700"), 17); // the phase start and 16 ticks
        QCOMPARE(c.f.commandCount("S291A00"), 1);
        QCOMPARE(c.f.commandCount("S1E1A00"), success ? 2 : 1); // the start, and a success
        QCOMPARE(c.f.commandCount("S172C00"), success ? 0 : 1); // tone 3 for a failure
        QCOMPARE(c.f.sim.sim.log().mid(0, 3), (QList<QByteArray>{"X000000", "N000000", "L000000"}));
        QCOMPARE(c.f.commandCount("H000000"), 1);
        QCOMPARE(c.f.sim.sim.log().last(), QByteArray("X000000"));
        QVERIFY(c.storedAt - c.phaseStart >= 16 * CalibrationRun::TickMs);
        // Each tick comes at the first pass 280 ms after the last one: a few exchanges late at most.
        QVERIFY(c.storedAt - c.phaseStart < 16 * (CalibrationRun::TickMs + 16));
    }

    // Lifting the tip at tick 5 shows the notice and starts again from the
    // contact prompt without storing; touching again then calibrates.
    void separationRestarts()
    {
        Calibrating c;
        bool lifted = false, noticed = false, retouched = false;
        QColor lampsAtSeparation;
        int rowsAtRestart = -1, barAtRestart = -1;
        QByteArray configAtRestart;
        c.watch([&](const CalibrationDisplay& d) {
            const qint64 t = c.phaseStart < 0 ? -1 : c.now() - c.phaseStart;
            if (!lifted && t >= 5 * CalibrationRun::TickMs + 140) { // between ticks 5 and 6
                c.handle.on = false;
                lifted = true;
            }
            if (lifted && !noticed && d.standardLamp.color == QColor(0, 128, 128))
                lampsAtSeparation = d.standardLamp.color;
            if (lifted && !noticed && d.status == contactPrompt()) {
                noticed = true;
                barAtRestart = d.standardBar;
                rowsAtRestart = c.logRows();
                configAtRestart = c.configFile();
                c.phaseStart = -1;
            }
            if (noticed && !retouched && d.status == contactPrompt() && d.result == u("【校準系統啟動中】")) {
                c.handle.on = true;
                retouched = true;
            }
        });
        const auto outcome = c.run.start();
        QVERIFY(noticed);
        QCOMPARE(lampsAtSeparation, QColor(0, 128, 128));
        QCOMPARE(c.shownCount(wrongCalibrationNotice()), 1);
        QCOMPARE(c.f.commandCount("S172C00"), 1); // tone 3 before the notice
        QCOMPARE(rowsAtRestart, 0);
        QCOMPARE(barAtRestart, 0); // the phases begin anew
        QCOMPARE(configAtRestart, c.configBefore);
        QCOMPARE(outcome, CalibrationRun::Outcome::Succeeded);
        QCOMPARE(c.logRows(), 1);
        QCOMPARE(c.f.state.config.CalibStandard, 3996);
    }

    // 停止校準 ends a calibration while it waits for the short circuit, and
    // nothing is measured or stored.
    void stopWhileWaiting()
    {
        Calibrating c;
        c.handle.on = false;
        bool asked = false;
        c.watch([&](const CalibrationDisplay& d) {
            if (!asked && d.status == contactPrompt() && c.now() > 2000) {
                asked = true;
                c.run.requestStop();
            }
        });
        QCOMPARE(c.run.start(), CalibrationRun::Outcome::Stopped);
        QCOMPARE(c.configFile(), c.configBefore);
        QCOMPARE(c.logRows(), 0);
        QCOMPARE(c.f.state.config.CalibStandard, 4000);
        QCOMPARE(c.f.sim.sim.log().last(), QByteArray("X000000"));
        QCOMPARE(c.f.commandCount("S3E0700"), 0); // no phase began
        const CalibrationDisplay& d = c.view.last;
        QVERIFY(!d.running);
        QVERIFY(d.status.isEmpty());
        QVERIFY(d.result.isEmpty());
        QCOMPARE(d.newStandard, QStringLiteral("    0"));
    }

    void contactTimeLimit()
    {
        Calibrating c;
        c.handle.on = false;
        c.run.setContactTimeoutMs(5000);
        const qint64 t0 = c.now();
        QCOMPARE(c.run.start(), CalibrationRun::Outcome::TimedOut);
        QVERIFY(c.now() - t0 >= 5000 && c.now() - t0 < 5500);
        QCOMPARE(c.configFile(), c.configBefore);
        QCOMPARE(c.logRows(), 0);
    }

    // Once the circuit is closed a stop no longer ends the calibration.
    void stopAfterContactHasNoEffect()
    {
        Calibrating c;
        bool asked = false;
        c.watch([&](const CalibrationDisplay&) {
            if (!asked && c.phaseStart >= 0 && c.now() - c.phaseStart > 1000) {
                asked = true;
                c.run.requestStop();
            }
        });
        QCOMPARE(c.run.start(), CalibrationRun::Outcome::Succeeded);
        QCOMPARE(c.logRows(), 1);
        QCOMPARE(c.f.state.config.CalibStandard, 3996);
    }

    // The tip kept on the handle after the result: after 30 s the operator is
    // told to separate it, and the screen goes back to idle.
    void separationTimeLimit()
    {
        Calibrating c(4000, 4000, false);
        qint64 removeAsked = -1;
        c.watch([&](const CalibrationDisplay& d) {
            if (removeAsked < 0 && d.status == removeProbeStatus()) removeAsked = c.now();
        });
        QCOMPARE(c.run.start(), CalibrationRun::Outcome::Succeeded);
        QVERIFY(removeAsked >= c.storedAt);
        const qint64 waited = c.now() - removeAsked;
        QVERIFY2(waited >= CalibrationRun::SeparationLimitMs &&
                     waited < CalibrationRun::SeparationLimitMs + 100,
                 qPrintable(QString::number(waited)));
        QCOMPARE(c.shownCount(separateProbeNotice()), 1);
        QCOMPARE(c.view.last.status, calibrationIdleStatus());
        QCOMPARE(c.logRows(), 1);
    }

    void separationEndsTheWait()
    {
        Calibrating c;
        const auto outcome = c.run.start();
        QCOMPARE(outcome, CalibrationRun::Outcome::Succeeded);
        QVERIFY(c.now() - c.storedAt < 100);
        QCOMPARE(c.shownCount(separateProbeNotice()), 0);
    }

    // A silent or unplugged instrument in any step: the run never hangs, and
    // nothing is stored unless the values were stored before the fault.
    void faultInEachStep_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("stored");
        for (bool unplug : {true, false}) {
            const char* kind = unplug ? "unplugged" : "silent";
            for (const char* step :
                 {"before the start", "waiting for contact", "standard phase", "high phase"})
                QTest::addRow("%s, %s", kind, step) << unplug << QString::fromLatin1(step) << false;
            QTest::addRow("%s, waiting for separation", kind)
                << unplug << QStringLiteral("separation") << true;
        }
    }
    void faultInEachStep()
    {
        QFETCH(bool, unplug);
        QFETCH(QString, step);
        QFETCH(bool, stored);
        Calibrating c(4000, 4000, false);
        SimulatedInstrument& sim = c.f.sim.sim;
        bool failed = false;
        auto fail = [&] {
            failed = true;
            if (unplug) // at the next pass of events, as the panel's click comes
                QMetaObject::invokeMethod(
                    qApp, [&sim] { sim.unplug(); }, Qt::QueuedConnection);
            else
                sim.setNoReply(true);
        };
        if (step == QLatin1String("before the start")) fail();
        if (step == QLatin1String("waiting for contact")) c.handle.on = false;
        qint64 failedAt = -1;
        bool gaveUp = false;
        c.watch([&](const CalibrationDisplay& d) {
            if (!failed) {
                const bool now =
                    (step == QLatin1String("waiting for contact") && d.status == contactPrompt()) ||
                    (step == QLatin1String("standard phase") && d.standardBar > 1000) ||
                    (step == QLatin1String("high phase") && d.highBar > 1000) ||
                    (step == QLatin1String("separation") && d.status == removeProbeStatus());
                if (now) {
                    fail();
                    failedAt = c.now();
                    c.handle.on = true; // a tip on the handle no longer reaches the program
                }
            } else if (!gaveUp && d.status == contactPrompt() &&
                       c.now() - std::max<qint64>(failedAt, 0) > 1500) {
                gaveUp = true;
                c.run.requestStop(); // the operator gives up
            }
        });
        const qint64 t0 = c.now();
        const auto outcome = c.run.start();
        QVERIFY(failed);
        QVERIFY2(c.now() - t0 < 20000, qPrintable(QString::number(c.now() - t0))); // no hang
        QVERIFY(!c.run.running());
        QCOMPARE(outcome, stored ? CalibrationRun::Outcome::Succeeded : CalibrationRun::Outcome::Stopped);
        QCOMPARE(c.logRows(), stored ? 1 : 0);
        if (!stored) QCOMPARE(c.configFile(), c.configBefore);
        if (stored) QCOMPARE(c.shownCount(separateProbeNotice()), 0); // the wait ended at once
        const bool inPhase = step.endsWith(QLatin1String("phase"));
        QCOMPARE(c.shownCount(wrongCalibrationNotice()), inPhase ? 1 : 0);
    }

    // A log that cannot be written reaches the general error report; the
    // stored values stand.
    void logFailureKeepsTheValues()
    {
        Calibrating c(4045, 3600);
        QSqlQuery q(c.f.state.MainDatabase->sql());
        QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON CALIBLOG "
                                      "BEGIN SELECT RAISE(ABORT, 'no room'); END")));
        QCOMPARE(c.run.start(), CalibrationRun::Outcome::Succeeded);
        QCOMPARE(c.f.messages.errors().size(), 1);
        QVERIFY(c.f.messages.errors().first().startsWith(QStringLiteral("CALIBLOG")));
        Configuration saved;
        QVERIFY(LoadConfiguration(c.f.state.dataPath(QLatin1String(ConfigurationFileName)), saved).ok);
        QCOMPARE(saved.CalibStandard, 4041);
        QCOMPARE(saved.CalibHigh, 3600);
    }
};

QTEST_MAIN(TestCalibration)
#include "test_calibration.moc"
