#include "analysis/charts.h"
#include "analysis/report.h"
#include "analysis/reportinput.h"
#include "analysis/ui/printpreview.h"
#include "analysis/ui/printsetup.h"
#include "analysis/ui/tzuany.h"
#include "analysisfixture.h"
#include "records/measurements.h"
#include "records/programs.h"
#include "support/dialogs.h"
#include "support/keys.h"

#include <QLabel>
#include <QListWidget>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QToolButton>
#include <QtTest>

using namespace lumo;
using lumo::test::Fixture;
using lumo::test::pdfText;

namespace {

// The texts a page shows in labels, wherever they sit on it.
QStringList visibleLabels(QWidget* page)
{
    QStringList texts;
    for (QLabel* l : page->findChildren<QLabel*>())
        if (l->isVisibleTo(page)) texts << l->text();
    return texts;
}

} // namespace

class TestAnalysisScreen : public QObject
{
    Q_OBJECT
private slots:
    void allMarksZero()
    {
        Fixture f;
        TZuany s(f.state);
        QVERIFY(s.valid());
        QCOMPARE(s.analysisList()->count(), 5);
        QCOMPARE(s.analysisList()->item(0)->text(), QString::fromUtf8("   身體能量狀況"));
        QCOMPARE(s.dietList()->count(), 0);
        QCOMPARE(s.prescriptionList()->count(), 0);
        QVERIFY(s.textBox("DietText")->toPlainText().isEmpty());
        // the first index item is shown: DtMA1, an empty line, DtMA2 (normal)
        QCOMPARE(s.textBox("Detail")->toPlainText(), QStringLiteral("13:DtMA1\n\n13:DtMA2"));
    }

    void oppositeSigns()
    {
        Fixture f;
        f.setCompensated(1, 80); // left Lung high
        f.setCompensated(7, 5);  // right Lung low
        TZuany s(f.state);
        QCOMPARE(f.items(s.analysisList()).last(), QString::fromUtf8("【肺經異常辨證】"));
        QCOMPARE(f.items(s.dietList()), QStringList{QString::fromUtf8("【肺經異常食療】")});
        QCOMPARE(s.prescriptionList()->count(), 0);
        s.analysisClicked(5);
        QCOMPARE(s.textBox("Detail")->toPlainText(),
                 QString::fromUtf8("【肺經異常辨證】\n\n1:DtMA2\n\n1:DtMA1\n"));
        QVERIFY(s.textBox("Ryodoraku")->toPlainText().isEmpty());
    }

    void bothHighAndSynchronisation()
    {
        Fixture f;
        f.setCompensated(1, 80);
        f.setCompensated(7, 75); // Lung high on both sides
        f.setCompensated(14, 2); // Liver: left low, right normal
        f.setCompensated(20, 40);
        f.setCompensated(16, 2); // Bladder low on both sides
        f.setCompensated(22, 3);
        TZuany s(f.state);
        QCOMPARE(f.items(s.analysisList()).mid(5), (QStringList{QString::fromUtf8("【肺經異常辨證】"),
                                                                QString::fromUtf8("【膀胱經異常辨證】")}));
        QCOMPARE(f.items(s.prescriptionList()),
                 (QStringList{QString::fromUtf8("【肺經異常】"), QString::fromUtf8("【膀胱經異常】")}));
        s.analysisClicked(5);
        QVERIFY(s.textBox("Detail")->toPlainText().endsWith(QStringLiteral("1:DtMH1")));
        QCOMPARE(s.textBox("Ryodoraku")->toPlainText(), QStringLiteral("1:DtMH5"));
        // Clicking the Bladder prescription selects the Bladder in the other lists.
        s.prescriptionClicked(1);
        QCOMPARE(s.analysisList()->currentRow(), 6);
        QCOMPARE(s.dietList()->currentRow(), 1);
        QCOMPARE(s.textBox("DietText")->toPlainText(), QStringLiteral("10:DtMA3\n\n10:DtML4"));
        QCOMPARE(s.textBox("PrescriptionText")->toPlainText(), QStringLiteral("10:DtML3\n\n10:DtML2"));
        // An index item moves neither list.
        s.analysisClicked(3);
        QCOMPARE(s.dietList()->currentRow(), 1);
        QCOMPARE(s.prescriptionList()->currentRow(), 1);
    }

    void selectAllAndPasteButtons()
    {
        Fixture f;
        f.setCompensated(16, 2);
        f.setCompensated(22, 3); // Bladder low: a prescription text to copy
        TZuany s(f.state);
        QVERIFY(!s.pasteButton(4)->isEnabled());
        s.selectAll(4);
        QVERIFY(s.pasteButton(4)->isEnabled());
        s.paste(4);
        QVERIFY(!s.pasteButton(4)->isEnabled());
        // pasted into an empty record: the selection after the (first, empty) line
        QCOMPARE(s.textBox("TreatmentRecord")->toPlainText(), QStringLiteral("10:DtML3\n\n10:DtML2"));
        // page 3 without a focused box selects both boxes; the record gets the main box first
        s.selectAll(3);
        QVERIFY(s.textBox("Detail")->textCursor().hasSelection());
        QVERIFY(s.textBox("Ryodoraku")->textCursor().hasSelection() ||
                s.textBox("Ryodoraku")->toPlainText().isEmpty());
    }

    void bodyEnergyWarning()
    {
        Fixture f;
        f.setAll(15); // male grade -3
        TZuany s(f.state);
        QCOMPARE(s.textBox("Detail")->toPlainText(),
                 QString::fromUtf8(
                     "13:DtMA1\n\n13:DtML1\n\n【您的體能過度低落，請特別留意身體機能及經絡的異常狀態】"));
    }

    void closingWritesOptionsAndChangedRecordOnly()
    {
        Fixture f;
        MeasurementRow row;
        row.CUSTNO = QStringLiteral("A");
        row.MEMO1 = QStringLiteral("old");
        QVERIFY(MeasurementStore(*f.state.MainDatabase).append(row).ok);
        f.state.CurrentMeasurementKey = row.MKEY;
        f.state.CurrentMeasurementVersion = row.ROWVER;
        QCOMPARE(f.state.config.PrintOptions.size(), 19);
        {
            TZuany s(f.state);
            s.pages()->setCurrentIndex(4);
            s.reject();
        }
        QCOMPARE(f.state.config.PrintOptions, QStringLiteral("01110000000000000000"));
        QCOMPARE(f.state.AnalysisPage, 4);
        QCOMPARE(MeasurementStore(*f.state.MainDatabase).get(row.MKEY)->MEMO1, QStringLiteral("old"));
        {
            TZuany s(f.state);
            s.selectAllAndPaste(3);
            s.reject();
        }
        const QString memo = MeasurementStore(*f.state.MainDatabase).get(row.MKEY)->MEMO1;
        QVERIFY(memo.contains(QStringLiteral("13:DtMA1")));
        QVERIFY(f.state.energy.Memo.join(QLatin1Char('\n')).contains(QStringLiteral("13:DtMA1")));
    }

    // Another workstation changed the measurement since it was loaded: the
    // treatment record is not stored over its change, the message says so,
    // and the screen stays with what was typed; a second close leaves it.
    void recordOfAMeasurementChangedElsewhere()
    {
        Fixture f;
        ScriptedMessages& messages = f.messages;
        MeasurementRow row;
        row.CUSTNO = QStringLiteral("A");
        row.MEMO1 = QStringLiteral("old");
        QVERIFY(MeasurementStore(*f.state.MainDatabase).append(row).ok);
        f.state.CurrentMeasurementKey = row.MKEY;
        f.state.CurrentMeasurementVersion = row.ROWVER;
        MeasurementRow elsewhere = row;
        elsewhere.MEMO1 = QStringLiteral("theirs");
        QVERIFY(MeasurementStore(*f.state.MainDatabase).update(elsewhere).ok);
        TZuany s(f.state);
        s.show();
        s.selectAllAndPaste(3);
        s.reject();
        QVERIFY(s.isVisible());
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(messages.shown()[0].text, rowConflictMessage());
        QVERIFY(messages.errors().isEmpty());
        QVERIFY(f.state.energy.Memo.join(QLatin1Char('\n')).contains(QStringLiteral("13:DtMA1")));
        s.reject();
        QVERIFY(!s.isVisible());
        QCOMPARE(MeasurementStore(*f.state.MainDatabase).get(row.MKEY)->MEMO1, QStringLiteral("theirs"));
    }

    // The chart page names the chart it draws: at opening, after a chart
    // button, and after a repaint of a chart changed elsewhere.
    void chartCaptionFollowsTheChart_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("chosen");
        QTest::newRow("bars, then autonomic") << 1 << 9;
        QTest::newRow("curve, then yin-yang") << 2 << 3;
        QTest::newRow("Ryodoraku, then controlling") << 8 << 6;
        QTest::newRow("qi-blood, then generating") << 4 << 5;
        QTest::newRow("autonomic, then bars") << 9 << 1;
    }
    void chartCaptionFollowsTheChart()
    {
        QFETCH(int, first);
        QFETCH(int, chosen);
        Fixture f;
        f.state.AnalysisChart = first;
        f.state.AnalysisPage = 1;
        TZuany s(f.state);
        s.show();
        QWidget* page = s.pages()->widget(1);
        auto captionIs = [&](int chart) {
            const QStringList texts = visibleLabels(page);
            for (int other : {1, 2, 3, 4, 5, 6, 8, 9})
                if (texts.contains(chartTitle(other)) != (other == chart)) return false;
            return true;
        };
        QVERIFY2(captionIs(first), qPrintable(visibleLabels(page).join(QLatin1Char('|'))));
        page->findChild<QToolButton*>(QStringLiteral("ChartButton%1").arg(chosen))->click();
        QCOMPARE(f.state.AnalysisChart, chosen);
        QVERIFY2(captionIs(chosen), qPrintable(visibleLabels(page).join(QLatin1Char('|'))));
        f.state.AnalysisChart = first;
        s.grab();
        QVERIFY2(captionIs(first), qPrintable(visibleLabels(page).join(QLatin1Char('|'))));
    }

    // Page 6 says so when none of the operator's programs matches; the note
    // is no text of the page, so 全選 and 貼上 cannot copy it into the record.
    void programPageWithoutMatches_data()
    {
        QTest::addColumn<bool>("matching");
        QTest::newRow("no program matches") << false;
        QTest::newRow("a program matches") << true;
    }
    void programPageWithoutMatches()
    {
        QFETCH(bool, matching);
        Fixture f;
        f.state.CurrentSubject.SEX = true;
        ProgramStore store(*f.state.MainDatabase);
        ProgramRow program;
        program.ProNo = QStringLiteral("P1");
        program.ProName = QStringLiteral("For men");
        program.ProData = QStringLiteral("program text");
        program.ProFN = QStringLiteral("1000");
        QVERIFY(store.append(program).ok);
        ConditionRow condition;
        condition.ProNo = program.ProNo;
        // position 24: 1 for men, 2 for women
        condition.ProCond = QString(23, QLatin1Char('0')) + (matching ? QLatin1Char('1') : QLatin1Char('2'));
        QVERIFY(store.appendCondition(condition).ok);

        TZuany s(f.state);
        QWidget* page = s.pages()->widget(6);
        const QString note = QString::fromUtf8("沒有符合條件的專家療程。");
        QCOMPARE(s.userList()->count(), matching ? 1 : 0);
        QCOMPARE(visibleLabels(page).contains(note), !matching);
        QCOMPARE(page->findChild<QLabel*>(QStringLiteral("ProgramPicture"))->isVisibleTo(page), matching);
        int enabled = 0;
        for (QPushButton* b : page->findChildren<QPushButton*>())
            if (QStringList{"1", "2", "3", "4"}.contains(b->text()) && b->isEnabled()) ++enabled;
        QCOMPARE(enabled, matching ? 1 : 0);
        s.selectAllAndPaste(6);
        const QString record = s.textBox("TreatmentRecord")->toPlainText();
        QVERIFY(!record.contains(note));
        QCOMPARE(record.contains(QStringLiteral("program text")), matching);
    }

    void reportSectionsInOrder_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QStringList>("expected"); // texts in the order they must appear
        QTest::newRow("default") << "0111000000000000000"
                                 << QStringList{"LUMO 經絡能量分析儀分析報表", "經絡虛實分析圖-長條",
                                                "身體能量:", "表裡經絡平均能量對應:"};
        QTest::newRow("everything") << "11111111111111111111"
                                    << QStringList{
                                           "測量方式:",          "經絡虛實分析圖-長條", "經絡虛實分析圖-曲線",
                                           "經絡陰陽分析圖",     "經絡氣血分析圖",      "經絡五行相生分析圖",
                                           "經絡五行相剋分析圖", "良導絡分析圖",        "自律神經平衡圖",
                                           "身體能量:",          "經絡能量辨證",        "症狀描述與處置",
                                           "醫方建議",           "養生食療建議",        "專家療程建議"};
    }
    void reportSectionsInOrder()
    {
        QFETCH(QString, options);
        QFETCH(QStringList, expected);
        Fixture f;
        f.setCompensated(16, 2);
        f.setCompensated(22, 3);
        QString error;
        auto ctx = reportContext(f.state, options, QStringLiteral("record line"), &error);
        QVERIFY(ctx);
        const QString pdf = f.dir.filePath(QStringLiteral("r.pdf"));
        QVERIFY(printReportToPdf(ctx->input, pdf, &error));
        const QString text = pdfText(pdf);
        int at = 0;
        for (const QString& e : expected) {
            const int next = int(text.indexOf(e.normalized(QString::NormalizationForm_KC), at));
            QVERIFY2(next >= 0, qPrintable(QStringLiteral("missing or out of order: ") + e));
            at = next;
        }
        QVERIFY(text.contains(QRegularExpression(QString::fromUtf8("第\\s*1\\s*頁"))));
    }

    void printGoesWhereThePrintSetupSaid()
    {
        Fixture f;
        const QString pdf = f.dir.filePath(QStringLiteral("chosen.pdf"));
        QPrinter chosen;
        chosen.setOutputFormat(QPrinter::PdfFormat);
        chosen.setOutputFileName(pdf);
        chosen.setPageOrientation(QPageLayout::Landscape);
        f.state.printer = printerChoiceOf(chosen);
        QPrinter again;
        applyPrinterChoice(f.state.printer, again);
        QCOMPARE(again.outputFileName(), pdf);
        QCOMPARE(again.pageLayout().orientation(), QPageLayout::Landscape);

        TZuany s(f.state);
        // The pages show first; 列  印 in the preview goes on to the file.
        int previewed = 0;
        test::whenShown<PrintPreview>([&](PrintPreview& p) {
            previewed = p.pageCount();
            p.accept();
        });
        s.findChild<QPushButton*>(QStringLiteral("PrintButton"))->click();
        QVERIFY(previewed >= 1);
        QVERIFY(pdfText(pdf).contains(QStringLiteral("Quenta LUMO Version")));
        QVERIFY(f.messages.errors().isEmpty());
    }

    // The counter under the pages says the page shown, turned by the keys.
    void previewCounterFollowsThePage_data()
    {
        QTest::addColumn<QVector<int>>("keys");
        QTest::addColumn<int>("page");
        QTest::newRow("opened") << QVector<int>{} << 1;
        QTest::newRow("next") << QVector<int>{Qt::Key_PageDown} << 2;
        QTest::newRow("past the last")
            << QVector<int>{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown} << 3;
        QTest::newRow("and back") << QVector<int>{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp} << 2;
    }
    void previewCounterFollowsThePage()
    {
        QFETCH(QVector<int>, keys);
        QFETCH(int, page);
        QTemporaryDir dir;
        PrinterChoice pdf;
        pdf.outputFile = dir.filePath(QStringLiteral("p.pdf"));
        PrintPreview preview(QStringLiteral("t"), pdf, [](QPrinter& printer) {
            QPainter painter(&printer);
            for (int p = 1; p < 3; ++p)
                printer.newPage();
        });
        QVERIFY(test::showActive(preview));
        QCOMPARE(preview.pageCount(), 3);
        for (int key : keys)
            test::pressKey(Qt::Key(key));
        QCOMPARE(preview.pageNumberText(), QString::fromUtf8("第 %1 頁，共 3 頁").arg(page));
    }

    void abandonedPdfKeepsTheOldFile()
    {
        Fixture f;
        QString error;
        auto ctx = reportContext(f.state, QStringLiteral("11111111111111111111"), QString(), &error);
        const QString pdf = f.dir.filePath(QStringLiteral("old.pdf"));
        QFile old(pdf);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the earlier report");
        old.close();
        int asked = 0;
        QVERIFY(!printReportToPdf(ctx->input, pdf, &error, [&] { return ++asked > 20; }));
        QVERIFY(error.isEmpty());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the earlier report"));
        QVERIFY(!QFile::exists(pdf + QStringLiteral(".part")));
    }

    void blankTitleAndAbandonment()
    {
        Fixture f;
        f.state.config.UserName2 = QStringLiteral("   ");
        QString error;
        auto ctx = reportContext(f.state, QStringLiteral("0111"), QString(), &error);
        const QString pdf = f.dir.filePath(QStringLiteral("t.pdf"));
        QVERIFY(printReportToPdf(ctx->input, pdf, &error));
        QVERIFY(pdfText(pdf).contains(
            QString::fromUtf8("L.U.M.O.經絡能量分析儀分析報表").normalized(QString::NormalizationForm_KC)));

        QTemporaryFile tmp;
        QVERIFY(tmp.open());
        QPdfWriter writer(tmp.fileName());
        int asked = 0;
        const ReportOutcome o = PrintAnalysisReport(ctx->input, writer, [&] { return ++asked > 3; });
        QVERIFY(o.abandoned);
        QCOMPARE(o.pages, 1);
    }
};

QTEST_MAIN(TestAnalysisScreen)
#include "test_analysis_screen.moc"
