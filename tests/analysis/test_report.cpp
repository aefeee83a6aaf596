#include "analysis/charts.h"
#include "analysis/report.h"
#include "analysis/reportfilename.h"
#include "analysisfixture.h"
#include "base/formats.h"
#include "recordingdevice.h"

#include <QRegularExpression>
#include <QtTest>

using namespace lumo;
using lumo::test::Fixture;
using lumo::test::RecordingDevice;

namespace {

// Every section, in colour or monochrome, at normal size.
QString everything(bool colour)
{
    QString s(20, QLatin1Char('1'));
    s[16] = colour ? QLatin1Char('1') : QLatin1Char('0');
    s[17] = QLatin1Char('0');
    return s;
}

struct Printed
{
    RecordingDevice device;
    ReportOutcome outcome;
};

std::unique_ptr<Printed> print(Fixture& f, const QString& opts, int pageWidth = 2480)
{
    QString error;
    auto ctx = reportContext(f.state, opts, QStringLiteral("record line"), &error);
    auto out = std::make_unique<Printed>();
    if (!ctx) return out;
    RecordingDevice& d = out->device;
    d.pageWidth = pageWidth;
    out->outcome = PrintAnalysisReport(ctx->input, d, [&d] { d.turnPage(); });
    return out;
}

// Texts the autonomic chart keeps in colour on monochrome paper.
bool autonomicException(const QString& t)
{
    static const QRegularExpression number(QStringLiteral("^-?\\d+\\.\\d$"));
    static const QStringList words = {QString::fromUtf8("三  陰"), QString::fromUtf8("三  陽"),
                                      QString::fromUtf8("左  手"), QString::fromUtf8("右  手"),
                                      QString::fromUtf8("左  腳"), QString::fromUtf8("右  腳")};
    return number.match(t).hasMatch() || words.contains(t) || t.startsWith(QStringLiteral("Max ["));
}

} // namespace

// A report page on a recording device, turning its pages as a printer would.
struct Sheet
{
    RecordingDevice d;
    QPainter painter{&d};
    ReportPage p{painter, d, [this] { d.turnPage(); }, true, 10};
};

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void textColours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour"); // in colour printing; monochrome prints it black
        QTest::newRow("version") << "Quenta LUMO Version: 5" << QColor(255, 0, 0);
        QTest::newRow("title") << QString::fromUtf8("L.U.M.O.經絡能量分析儀分析報表") << QColor(Qt::black);
        QTest::newRow("sex") << QString::fromUtf8("男 性") << QColor(0, 128, 0);
        QTest::newRow("mode") << QString::fromUtf8("標準電位測值 (一般測量法)") << QColor(0, 128, 0);
        QTest::newRow("heading") << QString::fromUtf8("肺　經") << QColor(0, 0, 255);
        QTest::newRow("row label") << QString::fromUtf8("左　側") << QColor(0, 128, 0);
        QTest::newRow("chart title") << QString::fromUtf8("經絡虛實分析圖-長條") << QColor(0, 0, 255);
        QTest::newRow("bar legend") << QString::fromUtf8("正常") << QColor(Qt::black);
        QTest::newRow("body energy label") << QString::fromUtf8("身體能量:") << QColor(Qt::black);
        QTest::newRow("range") << QString::fromUtf8("(28 - 59)") << QColor(0, 0, 255);
        QTest::newRow("pair status") << QString::fromUtf8("正  常") << QColor(0, 128, 0);
        QTest::newRow("record title") << QString::fromUtf8("症狀描述與處置") << QColor(0, 0, 255);
        QTest::newRow("program title") << QString::fromUtf8("專家療程建議") << QColor(0, 0, 255);
        // No program matches: the section says so, as the screen does.
        QTest::newRow("no program matches")
            << QString::fromUtf8("沒有符合條件的專家療程。") << QColor(Qt::black);
    }
    // The PDF file a report proposes: subject number, name and date, safe on
    // any file system a practice exchanges files with.
    void proposedPdfNames_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("number, name, date")
            << "A001" << QString::fromUtf8("王小明") << "" << QString::fromUtf8("A001_王小明_20260501.pdf");
        QTest::newRow("blanks") << " A 001 "
                                << "Chen  Tester"
                                << ""
                                << "A_001_Chen_Tester_20260501.pdf";
        QTest::newRow("path characters") << "../x"
                                         << "a/b:c*?"
                                         << ""
                                         << "x_a_b_c_20260501.pdf";
        QTest::newRow("line break in the name")
            << "A1" << QString::fromUtf8("王\n小明") << "" << QString::fromUtf8("A1_王_小明_20260501.pdf");
        QTest::newRow("no subject") << ""
                                    << "  "
                                    << ""
                                    << "LUMO_20260501.pdf";
        QTest::newRow("a comparison")
            << "A001"
            << "Lin" << QString::fromUtf8("比對") << QString::fromUtf8("A001_Lin_20260501_比對.pdf");
        // Under the waiting-room display ("masked" in the tag) the dialog shows the masked number and name.
        QTest::newRow("masked") << "A00123" << QString::fromUtf8("王小明") << ""
                                << QString::fromUtf8("A○○○○3_王○明_20260501.pdf");
    }
    void proposedPdfNames()
    {
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        const bool masked = QByteArray(QTest::currentDataTag()) == "masked";
        QCOMPARE(proposedPdfName(number, name, QDate(2026, 5, 1), kind, masked), expected);
    }

    void textColours()
    {
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        Fixture f;
        f.state.config.UserName2 = QStringLiteral("   ");
        f.state.CurrentSubject.SEX = 1;
        for (bool colourPrint : {true, false}) {
            auto p = print(f, everything(colourPrint));
            const test::RecordedText* t = p->device.find(text);
            QVERIFY2(t, qPrintable(text));
            QCOMPARE(t->colour, colourPrint ? colour : QColor(Qt::black));
        }
    }

    void monochromeKeepsOnlyTheChartExceptions()
    {
        Fixture f;
        f.setCompensated(16, 80); // a poor point: red dashes on the Ryodoraku chart
        f.setCompensated(3, 48);
        auto p = print(f, everything(false));
        QStringList coloured;
        for (const test::RecordedText& t : p->device.engine.texts)
            if (t.colour != QColor(Qt::black) && !autonomicException(t.text)) coloured << t.text;
        QVERIFY2(coloured.isEmpty(), qPrintable(coloured.join(QLatin1Char('|'))));
        // The autonomic texts and the Ryodoraku dashes keep their colours.
        QVERIFY(p->device.find(QString::fromUtf8("三  陰"))->colour == QColor(0, 128, 0));
        QVERIFY(p->device.engine.shapeColours.contains(QColor(255, 0, 0).rgb()));
        QVERIFY(p->device.engine.shapeColours.contains(QColor(0, 128, 0).rgb()));

        // Without those two charts nothing but black and the white under the hatches.
        QString noExceptions = everything(false);
        noExceptions[18] = noExceptions[19] = QLatin1Char('0');
        auto plain = print(f, noExceptions);
        for (QRgb c : plain->device.engine.shapeColours)
            QVERIFY2(c == QColor(Qt::black).rgb() || c == QColor(Qt::white).rgb(),
                     qPrintable(QColor(c).name()));
        for (const test::RecordedText& t : plain->device.engine.texts)
            QCOMPARE(t.colour, QColor(Qt::black));
    }

    void pageNumbersOnEveryPage()
    {
        Fixture f;
        auto p = print(f, everything(true));
        QVERIFY(p->outcome.pages >= 4);
        for (int page = 1; page <= p->outcome.pages; ++page) {
            const QString number = QString::fromUtf8("第") + fmt("%4d", page) + QString::fromUtf8(" 頁");
            const QStringList texts = p->device.texts(page);
            QVERIFY2(texts.count(number) == 1, qPrintable(number));
            QCOMPARE(texts.first(), number); // printed as the page begins
        }
        QVERIFY(p->device.texts(p->outcome.pages + 1).isEmpty());
    }

    void birthDateAndAge_data()
    {
        QTest::addColumn<double>("birth"); // day number
        QTest::addColumn<bool>("datePrinted");
        QTest::addColumn<bool>("agePrinted");
        QTest::newRow("3999") << 3999.0 << false << false;
        QTest::newRow("4000: an age, no date") << 4000.0 << false << true;
        QTest::newRow("4001") << 4001.0 << true << true;
    }
    void birthDateAndAge()
    {
        QFETCH(double, birth);
        QFETCH(bool, datePrinted);
        QFETCH(bool, agePrinted);
        Fixture f;
        f.state.CurrentSubject.DBIRTH = birth;
        auto p = print(f, QStringLiteral("0111"));
        const QString date = QString::fromUtf8("生日:  "), age = QString::fromUtf8("年齡:  ");
        QString dateLine, ageLine;
        for (const QString& t : p->device.texts()) {
            if (t.startsWith(date)) dateLine = t;
            if (t.startsWith(age)) ageLine = t;
        }
        QCOMPARE(dateLine, datePrinted ? date + shortDateOfDay(birth) : date);
        QCOMPARE(ageLine, agePrinted ? age + fmt("%3d", ageInYears(birth, QDate::currentDate())) : age);
    }

    void compactWarningAtTheLowestBodyGrade()
    {
        Fixture f;
        f.state.CurrentSubject.SEX = 1;
        f.setAll(15); // body energy 15: grade -3
        QString opts(20, QLatin1Char('0'));
        opts[4] = opts[16] = QLatin1Char('1'); // single meridians, colour, compact
        auto p = print(f, opts);
        const QStringList texts = p->device.texts();
        const int warning =
            int(texts.indexOf(QString::fromUtf8("【您的體能過度低落，請特別留意身體機能及經絡的異常狀態】")));
        const int verdict = int(texts.indexOf(QStringLiteral("13:DtML1")));
        QVERIFY(warning >= 0 && verdict > warning);
        QCOMPARE(p->device.engine.texts[warning].colour, QColor(Qt::black));
        QCOMPARE(p->device.engine.texts[verdict].colour, QColor(255, 0, 0));
        QVERIFY(!texts.contains(QStringLiteral("13:DtMA1"))); // the main text is for the detailed form
    }

    void widePaperUsesEightInches()
    {
        Fixture f;
        f.state.config.UserName2 = QStringLiteral("   ");
        auto p = print(f, QStringLiteral("0111"), 3508); // A4 landscape, 11.7 inches wide
        const int printWidth = 8 * RecordingDevice::Dpi;
        const test::RecordedText* number =
            p->device.find(QString::fromUtf8("第") + fmt("%4d", 1) + QString::fromUtf8(" 頁"));
        QVERIFY(number);
        QVERIFY(qAbs(number->end - (printWidth - 20)) <= 1);
        const test::RecordedText* title = p->device.find(QString::fromUtf8("L.U.M.O.經絡能量分析儀分析報表"));
        QVERIFY(title);
        QVERIFY(qAbs((title->at.x() + title->end) / 2 - printWidth / 2) <= 2);
    }

    void sectionStartNeedsFiveLines_data()
    {
        QTest::addColumn<int>("below"); // device units of the cursor below the last place a section may start
        QTest::addColumn<bool>("newPage");
        QTest::newRow("at the limit") << 0 << false;
        QTest::newRow("one unit past") << 1 << true;
        QTest::newRow("well above") << -500 << false;
    }
    void sectionStartNeedsFiveLines()
    {
        QFETCH(int, below);
        QFETCH(bool, newPage);
        Sheet sheet;
        RecordingDevice& d = sheet.d;
        ReportPage& p = sheet.p;
        const int limit = p.pageHeight() - p.MmInDots(5) - 5 * p.LineHeight();
        p.LineCursor = limit + below;
        p.sectionStart();
        QCOMPARE(p.pageNumber(), newPage ? 2 : 1);
        QCOMPARE(p.LineCursor, newPage ? p.MmInDots(10) : limit + below + p.LineHeight());
        // The new page begins, with its number, when its first line is printed.
        QCOMPARE(d.engine.page, 1);
        p.PrintTextLine(QStringLiteral("first"));
        QCOMPARE(d.texts(2).size(), newPage ? 2 : 0);

        // A plain line breaks only past the bottom margin.
        p.LineCursor = p.pageHeight() - p.MmInDots(15) - p.LineHeight();
        const int pages = p.pageNumber();
        p.NextLine();
        QCOMPARE(p.pageNumber(), pages);
        p.NextLine();
        QCOMPARE(p.pageNumber(), pages + 1);
        // That page begins when something is drawn on it: a report ending here has none empty.
        QCOMPARE(p.pagesBegun(), pages);
        QCOMPARE(d.engine.page, pages);
    }

    // A table that fits on a page is never split; a longer one breaks as lines do.
    void smallTablesStayWhole_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("below"); // device units of its last line below the page's last line
        QTest::addColumn<bool>("newPage");
        QTest::newRow("three lines, the last one on the page") << 3 << 0 << false;
        QTest::newRow("three lines, the last one past it") << 3 << 1 << true;
        QTest::newRow("well above the page's end") << 3 << -500 << false;
        QTest::newRow("longer than a page") << 200 << 1 << false;
    }
    void smallTablesStayWhole()
    {
        QFETCH(int, lines);
        QFETCH(int, below);
        QFETCH(bool, newPage);
        Sheet sheet;
        RecordingDevice& d = sheet.d;
        ReportPage& p = sheet.p;
        const int start = p.pageHeight() - p.MmInDots(15) - (lines - 1) * p.LineHeight() + below;
        p.LineCursor = start;
        QCOMPARE(p.keepLinesTogether(lines), newPage);
        QCOMPARE(p.pageNumber(), newPage ? 2 : 1);
        QCOMPARE(p.LineCursor, newPage ? p.MmInDots(10) : start);
    }

    void abandonedReportStopsMakingPages()
    {
        Sheet sheet;
        RecordingDevice& d = sheet.d;
        ReportPage& p = sheet.p;
        bool abandoned = false;
        p.abandoned = [&] { return abandoned; };
        abandoned = true;
        p.LineCursor = p.pageHeight();
        p.sectionStart();
        p.PrintTextLine(QStringLiteral("after"));
        QCOMPARE(d.engine.page, 1);
        QVERIFY(d.texts().isEmpty());
    }

    void chartNeedsItsSpace_data()
    {
        QTest::addColumn<int>("below");
        QTest::addColumn<bool>("newPage");
        QTest::newRow("fits") << 0 << false;
        QTest::newRow("one unit short") << 1 << true;
    }
    void chartNeedsItsSpace()
    {
        QFETCH(int, below);
        QFETCH(bool, newPage);
        Fixture f;
        Sheet sheet;
        RecordingDevice& d = sheet.d;
        ReportPage& p = sheet.p;
        p.LineCursor = p.pageHeight() - p.MmInDots(5) - p.MmInDots(86) - 5 * p.LineHeight() + below;
        const EnergyAnalysis a = *ComputeEnergyAnalysis(f.state.energy, f.state.compensation, true);
        printChart(p, 1, a);
        QCOMPARE(p.pageNumber(), newPage ? 2 : 1);
        const test::RecordedText* title = d.find(chartTitle(1));
        QVERIFY(title);
        QCOMPARE(title->page, p.pageNumber());
    }
};

QTEST_MAIN(TestReport)
#include "test_report.moc"
