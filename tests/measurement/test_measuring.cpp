#include "app/modules.h"
#include "instrument/protocol.h"
#include "measurement/practicefixture.h"
#include "measurement/ui/tzudec.h"
#include "measurement/ui/tzumnu.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuread.h"
#include "records/ui/tzuredit.h"
#include "records/ui/tzusave.h"
#include "shell/datadir.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

void grab(QWidget& w, const char* name)
{
    const QString dir = qEnvironmentVariable("LUMO_SCREENSHOTS");
    if (!dir.isEmpty()) w.grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// A view that records what the run reports, with scripted probe events.
struct RecordingView : MeasuringView
{
    QList<int> shown, stored;
    QStringList statuses;
    QList<bool> missing;
    std::function<void(int)> onShow;
    void showPoint(int p) override
    {
        shown << p;
        if (onShow) onShow(p);
    }
    void pointStored(int p) override { stored << p; }
    void setStatus(const QString& text) override
    {
        if (statuses.isEmpty() || statuses.last() != text) statuses << text;
    }
    void instrumentMissing(bool m) override { missing << m; }
};

} // namespace

class TestMeasuring : public QObject
{
    Q_OBJECT
private slots:
    void endToEnd()
    {
        Practice f;
        TZudec screen(f.state, f.sim.instrument, measurementLinks(f.state));
        // Not shown: a run of 91 virtual seconds would repaint the window at every exchange.
        screen.refreshFromState();
        f.sim.sim.probe().startAutomatic(f.sim.clock.nowMs(), 11);
        f.sim.sim.clearLog();
        screen.ToolButtonMeasureClick();
        grab(screen, "measurement");

        // The run's commands: idle, circuit on, standard potential; tones 4, 5 and 6.
        const auto log = f.sim.sim.log();
        QCOMPARE(log.mid(0, 3), (QList<QByteArray>{"X000000", "N000000", "L000000"}));
        QCOMPARE(log.last(), QByteArray("X000000"));
        QCOMPARE(f.commandCount("S192C00"), 23);     // tone 5 for points 1-23
        QCOMPARE(f.commandCount("S193400"), 1);      // tone 6 after point 24
        QCOMPARE(f.commandCount("S330D00"), 24 * 5); // tone 4: contact and four ticks per point
        for (int p = 1; p <= 24; ++p) {
            const double expected = f.sim.sim.probe().automaticValue(p);
            QVERIFY2(std::fabs(f.state.energy.Readings[size_t(p - 1)] - expected) < 0.2,
                     qPrintable(QStringLiteral("point %1: %2 vs %3")
                                    .arg(p)
                                    .arg(f.state.energy.Readings[size_t(p - 1)])
                                    .arg(expected)));
            QCOMPARE(f.state.energy.Compensated[size_t(p - 1)],
                     compensate(p, f.state.energy.Readings[size_t(p - 1)]));
        }
        QCOMPARE(f.state.PointsSinceAnalysis, 24);
        QVERIFY(screen.action(QString::fromUtf8("能量分析"))->isEnabled());
        QVERIFY(screen.action(QString::fromUtf8("儲存資料"))->isEnabled());

        // Save under a new subject, added in the editor.
        const auto measured = f.state.energy.Readings;
        {
            TZusave save(f.state);
            grab(save, "save");
            QVERIFY(!save.target());
            save.editorHook = [&](TZuREdit& editor) {
                editor.field("CUSTNO")->setText(QStringLiteral("  P-100 "));
                editor.field("NAME")->setText(QString::fromUtf8(" 王大同 "));
                editor.field("TEL2")->setText(QStringLiteral("0912 345 678 "));
                grab(editor, "editor");
                editor.save();
            };
            f.messages.push(true);
            save.addSubject();
            QCOMPARE(save.result(), int(QDialog::Accepted));
        }
        QVERIFY(f.state.CurrentMeasurementKey > 0);
        QCOMPARE(f.state.CurrentSubject.CUSTNO, QStringLiteral("P-100"));
        QCOMPARE(f.state.CurrentSubject.NAME, QString::fromUtf8("王大同"));
        QCOMPARE(f.state.CurrentSubject.TEL2, QStringLiteral("0912 345 678"));
        auto stored = MeasurementStore(*f.state.MainDatabase).get(f.state.CurrentMeasurementKey);
        QVERIFY(stored);
        QCOMPARE(stored->ZU, measured);

        // Find and load it again.
        f.state.energy.clearReadings();
        f.state.CurrentMeasurementKey = 0;
        {
            TZuread browser(f.state, TZuread::LoadMode::MeasurementScreen);
            browser.picker()->searchBox()->setText(QStringLiteral("p-1"));
            QCOMPARE(browser.picker()->currentRow().CUSTNO, QStringLiteral("P-100"));
            QCOMPARE(browser.measurements()->rowCount(), 1);
            browser.enterMeasurementList(0);
            grab(browser, "browser");
            browser.load();
        }
        QCOMPARE(f.state.energy.Readings, measured);
        for (int p = 1; p <= 24; ++p)
            QCOMPARE(f.state.energy.Compensated[size_t(p - 1)], compensate(p, measured[size_t(p - 1)]));
        QCOMPARE(f.state.CurrentMeasurementKey, stored->MKEY);
        QCOMPARE(f.state.PointsSinceAnalysis, 0);
    }

    void contactThreshold_data()
    {
        QTest::addColumn<QList<int>>("script");
        QTest::addColumn<bool>("contact");
        QTest::newRow("21 and 19 average 20") << QList<int>{21, 19, 0} << false;
        QTest::newRow("21 and 21") << QList<int>{21, 21} << true;
    }
    void contactThreshold()
    {
        QFETCH(QList<int>, script);
        QFETCH(bool, contact);
        Practice f;
        RecordingView view;
        MeasuringRun run(f.state, f.sim.instrument, view);
        QCOMPARE(run.contactThreshold(), 20.0);
        QCOMPARE(run.countsPerMicroampere(), 20.0);
        view.onShow = [&](int) { f.sim.sim.probe().setScript(script); };
        const qint64 start = f.sim.clock.nowMs();
        f.sim.clock.setTick([&](qint64 now) {
            f.sim.sim.timeAdvanced();
            if (now - start > 100) run.requestStop();
        });
        run.start();
        QCOMPARE(f.commandCount("S330D00") > 0, contact); // tone 4 opens the reading window
        QCOMPARE(view.stored.isEmpty(), !contact);
    }

    void averageAndCompensation()
    {
        Practice f;
        RecordingView view;
        MeasuringRun run(f.state, f.sim.instrument, view);
        QVERIFY(!run.pick(3)); // picking needs a run waiting for contact
        f.sim.sim.probe().setNoise(0);
        view.onShow = [&](int p) {
            if (p == 3) f.sim.sim.probe().touch(50.0, f.sim.clock.nowMs()); // 1000 counts
            if (p == 4) run.requestStop();
        };
        f.sim.clock.setTick([&](qint64) {
            f.sim.sim.timeAdvanced();
            if (view.stored.contains(3)) f.sim.sim.probe().lift();
            if (run.running() && run.currentPoint() == 1) run.pick(3);
        });
        run.start();
        QCOMPARE(view.stored, QList<int>{3});
        QCOMPARE(f.state.energy.Readings[2], 50.0);
        QCOMPARE(f.state.energy.Compensated[2], 55.405);
    }

    void contactLostAtTwoSeconds()
    {
        Practice f;
        RecordingView view;
        MeasuringRun run(f.state, f.sim.instrument, view);
        f.sim.sim.probe().setNoise(0);
        f.state.energy.setReading(1, 33.0); // an old value stays while the point restarts
        f.state.CurrentMeasurementKey = 1;
        f.messages.push(false); // measured into, not cleared
        qint64 touched = -1;
        bool dropped = false;
        view.onShow = [&](int) {
            if (view.shown.size() == 1) {
                touched = f.sim.clock.nowMs();
                f.sim.sim.probe().touch(40, touched);
            } else {
                run.requestStop();
            }
        };
        f.sim.clock.setTick([&](qint64 now) {
            f.sim.sim.timeAdvanced();
            if (!dropped && touched >= 0 && now - touched >= 2000) {
                f.sim.sim.probe().setValue(1.0); // 20 counts: at the threshold, contact is lost
                dropped = true;
            }
        });
        run.start();
        QVERIFY(dropped);
        QVERIFY(view.stored.isEmpty());
        QCOMPARE(f.state.energy.Readings[0], 33.0);
        QCOMPARE(view.shown, (QList<int>{1, 1})); // the same point again
    }

    // The instrument pulled out during a run: the status line says it is
    // missing (and how to stop), nothing is read from the last reply it gave,
    // and plugged in again it is set up for measuring and the wait goes on.
    // The value changes while it is out, so a reading taken from the stale
    // reply would show.
    void instrumentUnpluggedDuringTheRun_data()
    {
        QTest::addColumn<int>("unplugAfterMs"); // after the touch; -1: before it
        QTest::addColumn<bool>("pluggedAgain");
        QTest::newRow("while waiting for contact") << -1 << true;
        QTest::newRow("during the reading") << 1000 << true;
        QTest::newRow("stopped while missing") << 1000 << false;
    }
    void instrumentUnpluggedDuringTheRun()
    {
        QFETCH(int, unplugAfterMs);
        QFETCH(bool, pluggedAgain);
        Practice f;
        RecordingView view;
        MeasuringRun run(f.state, f.sim.instrument, view);
        SimulatedProbe& probe = f.sim.sim.probe();
        probe.setNoise(0);
        qint64 unpluggedAt = -1;
        auto unplug = [&] {
            f.sim.sim.unplug();
            unpluggedAt = f.sim.clock.nowMs();
            probe.setValue(25.0); // what the point reads once the instrument is back
            f.sim.sim.clearLog();
        };
        view.onShow = [&](int p) {
            if (p != 1) return run.requestStop();
            if (view.shown.size() > 1) return; // the same point again, after the lost reading
            probe.touch(40, f.sim.clock.nowMs());
            if (unplugAfterMs < 0) unplug();
        };
        const qint64 start = f.sim.clock.nowMs();
        f.sim.clock.setTick([&](qint64 now) {
            f.sim.sim.timeAdvanced();
            if (unpluggedAt < 0 && unplugAfterMs >= 0 && now - start >= unplugAfterMs) unplug();
            if (unpluggedAt >= 0 && now - unpluggedAt >= 5000 && !f.sim.sim.plugged()) {
                if (pluggedAgain)
                    f.sim.sim.plug();
                else
                    run.requestStop();
            }
        });
        run.start();
        QVERIFY(unpluggedAt >= 0);
        QVERIFY2(view.statuses.contains(instrumentMissingStatus()), qPrintable(view.statuses.join('|')));
        QCOMPARE(view.missing.value(0), true);
        QCOMPARE(view.missing.last(), false); // the run ends with the status line as usual
        if (!pluggedAgain) {
            QVERIFY(view.stored.isEmpty());
            QCOMPARE(f.state.energy.Readings[0], 0.0);
            return;
        }
        // Back: idle, circuit on, the potential; the prompt again; the point read afresh.
        const auto log = f.sim.sim.log();
        QCOMPARE(log.mid(0, 3), (QList<QByteArray>{"X000000", "N000000", "L000000"}));
        QCOMPARE(view.statuses.at(view.statuses.indexOf(instrumentMissingStatus()) + 1), contactPrompt());
        QCOMPARE(view.stored, QList<int>{1});
        QVERIFY2(std::fabs(f.state.energy.Readings[0] - 25.0) < 0.01,
                 qPrintable(QString::number(f.state.energy.Readings[0])));
    }

    void pickingAndLiftOffAtPoint24()
    {
        Practice f;
        TZudec screen(f.state, f.sim.instrument, measurementLinks(f.state));
        screen.refreshFromState();
        f.sim.sim.probe().setNoise(0);
        bool picked = false;
        QList<int> questions;
        f.sim.clock.setTick([&](qint64) {
            f.sim.sim.timeAdvanced();
            if (!picked && screen.run().running() && screen.run().currentPoint() == 1) {
                screen.gridClicked(1, 7); // column 8, row 2: point 20
                picked = screen.run().currentPoint() == 20;
                if (picked) f.sim.sim.probe().touch(30, f.sim.clock.nowMs());
            }
        });
        // Leave the probe on: points 20-23 need the 3 s question (answered 是), point 24 does not.
        f.messages.setDefaultAnswer(true);
        screen.ToolButtonMeasureClick();
        for (const auto& m : f.messages.shown())
            questions << m.kind;
        QCOMPARE(screen.run().running(), false);
        for (int p = 1; p <= 19; ++p)
            QCOMPARE(f.state.energy.Readings[size_t(p - 1)], 0.0);
        for (int p = 20; p <= 24; ++p)
            QCOMPARE(f.state.energy.Readings[size_t(p - 1)], 30.0);
        QCOMPARE(questions, (QList<int>{3, 3, 3, 3})); // 20, 21, 22, 23
        QVERIFY(!screen.action(QString::fromUtf8("能量分析"))->isEnabled());
    }

    void stopWhileWaiting()
    {
        Practice f;
        RecordingView view;
        MeasuringRun run(f.state, f.sim.instrument, view);
        view.onShow = [&](int) { run.requestStop(); };
        run.start();
        QVERIFY(!run.running());
        QCOMPARE(f.sim.sim.log().last(), QByteArray("X000000"));
        QVERIFY(view.stored.isEmpty());
    }

    void usageCounterAdvancesOnce()
    {
        Practice f;
        f.state.PointsSinceAnalysis = 24;
        const qint64 before = f.sim.instrument.ReadUsageCounter();
        int advanced = 0;
        for (int i = 0; i < 3; ++i)
            advanced += advanceUsageCounterIfDue(f.state, f.sim.instrument);
        QCOMPARE(advanced, 1);
        QCOMPARE(f.sim.instrument.ReadUsageCounter(), before + 1);
    }

    void highPotentialQuestion()
    {
        Practice f;
        f.state.config.HighPotential = true;
        RecordingView view;
        MeasuringRun run(f.state, f.sim.instrument, view);
        f.messages.push(false);
        run.start();
        QVERIFY(view.shown.isEmpty());
        QCOMPARE(f.messages.shown().back().kind, 3);
        QCOMPARE(f.sim.sim.log(), (QList<QByteArray>{"S1E0F00", "S1E1A00"})); // tone 2 only
    }

    void editorDuplicatesAndTrimming()
    {
        Practice f;
        SubjectRow existing;
        existing.CUSTNO = QStringLiteral("a01");
        existing.NAME = QString::fromUtf8("林小姐 ");
        QVERIFY(SubjectStore(*f.state.MainDatabase).append(existing).ok);
        TZuREdit add(TZuREdit::Mode::Add, f.state, *f.state.MainDatabase);
        auto* save = add.findChild<QPushButton*>(QStringLiteral("SaveButton"));
        add.field("CUSTNO")->setText(QStringLiteral("   "));
        QVERIFY(!save->isEnabled());
        add.field("CUSTNO")->setText(QStringLiteral(" A01 "));
        QVERIFY(save->isEnabled());
        add.save();
        QVERIFY(!add.added());
        QCOMPARE(f.messages.shown().back().kind, 5);
        QCOMPARE(
            f.messages.shown().back().text,
            QString::fromUtf8("您所輸入的受測者編號已經與姓名為 [ 林小姐 ] 重覆!!請重新指定另一個編號。"));
        QCOMPARE(SubjectStore(*f.state.MainDatabase).count(), 1);
        add.field("CUSTNO")->setText(QStringLiteral("A02"));
        add.save();
        QVERIFY(add.added());
        auto a02 = SubjectStore(*f.state.MainDatabase).findByCustNo(QStringLiteral("A02"));
        QVERIFY(a02);
        QCOMPARE(a02->DBIRTH, 0.0); // the birth box was left unticked

        TZuREdit change(TZuREdit::Mode::Change, f.state, *f.state.MainDatabase, *a02);
        QVERIFY(!change.field("CUSTNO")->isEnabled());
        change.field("NAME")->setText(QStringLiteral("Name "));
        change.field("TEL2")->setText(QStringLiteral("0911 "));
        change.save();
        a02 = SubjectStore(*f.state.MainDatabase).findByCustNo(QStringLiteral("A02"));
        QCOMPARE(a02->NAME, QStringLiteral("Name "));
        QCOMPARE(a02->TEL2, QStringLiteral("0911"));
    }

    void manualEntryValidation_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("moves");
        QTest::newRow("250") << "250"
                             << "200.0" << true;
        QTest::newRow("0.05") << "0.05"
                              << "" << false;
        QTest::newRow("0.095") << "0.095"
                               << "  0.1" << true;
        QTest::newRow("0.09") << "0.09"
                              << "" << false;
        QTest::newRow("12.34") << "12.34"
                               << " 12.3" << true;
        QTest::newRow("minus") << "-5"
                               << "" << false;
        QTest::newRow("lone point") << "."
                                    << "" << false;
    }
    void manualEntryValidation()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, moves);
        Practice f;
        TZumnu entry(TZumnu::Mode::Add, f.state);
        entry.grid()->setCurrentCell(0, 3);
        entry.typeAndEnter(typed);
        QCOMPARE(entry.grid()->item(0, 3)->text(), shown);
        QCOMPARE(entry.grid()->currentColumn(), moves ? 4 : 3);
    }

    void manualEntryMovementAndSaving()
    {
        Practice f;
        TZumnu entry(TZumnu::Mode::Add, f.state);
        entry.grid()->setCurrentCell(0, 11);
        entry.typeAndEnter(QStringLiteral("40"));
        QCOMPARE(entry.grid()->currentRow(), 1);
        QCOMPARE(entry.grid()->currentColumn(), 0);
        entry.grid()->setCurrentCell(1, 11);
        entry.typeAndEnter(QStringLiteral("41"));
        QCOMPARE(entry.grid()->currentColumn(), 11);
        entry.grid()->setCurrentCell(0, 0);
        entry.grid()->item(0, 0)->setText(QStringLiteral("12.34")); // not validated yet
        grab(entry, "manual");
        entry.save();
        QCOMPARE(f.state.energy.Readings[0], 12.3);
        QCOMPARE(f.state.energy.Readings[17], 40.0); // column 12 of the left row: point 18
        QCOMPARE(f.state.energy.Readings[23], 41.0);
        QCOMPARE(f.state.energy.Compensated[0], 12.3 * 0.8541);

        // Saving with every cell empty gives 24 zeros; change mode with the box unticked stores day 0.
        MeasurementRow row;
        row.CUSTNO = QStringLiteral("X");
        row.ZU.fill(10);
        QVERIFY(MeasurementStore(*f.state.MainDatabase).append(row).ok);
        TZumnu change(TZumnu::Mode::Change, f.state, &row);
        QVERIFY(!change.dateBox()->isChecked());
        f.messages.push(true);
        change.clear();
        change.dateBox()->setChecked(false);
        change.save();
        auto back = MeasurementStore(*f.state.MainDatabase).get(row.MKEY);
        QCOMPARE(back->ZUDATE, 0.0);
        for (double v : back->ZU)
            QCOMPARE(v, 0.0);
    }

    void browserDeletionsAndCounts()
    {
        Practice f;
        SubjectStore subjects(*f.state.MainDatabase);
        MeasurementStore measurements(*f.state.MainDatabase);
        for (const char* no : {"S1", "S2"}) {
            SubjectRow s;
            s.CUSTNO = QLatin1String(no);
            QVERIFY(subjects.append(s).ok);
            for (int i = 0; i < 3; ++i) {
                MeasurementRow m;
                m.CUSTNO = s.CUSTNO;
                m.ZUDATE = 45000 + i;
                QVERIFY(measurements.append(m).ok);
            }
        }
        f.state.CurrentMeasurementKey = measurements.listForSubject(QStringLiteral("S2"))[1].MKEY;
        f.state.CurrentSubject.CUSTNO = QStringLiteral("S2");
        TZuread browser(f.state, TZuread::LoadMode::MeasurementScreen);
        QCOMPARE(browser.picker()->currentRow().CUSTNO, QStringLiteral("S2"));
        QVERIFY(browser.action(QString::fromUtf8("載入資料"))->isEnabled()); // its first one is current
        browser.enterMeasurementList(1);
        QVERIFY(browser.action(QString::fromUtf8("刪除資料"))->isEnabled());
        QVERIFY(browser.action(QString::fromUtf8("客戶刪除"))->isEnabled());
        f.messages.push(true);
        browser.deleteMeasurement();
        QCOMPARE(f.state.CurrentMeasurementKey, 0);
        QCOMPARE(browser.measurements()->rowCount(), 2);
        QCOMPARE(browser.measurements()->item(1, 0)->text(), QStringLiteral("2")); // renumbered
        browser.enterSubjectList();
        f.messages.push(true);
        browser.deleteSubject();
        QCOMPARE(subjects.count(), 1);
        QCOMPARE(measurements.countAll(), 3);
        QVERIFY(browser.picker()
                    ->findChild<QLabel*>(QStringLiteral("CountLine"))
                    ->text()
                    .startsWith(QStringLiteral("     1")));
    }
};

QTEST_MAIN(TestMeasuring)
#include "test_measuring.moc"
