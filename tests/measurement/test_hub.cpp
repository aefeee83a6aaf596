// The measurement screen as the hub of a session, driven through its real modal
// loops and real key events: what method-level tests cannot see.
#include "base/formats.h"
#include "measurement/missingpoints.h"
#include "measurement/practicefixture.h"
#include "measurement/ui/tzudec.h"
#include "measurement/ui/tzumnu.h"
#include "support/keys.h"
#include "widgets/instrumentstatus.h"
#include "widgets/modal.h"

#include <QAction>
#include <QLabel>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

void fillReadings(SharedState& s, double value)
{
    for (double& r : s.energy.Readings)
        r = value;
    s.energy.recompensate(s.compensation);
    s.energy.TakenAt = dayNumber(QDateTime(QDate(2026, 3, 1), QTime(10, 0)));
}

// A linked screen that closes as soon as its own modal loop runs.
void closingScreen(QWidget* parent)
{
    QDialog d(parent);
    QTimer::singleShot(0, &d, &QDialog::accept);
    execModal(d);
}

// The pixel of a cell that stands out most from the cell's background (its
// text, dark on light or light on dark), as a contrast ratio.
double cellContrast(QTableWidget* grid, int row, int column)
{
    const QImage img = grid->viewport()->grab(grid->visualItemRect(grid->item(row, column))).toImage();
    auto luminance = [](QRgb c) {
        auto lin = [](int v) {
            const double x = v / 255.0;
            return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
    };
    const double background = luminance(img.pixel(1, 1));
    double best = 1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const double l = luminance(img.pixel(x, y));
            best = std::max(best, (std::max(l, background) + 0.05) / (std::min(l, background) + 0.05));
        }
    return best;
}

} // namespace

class TestHub : public QObject
{
    Q_OBJECT
private slots:
    // Each screen the hub opens returns to a hub that is still shown and still
    // in its own modal loop, so that the session goes on.
    void linkedScreensReturnToTheHub_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("analysis") << u("能量分析");
        QTest::newRow("save") << u("儲存資料");
        QTest::newRow("browser") << u("讀取資料");
        QTest::newRow("manual entry") << u("數據輸入");
        QTest::newRow("comparison") << u("能量比對");
    }
    void linkedScreensReturnToTheHub()
    {
        QFETCH(QString, button);
        Practice f;
        fillReadings(f.state, 40);
        MeasurementLinks links{closingScreen, closingScreen, closingScreen, closingScreen, closingScreen};
        TZudec hub(f.state, f.sim.instrument, links);
        bool returned = false, visibleAfter = false, modalAfter = false;
        QTimer::singleShot(0, &hub, [&] {
            QAction* a = hub.action(button);
            QVERIFY(a && a->isEnabled());
            a->trigger();
            returned = true;
            // Checked from the hub's own loop: it only runs if the loop survived.
            QTimer::singleShot(0, &hub, [&] {
                visibleAfter = hub.isVisible();
                modalAfter = QApplication::activeModalWidget() == &hub;
                hub.close();
            });
        });
        execModal(hub);
        QVERIFY(returned);
        QVERIFY2(visibleAfter, "the hub was not shown again");
        QVERIFY2(modalAfter, "the hub's modal loop ended with the linked screen");
    }

    // The potential buttons choose the next run's potential; the measurement
    // keeps the potential it was measured with.
    // The status bar says a store (and only a store) for a while after the
    // save screen closed; loading a measurement is no store.
    void storingIsSaid_data()
    {
        QTest::addColumn<int>("link"); // 0 save stores, 1 save left, 2 browser loads
        QTest::addColumn<bool>("said");
        QTest::newRow("stored") << 0 << true;
        QTest::newRow("save screen left") << 1 << false;
        QTest::newRow("loaded, not stored") << 2 << false;
    }
    void storingIsSaid()
    {
        QFETCH(int, link);
        QFETCH(bool, said);
        Practice f;
        fillReadings(f.state, 30);
        MeasurementLinks links;
        auto pretend = [&f](qint64 key) {
            f.state.CurrentSubject.CUSTNO = QStringLiteral("A01");
            f.state.CurrentSubject.NAME = QStringLiteral("Lin");
            f.state.CurrentMeasurementKey = key;
        };
        links.save = [&](QWidget*) {
            if (link == 0) pretend(77);
        };
        links.browse = [&](QWidget*) { pretend(78); };
        TZudec hub(f.state, f.sim.instrument, links);
        QVERIFY(showActive(hub));
        hub.action(link == 2 ? u("讀取資料") : u("儲存資料"))->trigger();
        const QString shown = hub.findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage();
        QCOMPARE(shown.startsWith(u("已儲存 A01 Lin ")), said);
    }

    // After a run that left points out the idle status names them and their
    // cells (only theirs) are marked; the instrument's presence follows plugging.
    void missingPointsAndInstrumentShown()
    {
        Practice f;
        fillReadings(f.state, 30);
        f.state.energy.Readings[2] = 0; // point 3: left hand, Heart
        f.state.energy.recompensate(f.state.compensation);
        TZudec hub(f.state, f.sim.instrument, MeasurementLinks{});
        QVERIFY(showActive(hub));
        QCOMPARE(hub.findChild<QLabel*>(QStringLiteral("IdleStatus"))->text(),
                 missingPointsText(f.state.energy));
        auto* grid = hub.findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
        for (int p = 1; p <= 24; ++p) {
            const GridCell c = gridCellOfPoint(p);
            const QString note =
                grid->item(c.row - 1, c.column - 1)->data(Qt::AccessibleDescriptionRole).toString();
            QCOMPARE(note, p == 3 ? u("未測量") : QString());
        }
        QVERIFY(!hub.action(u("能量分析"))->isEnabled());
        auto* instrument = hub.findChild<InstrumentStatus*>(QStringLiteral("InstrumentStatus"));
        QCOMPARE(instrument->text(), instrumentConnectedText());
        f.sim.sim.unplug();
        QTRY_COMPARE(instrument->text(), instrumentMissingText());
        f.sim.sim.plug();
        QTRY_COMPARE(instrument->text(), instrumentConnectedText());
    }

    void potentialButtonsKeepTheMeasurementsPotential()
    {
        Practice f;
        fillReadings(f.state, 40);
        f.state.config.HighPotential = false;
        f.state.energy.VoltageMode = false;
        TZudec hub(f.state, f.sim.instrument, {});
        hub.refreshFromState();
        QRadioButton* high = nullptr;
        for (QRadioButton* b : hub.findChildren<QRadioButton*>())
            if (b->text() == u("高電位測量")) high = b;
        QVERIFY(high);
        high->click();
        QVERIFY(f.state.config.HighPotential);
        QCOMPARE(f.state.energy.VoltageMode, false);
        QCOMPARE(hub.findChild<QLabel*>(QStringLiteral("ModeLabel"))->text(), QStringLiteral("[ Hi ]"));
    }

    // 是 to clearing and 否 to high potential: the grid shows the cleared
    // measurement at once and nothing offers to save or analyse it.
    void clearedThenDeclinedShowsNothing()
    {
        Practice f;
        fillReadings(f.state, 40);
        f.state.CurrentMeasurementKey = 7;
        f.state.config.HighPotential = true;
        f.state.energy.VoltageMode = true;
        TZudec hub(f.state, f.sim.instrument, {});
        hub.refreshFromState();
        f.messages.push(true);  // clear first
        f.messages.push(false); // not at high potential
        f.sim.sim.clearLog();
        hub.ToolButtonMeasureClick();
        QVERIFY(!hub.run().running());
        QVERIFY(!f.sim.sim.log().contains("N000000")); // no run started
        auto* grid = hub.findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 12; ++c)
                QVERIFY2(grid->item(r, c)->text().isEmpty(), qPrintable(grid->item(r, c)->text()));
        QVERIFY(hub.findChild<QLabel*>(QStringLiteral("DateValue"))->text().isEmpty());
        for (const char* b : {"能量分析", "儲存資料", "清除數據", "能量比對"})
            QVERIFY2(!hub.action(u(b))->isEnabled(), b);
    }

    // A measured grid outside a run takes no clicks but stays readable, and the
    // screen keeps its size and fits a 1366 x 768 screen through a run.
    void measuredValuesReadableAndLayoutSteady()
    {
        Practice f;
        f.sim.sim.probe().startAutomatic(f.sim.clock.nowMs(), 5);
        TZudec hub(f.state, f.sim.instrument, {});
        hub.show();
        const QSize before = hub.size();
        QSize during;
        // Stopped once two points are in: the second is not the grid's current cell afterwards.
        QTimer poll;
        connect(&poll, &QTimer::timeout, &hub, [&] {
            if (f.state.energy.Readings[1] == 0) return;
            during = hub.size();
            hub.ToolButtonStopClick();
            poll.stop();
        });
        poll.start(10);
        hub.ToolButtonMeasureClick();
        QApplication::processEvents();
        QVERIFY(f.state.energy.hasData());
        QCOMPARE(during, before);
        QCOMPARE(hub.size(), before);
        QVERIFY(hub.frameGeometry().width() <= 1366 && hub.frameGeometry().height() <= 740);
        auto* grid = hub.findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
        QVERIFY(!grid->isEnabled());
        QVERIFY(!grid->item(0, 1)->text().isEmpty());
        const double contrast = cellContrast(grid, 0, 1); // not the current cell
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("contrast %1:1").arg(contrast)));
    }

    // Manual entry with real keys: one Enter checks the value and moves on, from
    // the open editor as from the grid; a new value replaces the old; letters are ignored.
    void manualEntryTypedWithOneEnterEach_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("shown"); // left row, from column 1
        QTest::newRow("clamped, then replaced") << QStringList{"250", "33"} << QStringList{"200.0", " 33.0"};
        QTest::newRow("letters ignored") << QStringList{"45", "7q"} << QStringList{" 45.0", "  7.0"};
        QTest::newRow("two decimal points") << QStringList{"1.2.3"} << QStringList{"  1.2"};
    }
    void manualEntryTypedWithOneEnterEach()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, shown);
        Practice f;
        TZumnu screen(TZumnu::Mode::Add, f.state);
        QVERIFY(showActive(screen));
        for (const QString& t : typed) {
            typeKeys(t);
            pressKey(Qt::Key_Return);
        }
        for (int c = 0; c < shown.size(); ++c)
            QCOMPARE(screen.grid()->item(0, c)->text(), shown[c]);
        QCOMPARE(screen.grid()->currentColumn(), int(typed.size()));
        QCOMPARE(QApplication::focusWidget(), screen.grid()); // no editor left open
    }

    void manualEntryOfAllTwentyFourPoints()
    {
        Practice f;
        TZumnu screen(TZumnu::Mode::Add, f.state);
        QVERIFY(showActive(screen));
        for (int i = 0; i < 24; ++i) {
            typeKeys(QString::number(10 + i));
            pressKey(Qt::Key_Return);
        }
        QCOMPARE(screen.grid()->currentRow(), 1);
        QCOMPARE(screen.grid()->currentColumn(), 11); // stops in the last cell
        screen.save();
        // Typed row by row: left hand, left foot, right hand, right foot.
        for (int i = 0; i < 24; ++i) {
            const int row = i / 12, column = i % 12;
            const int point = pointOfGridCell(column + 1, row + 1);
            QCOMPARE(f.state.energy.Readings[size_t(point - 1)], double(10 + i));
        }
    }
};

QTEST_MAIN(TestHub)
#include "test_hub.moc"
