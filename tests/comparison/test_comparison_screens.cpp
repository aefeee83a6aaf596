// The two-record comparison and its links, driven through their real modal
// loops: opened from the measurement screen, the record browser in comparison
// mode, the band buttons, the chart box and printing.
#include "analysis/ui/printpreview.h"
#include "app/modules.h"
#include "comparison/comparisonfixture.h"
#include "comparison/ui/chartbox.h"
#include "comparison/ui/recordblockview.h"
#include "comparison/ui/tzucmp.h"
#include "comparison/ui/tzumut.h"
#include "measurement/practicefixture.h"
#include "measurement/ui/tzudec.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuread.h"
#include "support/dialogs.h"
#include "support/keys.h"
#include "widgets/modal.h"

#include <QAction>
#include <QTableView>
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

const QDateTime Taken(QDate(2026, 2, 10), QTime(9, 41, 5));

// The base record: subject B01 measured at 50 uA everywhere, at high potential.
void holdBase(Practice& f)
{
    f.state.CurrentSubject = storeSubject(f.state, QStringLiteral("B01"), u("陳大文"));
    for (int p = 1; p <= 24; ++p)
        f.state.energy.setReading(p, 50, f.state.compensation);
    f.state.energy.VoltageMode = true;
    f.state.energy.TakenAt = dayNumber(Taken);
}

// The browser that the screen opens: goes to the subject, enters its first
// measurement and presses 載入資料 (or 離  開).
void answerBrowser(const QString& number, bool load, bool* seen = nullptr)
{
    QTimer::singleShot(0, [=] {
        auto* browser = qobject_cast<TZuread*>(QApplication::activeModalWidget());
        QVERIFY2(browser, "the record browser is not the modal screen");
        if (seen) *seen = browser->isVisible() && browser->parentWidget() != nullptr;
        browser->picker()->search(number);
        if (!load) return browser->action(u("離  開"))->trigger();
        browser->enterMeasurementList(0);
        QVERIFY(browser->action(u("載入資料"))->isEnabled());
        browser->action(u("載入資料"))->trigger();
    });
}

} // namespace

class TestComparisonScreens : public QObject
{
    Q_OBJECT
private slots:
    void opensWithTheBaseOnly()
    {
        Practice f;
        holdBase(f);
        TZuCmp screen(f.state);
        QVERIFY(showActive(screen));
        QCOMPARE(screen.windowTitle(), u("能量比對"));
        QCOMPARE(screen.comparison().seriesCount(), 1);
        QCOMPARE(screen.baseBlock()->texts(),
                 QStringList({QStringLiteral("B01"), u("陳大文"), QStringLiteral("50.00"), u("高電位"),
                              shortDate(Taken.date()), longTime(Taken.time())}));
        QCOMPARE(screen.comparisonBlock()->texts(), QStringList(6, QString()));
        QVERIFY(!screen.action(u("比對資料"))->isEnabled());
        QVERIFY(screen.action(u("隱  藏"))->isChecked());
        QVERIFY(!screen.action(u("原始資料"))->isChecked());
        QCOMPARE(screen.statusText(), u("請按 [載入資料] 鍵更改欲比對資料。"));
        QCOMPARE(screen.action(u("載入資料"))->toolTip(), u("載入比對的能量資料"));
        QCOMPARE(screen.action(u("離  開"))->toolTip(), u("離開能量比對"));
        QVERIFY(screen.frameGeometry().width() <= 1366 && screen.frameGeometry().height() <= 768);
    }

    // 載入資料 opens the browser in comparison mode over the screen; its load
    // fills ComparisonRecord, the comparison block and the second curve, and
    // puts the band choice to 隱  藏.
    void loadThroughTheBrowser()
    {
        Practice f;
        holdBase(f);
        storeSubject(f.state, QStringLiteral("C02"), u("林小美"), false);
        storeMeasurement(f.state, QStringLiteral("C02"), Taken.addDays(-30), filled(40));
        TZuCmp screen(f.state);
        QVERIFY(showActive(screen));
        screen.chooseBand(BandChoice::Base);
        bool covered = false;
        answerBrowser(QStringLiteral("C02"), true, &covered);
        screen.action(u("載入資料"))->trigger();
        QVERIFY2(covered, "the browser did not open over the screen");
        QVERIFY(screen.isVisible());
        QCOMPARE(f.state.ComparisonRecord.CUSTNO, QStringLiteral("C02"));
        QCOMPARE(f.state.ComparisonRecord.StoredMean, 40.0);
        QCOMPARE(screen.comparison().seriesCount(), 2);
        QCOMPARE(screen.comparisonBlock()->texts(),
                 QStringList({QStringLiteral("C02"), u("林小美"), QStringLiteral("40.00"), u("標準電位"),
                              shortDate(Taken.addDays(-30).date()), longTime(Taken.time())}));
        QVERIFY(screen.action(u("比對資料"))->isEnabled());
        QVERIFY(screen.action(u("隱  藏"))->isChecked());
        QCOMPARE(screen.comparison().chart().bandSeries, 0);

        // 比對資料 draws the band around the comparison's mean of stored
        // values, 40: its lowest line, 21.6875 uA, is row 340 of the box.
        screen.action(u("比對資料"))->trigger();
        QVERIFY(screen.action(u("比對資料"))->isChecked());
        QVERIFY(!screen.action(u("隱  藏"))->isChecked());
        QCOMPARE(screen.comparison().chart().bandCentre, 40.0);
        const QImage shown = screen.chartBox()->grab().toImage();
        int red = 0;
        for (int x = 31; x < 600; ++x)
            red += shown.pixelColor(x, 340) == QColor(255, 0, 0);
        QVERIFY(red > 150);
        // The box shows what the painter draws for the screen, the command line and the tests.
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 renderComparisonChart(screen.comparison().chart(), TwoRecordBox));
    }

    // Leaving the browser without loading changes nothing.
    void leavingTheBrowserLoadsNothing()
    {
        Practice f;
        holdBase(f);
        storeSubject(f.state, QStringLiteral("C02"), u("林小美"));
        storeMeasurement(f.state, QStringLiteral("C02"), Taken, filled(40));
        f.state.ComparisonRecord.CUSTNO = QStringLiteral("earlier");
        TZuCmp screen(f.state);
        QVERIFY(showActive(screen));
        answerBrowser(QStringLiteral("C02"), false);
        screen.ToolButtonLoadClick();
        QCOMPARE(f.state.ComparisonRecord.CUSTNO, QStringLiteral("earlier"));
        QCOMPARE(screen.comparison().seriesCount(), 1);
        QVERIFY(!screen.action(u("比對資料"))->isEnabled());
        QCOMPARE(screen.comparisonBlock()->texts(), QStringList(6, QString()));
    }

    // ComparisonRecord outlives the screen, but a new screen starts with one curve.
    void aLaterOpeningStartsEmpty()
    {
        Practice f;
        holdBase(f);
        storeSubject(f.state, QStringLiteral("C02"), u("林小美"));
        storeMeasurement(f.state, QStringLiteral("C02"), Taken, filled(40));
        {
            TZuCmp first(f.state);
            QVERIFY(showActive(first));
            answerBrowser(QStringLiteral("C02"), true);
            first.ToolButtonLoadClick();
            QCOMPARE(first.comparison().seriesCount(), 2);
        }
        TZuCmp again(f.state);
        QCOMPARE(f.state.ComparisonRecord.CUSTNO, QStringLiteral("C02"));
        QCOMPARE(again.comparison().seriesCount(), 1);
        QCOMPARE(again.comparisonBlock()->texts(), QStringList(6, QString()));
        QVERIFY(!again.action(u("比對資料"))->isEnabled());
    }

    // Every paint draws the whole chart, so an uncovered box is whole again.
    void repaintDrawsTheChart()
    {
        Practice f;
        holdBase(f);
        TZuCmp screen(f.state);
        QVERIFY(showActive(screen));
        const int before = screen.chartBox()->paintCount();
        screen.chartBox()->repaint();
        QCOMPARE(screen.chartBox()->paintCount(), before + 1);
        screen.chooseBand(BandChoice::Base);
        QTRY_VERIFY(screen.chartBox()->paintCount() > before + 1);
        // Base readings 50: the upper outer line at 50 + 21 f lies on the picture.
        const QImage shown = screen.chartBox()->grab().toImage();
        const int y = int(rnd(387 - 387.0 / 180 * bandLevels(50)[0]));
        int red = 0;
        for (int x = 31; x < 600; ++x)
            red += shown.pixelColor(x, y) == QColor(255, 0, 0);
        QVERIFY(red > 150);
    }

    // Without a printer the session's PDF choice receives the page.
    void printsThePage()
    {
        Practice f;
        holdBase(f);
        QTemporaryDir out;
        f.state.printer.outputFile = out.filePath(QStringLiteral("cmp.pdf"));
        TZuCmp screen(f.state);
        QVERIFY(showActive(screen));
        test::whenShown<PrintPreview>([](PrintPreview& p) { p.accept(); });
        screen.action(u("列  印"))->trigger();
        QFile pdf(f.state.printer.outputFile);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(f.messages.errors().isEmpty());
    }

    // From the measurement screen: 能量比對 opens the comparison over it, and
    // closing the comparison returns to the measurement screen's own loop.
    void openedFromTheMeasurementScreen()
    {
        Practice f;
        holdBase(f);
        TZudec hub(f.state, f.sim.instrument, measurementLinks(f.state));
        bool opened = false, coversHub = false, hubModalAfter = false;
        QTimer::singleShot(0, &hub, [&] {
            QTimer::singleShot(0, &hub, [&] {
                auto* cmp = dynamic_cast<TZuCmp*>(QApplication::activeModalWidget());
                opened = cmp != nullptr;
                coversHub = cmp && cmp->parentWidget() == &hub && hub.isVisible();
                if (cmp) cmp->action(u("離  開"))->trigger();
            });
            hub.action(u("能量比對"))->trigger();
            QTimer::singleShot(0, &hub, [&] {
                hubModalAfter = QApplication::activeModalWidget() == &hub;
                hub.close();
            });
        });
        execModal(hub);
        QVERIFY2(opened, "能量比對 did not open the comparison");
        QVERIFY(coversHub);
        QVERIFY(hubModalAfter);
    }

    void mainWindowOpensTheMultiComparison()
    {
        Practice f;
        const ModuleTable modules = standardModules();
        QVERIFY(modules.count(Module::MultiComparison));
        std::unique_ptr<QDialog> screen(modules.at(Module::MultiComparison)(f.state, nullptr));
        QVERIFY(dynamic_cast<TZumut*>(screen.get()));
        QCOMPARE(screen->windowTitle(), u("多重能量比對"));
    }
};

QTEST_MAIN(TestComparisonScreens)
#include "test_comparison_screens.moc"
