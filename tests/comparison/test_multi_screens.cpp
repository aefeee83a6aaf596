// The multi-record comparison, its record picker and the trend screen, driven
// through their seams with real clicks: counts, enabling, the limit and
// duplicate notices with their tone, removal with renumbering, re-opening.
#include "analysis/ui/printpreview.h"
#include "comparison/comparisonfixture.h"
#include "comparison/trendchart.h"
#include "comparison/ui/chartbox.h"
#include "comparison/ui/recordblockview.h"
#include "comparison/ui/tzumut.h"
#include "comparison/ui/tzumuti1.h"
#include "comparison/ui/tzutrend.h"
#include "instrument/protocol.h"
#include "measurement/practicefixture.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuread.h"
#include "support/dialogs.h"
#include "support/keys.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
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

const QDateTime T0(QDate(2025, 9, 1), QTime(14, 0, 0));

// Subjects P1..Pn with `each` measurements a week apart.
void storePractice(SharedState& s, int subjects, int each)
{
    for (int n = 1; n <= subjects; ++n) {
        const QString number = QStringLiteral("P%1").arg(n);
        storeSubject(s, number, u("受測者%1").arg(n), n % 2 == 1);
        for (int m = 0; m < each; ++m)
            storeMeasurement(s, number, T0.addDays(7 * m).addSecs(60 * n), varied(25 + 3 * m + n),
                             m % 2 == 1);
    }
}

QString cellText(QTableWidget* t, int row, int column)
{
    return t->item(row, column) ? t->item(row, column)->text() : QString();
}

// Picks measurement `row` of subject `number` with a real double click.
void pick(TZuMuti1& picker, const QString& number, int row)
{
    picker.picker()->search(number);
    clickCell(picker.measurements(), row, 1);
    QTest::mouseDClick(picker.measurements()->viewport(), Qt::LeftButton, {},
                       picker.measurements()->visualItemRect(picker.measurements()->item(row, 1)).center());
}

int tones(Practice& f, int tone)
{
    return f.commandCount(protocol::toneCommands(tone).value(0));
}

} // namespace

class TestMultiScreens : public QObject
{
    Q_OBJECT
private slots:
    void pickerOpensOnTheCurrentSubject()
    {
        Practice f;
        storePractice(f.state, 3, 2);
        f.state.CurrentSubject.CUSTNO = QStringLiteral("P2");
        f.state.SubjectSortField = -2; // by name, descending
        TZuMuti1 picker(f.state);
        QVERIFY(showActive(picker));
        QCOMPARE(picker.windowTitle(), u("比對分析資料異動"));
        QCOMPARE(picker.picker()->currentRow().CUSTNO, QStringLiteral("P2"));
        QCOMPARE(picker.picker()->list().rowAt(0).CUSTNO, QStringLiteral("P3"));
        QCOMPARE(picker.measurements()->rowCount(), 2);
        QVERIFY(!picker.action(u("載入資料"))->isEnabled());
        QVERIFY(!picker.action(u("移  除"))->isEnabled());
        QCOMPARE(picker.picker()->findChild<QLabel*>(QStringLiteral("CountLine"))->text(),
                 QStringLiteral("     3  -  [ 2 ]"));
        QCOMPARE(picker.picked()->rowCount(), 6);
        QCOMPARE(picker.picked()->horizontalHeaderItem(3)->text(), u("   測量時間"));
        QVERIFY(picker.frameGeometry().height() <= 768);
    }

    void addingAndTheLimit()
    {
        Practice f;
        storePractice(f.state, 4, 2);
        TZuMuti1 picker(f.state);
        QVERIFY(showActive(picker));
        clickCell(picker.measurements(), 0, 1);
        QVERIFY(picker.action(u("載入資料"))->isEnabled());
        QVERIFY(!picker.action(u("移  除"))->isEnabled());
        int n = 0;
        for (int s = 1; s <= 3; ++s)
            for (int m = 0; m < 2; ++m, ++n) {
                pick(picker, QStringLiteral("P%1").arg(s), m);
                QCOMPARE(f.state.PickedRecords.size(), n + 1);
                QCOMPARE(picker.picked()->currentRow(), n);
            }
        QCOMPARE(cellText(picker.picked(), 0, 0), QStringLiteral("1"));
        QCOMPARE(cellText(picker.picked(), 0, 1), QStringLiteral("P1"));
        QCOMPARE(cellText(picker.picked(), 0, 2), u("受測者1"));
        QCOMPARE(cellText(picker.picked(), 0, 3), dateTimeOfDay(f.state.PickedRecords[0].ZUDATE));
        QVERIFY(f.messages.shown().empty());
        // The seventh: tone 1, the 注意 notice, the set stays at six.
        const int before = tones(f, 1);
        pick(picker, QStringLiteral("P4"), 0);
        QCOMPARE(f.state.PickedRecords.size(), 6);
        QCOMPARE(f.messages.shown().size(), size_t(1));
        QCOMPARE(f.messages.shown().back().kind, int(NoteAttention));
        QCOMPARE(f.messages.shown().back().text,
                 u("您已選取了超過 6 個比對資料,請先刪除不需比對的資料後,再行選取!"));
        QVERIFY(tones(f, 1) > before);
        QCOMPARE(cellText(picker.picked(), 5, 1), QStringLiteral("P3"));
    }

    void duplicateAndTwoOfOneSubject()
    {
        Practice f;
        storePractice(f.state, 1, 2);
        TZuMuti1 picker(f.state);
        QVERIFY(showActive(picker));
        pick(picker, QStringLiteral("P1"), 0);
        pick(picker, QStringLiteral("P1"), 1); // the same subject at another time is accepted
        QCOMPARE(f.state.PickedRecords.size(), 2);
        pick(picker, QStringLiteral("P1"), 0);
        QCOMPARE(f.state.PickedRecords.size(), 2);
        QCOMPARE(f.messages.shown().back().kind, int(NoteAttention));
        QCOMPARE(f.messages.shown().back().text, u("這筆資料已經選取! 請勿重覆載入要比對的資料!!"));
    }

    void subjectWithoutMeasurementsAddsNothing()
    {
        Practice f;
        storeSubject(f.state, QStringLiteral("E1"), u("空白"));
        TZuMuti1 picker(f.state);
        QVERIFY(showActive(picker));
        picker.measurements()->setFocus();
        QVERIFY(!picker.action(u("載入資料"))->isEnabled());
        picker.ToolButtonLoadClick();
        QVERIFY(f.state.PickedRecords.isEmpty());
        QVERIFY(f.messages.shown().empty());
    }

    // Removing the second of four: the third and fourth move up in order; the
    // comparison screen's list reads 1-3 afterwards.
    void removingRenumbers()
    {
        Practice f;
        storePractice(f.state, 4, 1);
        TZumut screen(f.state);
        QVERIFY(showActive(screen));
        bool done = false;
        screen.picker = [&](QWidget* parent) {
            TZuMuti1 picker(f.state, parent);
            QVERIFY(showActive(picker));
            for (int s = 1; s <= 4; ++s)
                pick(picker, QStringLiteral("P%1").arg(s), 0);
            clickCell(picker.picked(), 5, 1); // an empty row: back to the last entry, 移  除 off
            QCOMPARE(picker.picked()->currentRow(), 3);
            QVERIFY(!picker.action(u("移  除"))->isEnabled());
            clickCell(picker.picked(), 1, 1);
            QVERIFY(picker.action(u("移  除"))->isEnabled());
            QVERIFY(!picker.action(u("載入資料"))->isEnabled());
            picker.action(u("移  除"))->trigger();
            QCOMPARE(cellText(picker.picked(), 1, 1), QStringLiteral("P3"));
            QCOMPARE(cellText(picker.picked(), 2, 1), QStringLiteral("P4"));
            QCOMPARE(cellText(picker.picked(), 2, 0), QStringLiteral("3"));
            QCOMPARE(cellText(picker.picked(), 3, 1), QString());
            // The last one removed: the new last is selected.
            clickCell(picker.picked(), 2, 1);
            picker.action(u("移  除"))->trigger();
            QCOMPARE(picker.picked()->currentRow(), 1);
            picker.action(u("離  開"))->trigger();
            done = true;
        };
        screen.action(u("載入資料"))->trigger();
        QVERIFY(done);
        QCOMPARE(f.state.PickedRecords.size(), 2);
        QCOMPARE(f.state.PickedRecords[0].CUSTNO, QStringLiteral("P1"));
        QCOMPARE(f.state.PickedRecords[1].CUSTNO, QStringLiteral("P3"));
        QStringList items;
        for (int i = 0; i < screen.subjectList()->count(); ++i)
            items << screen.subjectList()->item(i)->text();
        // Each visit with the date and time it was measured.
        const auto& set = f.state.PickedRecords;
        QCOMPARE(items,
                 QStringList({u("1.  受測者1  ") + dateTimeOfDay(set[0].ZUDATE),
                              u("2.  受測者3  ") + dateTimeOfDay(set[1].ZUDATE), u("[隱藏生理界線]")}));
    }

    void selectingAnEntry()
    {
        Practice f;
        storePractice(f.state, 3, 1);
        TZumut screen(f.state);
        QCOMPARE(screen.statusText(), u("請點選 [載入資料] 選擇欲比對資料."));
        QCOMPARE(screen.subjectList()->count(), 0);
        screen.picker = [&](QWidget* parent) {
            TZuMuti1 picker(f.state, parent);
            for (int s = 1; s <= 3; ++s)
                pick(picker, QStringLiteral("P%1").arg(s), 0);
        };
        QVERIFY(showActive(screen));
        screen.ToolButtonLoadClick();
        QCOMPARE(screen.statusText(), u("請至 [受測者資料] 中點選以繪出生理界線及查閱相關資料."));
        QVERIFY(screen.header()->texts() == QStringList(6, QString()));
        QListWidget* list = screen.subjectList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        const PickedRecord& second = f.state.PickedRecords[1];
        QCOMPARE(screen.header()->texts(),
                 QStringList({QStringLiteral("P2"), u("受測者2"), fmt("%7.1f", second.BodyEnergy), u("標準"),
                              shortDateOfDay(second.ZUDATE), longTimeOfDay(second.ZUDATE)}));
        QCOMPARE(screen.comparison().chart().bandSeries, 2);
        QCOMPARE(screen.comparison().chart().bandCentre, second.BodyEnergy);
        const QImage shown = screen.chartBox()->grab().toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 renderComparisonChart(screen.comparison().chart(), MultiBox));
        // [隱藏生理界線]: no band, an empty header.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
        QCOMPARE(screen.comparison().chart().bandSeries, 0);
        QCOMPARE(screen.header()->texts(), QStringList(6, QString()));
        QTemporaryDir out;
        f.state.printer.outputFile = out.filePath(QStringLiteral("multi.pdf"));
        test::whenShown<PrintPreview>([](PrintPreview& p) { p.accept(); });
        screen.action(u("列  印"))->trigger();
        QVERIFY(QFileInfo(f.state.printer.outputFile).size() > 0);
    }

    // A later opening in the same run: the earlier entries, nothing selected, an empty header.
    void reopeningKeepsTheEntries()
    {
        Practice f;
        storePractice(f.state, 2, 1);
        {
            TZumut first(f.state);
            first.picker = [&](QWidget* parent) {
                TZuMuti1 picker(f.state, parent);
                pick(picker, QStringLiteral("P1"), 0);
                pick(picker, QStringLiteral("P2"), 0);
            };
            first.ToolButtonLoadClick();
            first.ListBox1Click(0);
        }
        TZumut again(f.state);
        QVERIFY(showActive(again));
        again.subjectList()
            ->setFocus(); // a list given the focus makes an item current, which chooses nothing
        QCOMPARE(again.subjectList()->count(), 3);
        QVERIFY(again.subjectList()->selectedItems().isEmpty());
        QCOMPARE(again.comparison().selectedEntry(), -1);
        QCOMPARE(again.header()->texts(), QStringList(6, QString()));
        QCOMPARE(again.comparison().chart().bandSeries, 0);
        // Keys choose as clicks do.
        QTest::keyClick(again.subjectList(), Qt::Key_Down);
        QCOMPARE(again.comparison().selectedEntry(), again.subjectList()->currentRow());
        QVERIFY(again.comparison().selectedEntry() >= 0);
        TZuMuti1 picker(f.state);
        QCOMPARE(cellText(picker.picked(), 1, 1), QStringLiteral("P2"));
    }

    void browserOffersTheTrend_data()
    {
        QTest::addColumn<int>("measurements");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("none") << 0 << false;
        QTest::newRow("one") << 1 << false;
        QTest::newRow("two") << 2 << true;
    }
    void browserOffersTheTrend()
    {
        QFETCH(int, measurements);
        QFETCH(bool, enabled);
        Practice f;
        storePractice(f.state, 1, measurements);
        TZuread browser(f.state, TZuread::LoadMode::MeasurementScreen);
        QVERIFY(browser.action(u("歷次趨勢")));
        QCOMPARE(browser.action(u("歷次趨勢"))->isEnabled(), enabled);
    }

    // 歷次趨勢 opens the trend over the browser; 離  開 returns to it.
    void trendFromTheBrowser()
    {
        Practice f;
        storePractice(f.state, 1, 3);
        TZuread browser(f.state, TZuread::LoadMode::Comparison);
        QVERIFY(showActive(browser));
        int rows = -1;
        bool covers = false;
        QTimer::singleShot(0, [&] {
            auto* trend = dynamic_cast<TZuTrend*>(QApplication::activeModalWidget());
            QVERIFY2(trend, "the trend screen is not the modal screen");
            rows = trend->table()->rowCount();
            covers = trend->parentWidget() == &browser && browser.isVisible();
            QCOMPARE(trend->windowTitle(), u("歷次能量趨勢"));
            trend->action(u("離  開"))->trigger();
        });
        browser.action(u("歷次趨勢"))->trigger();
        QCOMPARE(rows, 3);
        QVERIFY(covers);
        QCOMPARE(browser.picker()->currentRow().CUSTNO, QStringLiteral("P1"));
    }

    void trendScreenPicksForTheComparison()
    {
        Practice f;
        storePractice(f.state, 1, 4);
        MeasurementRow empty = storeMeasurement(f.state, QStringLiteral("P1"), T0.addDays(3), filled(0));
        TZuTrend screen(f.state, *SubjectStore(*f.state.MainDatabase).findByCustNo(QStringLiteral("P1")));
        QVERIFY(showActive(screen));
        QCOMPARE(screen.rows().size(), 5);
        QCOMPARE(screen.table()->item(1, 3)->text(), u("無法分析"));
        QCOMPARE(screen.rows()[1].MKEY, empty.MKEY);
        QVERIFY(!screen.action(u("載入比對"))->isEnabled());
        // A click on the third measurement's point in the chart selects its row.
        const TrendLayout layout(screen.rows(), true, screen.chartBox()->size(),
                                 QFontMetrics(screen.chartBox()->font()));
        const QPoint point(layout.xOfRow(2), layout.yBody(screen.rows()[2].BodyEnergy));
        QTest::mouseClick(screen.chartBox(), Qt::LeftButton, {}, point);
        QCOMPARE(screen.selected(), 2);
        QCOMPARE(screen.table()->currentRow(), 2);
        screen.action(u("載入比對"))->trigger();
        QCOMPARE(f.state.PickedRecords.size(), 1);
        QCOMPARE(f.state.PickedRecords[0].MKEY, screen.rows()[2].MKEY);
        screen.action(u("載入比對"))->trigger();
        QCOMPARE(f.state.PickedRecords.size(), 1);
        QCOMPARE(f.messages.shown().back().text, u("這筆資料已經選取! 請勿重覆載入要比對的資料!!"));
        // A row of the table selects as well.
        clickCell(screen.table(), 4, 0);
        QCOMPARE(screen.selected(), 4);
        while (f.state.PickedRecords.size() < 6)
            f.state.PickedRecords << f.state.PickedRecords[0];
        screen.action(u("載入比對"))->trigger();
        QCOMPARE(f.state.PickedRecords.size(), 6);
        QCOMPARE(f.messages.shown().back().text,
                 u("您已選取了超過 6 個比對資料,請先刪除不需比對的資料後,再行選取!"));
        QVERIFY(screen.frameGeometry().width() <= 1366 && screen.frameGeometry().height() <= 768);
        QTemporaryDir out;
        f.state.printer.outputFile = out.filePath(QStringLiteral("trend.pdf"));
        test::whenShown<PrintPreview>([](PrintPreview& p) { p.accept(); });
        screen.action(u("列  印"))->trigger();
        QVERIFY(QFileInfo(f.state.printer.outputFile).size() > 0);
    }
};

QTEST_MAIN(TestMultiScreens)
#include "test_multi_screens.moc"
