// The printed comparison and trend pages, captured on a recording device:
// what is printed where and in which colour, and the PDF file's whole-or-nothing.
#include "analysis/recordingdevice.h"
#include "base/formats.h"
#include "comparison/multirecord.h"
#include "comparison/trendprint.h"
#include "comparison/tworecord.h"
#include "shell/configuration.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}
const QColor Red(255, 0, 0), Green(0, 128, 0), Blue(0, 0, 255);
const QDateTime PrintedAt(QDate(2026, 5, 4), QTime(15, 20, 30));
const QDateTime Taken(QDate(2025, 11, 2), QTime(8, 5, 9));

int mm(double v)
{
    return int(rnd(300 * v / 25.4));
}

Configuration practice()
{
    Configuration c;
    c.UserData1 = u("仁心診所");
    c.UserData2 = u("台北市信義路");
    return c;
}

EnergySet baseEnergy()
{
    EnergySet e;
    for (int p = 1; p <= 24; ++p)
        e.setReading(p, 50);
    e.VoltageMode = true;
    e.TakenAt = dayNumber(Taken);
    return e;
}

SubjectRow subject(const QString& number, const QString& name)
{
    SubjectRow s;
    s.CUSTNO = number;
    s.NAME = name;
    return s;
}

ComparisonRecord storedForty()
{
    MeasurementRow m;
    m.ZU.fill(40);
    m.ZUDATE = dayNumber(Taken.addDays(30));
    return comparisonRecordOf(subject(QStringLiteral("C9"), u("李四")), m, defaultCompensationTable());
}

template <typename Draw> void record(RecordingDevice& device, Draw draw, int reportSize = 10)
{
    QPainter painter(&device);
    ReportPage page(
        painter, device, [&device] { device.turnPage(); }, true, reportSize);
    QVERIFY(draw(page));
}

const RecordedText* at(const RecordingDevice& d, const QString& text)
{
    const RecordedText* t = d.find(text);
    if (!t)
        qWarning("not printed: %s\nprinted: %s", qPrintable(text),
                 qPrintable(d.texts().join(QLatin1Char('|'))));
    return t;
}

} // namespace

class TestComparisonPrint : public QObject
{
    Q_OBJECT
private slots:
    void twoRecordPageBeforeALoad()
    {
        const Configuration config = practice();
        TwoRecordComparison cmp(subject(QStringLiteral("B7"), u("王小明")), baseEnergy());
        RecordingDevice d;
        record(d, [&](ReportPage& p) { return printTwoRecordPage(p, cmp.page(config, PrintedAt)); });
        QVERIFY(at(d, u("L.U.M.O. 能量比對分析報表")));
        QCOMPARE(at(d, u("仁心診所"))->colour, Blue);
        QVERIFY(at(d, u("台北市信義路")));
        QCOMPARE(at(d, u("列印時間: ") + shortDate(PrintedAt.date()) + QStringLiteral(", ") +
                           longTime(PrintedAt.time()))
                     ->at.x(),
                 mm(10));
        QCOMPARE(at(d, u("1. 原始資料"))->colour, Blue);
        QCOMPARE(at(d, u("編號:  B7"))->at.x(), mm(10));
        QCOMPARE(at(d, u("姓名:  王小明"))->at.x(), mm(60));
        QCOMPARE(at(d, u("體能:  50.00"))->at.x(), mm(115));
        const RecordedText* potential = at(d, u("測量電位:  "));
        QCOMPARE(potential->at.x(), mm(160));
        const RecordedText* high = at(d, u("高電位"));
        QCOMPARE(high->colour, Red);
        QVERIFY(qAbs(high->at.x() - potential->end) < 1);
        QCOMPARE(at(d, u("測量日期:  ") + shortDateOfDay(dayNumber(Taken)))->at.x(), mm(10));
        QCOMPARE(at(d, u("測量時間:  ") + longTimeOfDay(dayNumber(Taken)))->at.x(), mm(60));
        QCOMPARE(at(d, u("能量比對圖"))->colour, Blue);
        // No section 2, one legend label, no band mark.
        QVERIFY(!d.find(u("2. 比對資料")));
        QVERIFY(at(d, u(" 1:")));
        QVERIFY(!d.find(u(" 2:")));
        QVERIFY(!d.find(QStringLiteral("XX")));
        QVERIFY(!d.find(u("變化在量測誤差內")));
        QCOMPARE(d.engine.page, 1);
    }

    // After a load: section 2 below section 1, and the red mark before the
    // legend label of the record whose band is drawn.
    void twoRecordPageAfterALoad_data()
    {
        QTest::addColumn<int>("band");
        QTest::addColumn<int>("markX"); // nearest(CW / 7 × 3 or 6) − 5 mm; CW = 1772 dots
        QTest::newRow("base band") << int(BandChoice::Base) << 759 - 59;
        QTest::newRow("comparison band") << int(BandChoice::Comparison) << 1519 - 59;
        QTest::newRow("hidden") << int(BandChoice::Hidden) << -1;
    }
    void twoRecordPageAfterALoad()
    {
        QFETCH(int, band);
        QFETCH(int, markX);
        const Configuration config = practice();
        TwoRecordComparison cmp(subject(QStringLiteral("B7"), u("王小明")), baseEnergy());
        cmp.load(storedForty());
        QVERIFY(cmp.choose(BandChoice(band)));
        RecordingDevice d;
        record(d, [&](ReportPage& p) { return printTwoRecordPage(p, cmp.page(config, PrintedAt)); });
        const RecordedText* first = at(d, u("1. 原始資料"));
        const RecordedText* second = at(d, u("2. 比對資料"));
        QVERIFY(second && second->at.y() > first->at.y());
        QCOMPARE(second->colour, Blue);
        QVERIFY(at(d, u("編號:  C9")));
        QVERIFY(at(d, u("體能:  40.00"))); // the plain mean of the stored values
        QCOMPARE(at(d, u("標準電位"))->colour, Green);
        QCOMPARE(at(d, u(" 1:"))->at.x(), 759);
        QCOMPARE(at(d, u(" 2:"))->at.x(), 1519);
        const RecordedText* mark = d.find(QStringLiteral("XX"));
        QCOMPARE(mark != nullptr, markX >= 0);
        if (mark) {
            QCOMPARE(mark->colour, Red);
            QCOMPARE(int(mark->at.x()), markX);
        }
        const bool bandDrawn = d.engine.shapeColours.contains(QColor(128, 128, 0).rgb());
        QCOMPARE(bandDrawn, markX >= 0);
        QCOMPARE(d.find(u("生理界線")) != nullptr, markX >= 0);
        // The key of the span of no real change, clear of the mark before series 2.
        QVERIFY(at(d, u("變化在量測誤差內"))->end < 1519 - 59);
    }

    void multiRecordPage_data()
    {
        QTest::addColumn<int>("selected"); // entry 0-based, or -1
        QTest::newRow("second selected") << 1;
        QTest::newRow("fourth selected") << 3;
        QTest::newRow("none") << -1;
    }
    void multiRecordPage()
    {
        QFETCH(int, selected);
        const Configuration config = practice();
        QVector<PickedRecord> set;
        for (int n = 1; n <= 4; ++n) {
            MeasurementRow m;
            m.ZU.fill(20.0 + 10 * n);
            m.ZUDATE = dayNumber(Taken.addDays(n));
            m.ZUVOTA = n == 3;
            addPicked(set, pickedRecordOf(subject(QStringLiteral("M%1").arg(n), QStringLiteral("N%1").arg(n)),
                                          m, defaultCompensationTable()));
        }
        MultiRecordComparison cmp(set);
        cmp.selectItem(selected < 0 ? 4 : selected); // item 4 is [隱藏生理界線]
        RecordingDevice d;
        record(d, [&](ReportPage& p) { return printMultiRecordPage(p, cmp.page(config, PrintedAt)); });
        QVERIFY(at(d, u("L.U.M.O. 多重能量比對分析報表")));
        QCOMPARE(at(d, u("多重能量比對圖"))->colour, Blue);
        for (int n = 1; n <= 4; ++n) {
            const RecordedText* number = at(d, QString::number(n) + QStringLiteral(": "));
            QCOMPARE(number->colour, Blue);
            QCOMPARE(number->at.x(), mm(5));
            const RecordedText* line = at(d, u("編號:  M%1").arg(n));
            QCOMPARE(line->at.y(), number->at.y());
            QCOMPARE(at(d, u("體能:  ") + fmt("%5.2f", set[n - 1].BodyEnergy))->at.y(), number->at.y());
            const int x = int(rnd(1772.0 / 7 * n));
            const QString marked = QLatin1Char('[') + fmt("%2d", n) + QStringLiteral("]:");
            const RecordedText* label = d.find(n - 1 == selected ? marked : fmt("%2d", n) + QLatin1Char(':'));
            QVERIFY2(label, qPrintable(d.texts().join(QLatin1Char('|'))));
            QCOMPARE(label->colour, n - 1 == selected ? Red : QColor(Qt::black));
            QCOMPARE(int(label->at.x()), x);
        }
        QCOMPARE(at(d, u("高電位"))->colour, Red);
        QVERIFY(!d.find(QStringLiteral("XX")));
        // The third series' marker is blue on paper, never the screen's white.
        QVERIFY(!d.engine.shapeColours.contains(QColor(255, 255, 255).rgb()));
        QCOMPARE(d.engine.shapeColours.contains(QColor(128, 128, 0).rgb()), selected >= 0);
    }

    void trendPage()
    {
        const Configuration config = practice();
        QVector<MeasurementRow> ms;
        for (int i = 0; i < 30; ++i) {
            MeasurementRow m;
            m.MKEY = i + 1;
            m.ZUDATE = dayNumber(Taken.addDays(7 * i));
            for (int p = 0; p < 24; ++p)
                m.ZU[size_t(p)] = 30 + (p * 5 + i) % 17;
            if (i == 4) m.ZU.fill(0); // the analysis refuses an empty measurement
            ms << m;
        }
        TrendPage page{&config, subject(QStringLiteral("T1"), u("張三")),
                       buildTrend(ms, defaultCompensationTable(), true), PrintedAt};
        RecordingDevice d;
        record(
            d, [&](ReportPage& p) { return printTrendPage(p, page); }, TrendReportSize);
        QVERIFY(at(d, u("L.U.M.O. 歷次能量趨勢報表")));
        QVERIFY(at(d, u("編號:  T1")));
        QVERIFY(at(d, u("姓名:  張三")));
        QVERIFY(at(d, u("仁心診所")));
        QCOMPARE(at(d, u("無法分析"))->colour, Red);
        QVERIFY(at(d, u("身體能量 (uA)"))); // the chart
        for (const TrendRow& r : page.rows)
            QVERIFY(at(d, shortDateOfDay(r.takenAt)));
        // Thirty measurements run over a page; each page has its heading.
        QVERIFY(d.engine.page >= 2);
        for (int p = 1; p <= d.engine.page; ++p)
            QVERIFY2(d.texts(p).contains(u("測量日期")), qPrintable(QString::number(p)));
        QVERIFY(d.texts(2).contains(u("第   2 頁")));
        QVERIFY(d.texts(1).contains(u("第   1 頁")));
        // 偏高經絡 and 偏低經絡 hold the meridians' names, row after row.
        for (auto [column, heading] : {std::pair{159.0, "偏高經絡"}, std::pair{180.0, "偏低經絡"}}) {
            QStringList printed, expected;
            for (const RecordedText& t : d.engine.texts)
                if (qAbs(t.at.x() - mm(column)) < 1 && t.text != u(heading)) printed << t.text;
            for (const TrendRow& r : page.rows)
                if (const QString names = meridianNames(column < 170 ? r.meridiansHigh : r.meridiansLow);
                    !names.isEmpty())
                    expected << names;
            QVERIFY(!expected.isEmpty());
            QCOMPARE(printed.join(u("、")), expected.join(u("、")));
        }
    }

    void namesWrapBetweenMeridians_data()
    {
        QTest::addColumn<QVector<int>>("meridians");
        QTest::addColumn<int>("width"); // in characters
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("none") << QVector<int>{} << 6 << QStringList{};
        QTest::newRow("one line") << QVector<int>{0, 1} << 6 << QStringList{u("肺經、心包經")};
        QTest::newRow("the third on the next line")
            << QVector<int>{0, 1, 2} << 6 << QStringList{u("肺經、心包經"), u("心經")};
        QTest::newRow("narrower than a name")
            << QVector<int>{1, 0} << 2 << QStringList{u("心包經"), u("肺經")};
    }
    void namesWrapBetweenMeridians()
    {
        QFETCH(QVector<int>, meridians);
        QFETCH(int, width);
        QFETCH(QStringList, lines);
        QVector<Meridian> ms;
        for (int m : meridians)
            ms << Meridian(m);
        QCOMPARE(meridianNameLines(ms, width, [](const QString& s) { return int(s.size()); }), lines);
    }

    void pdfFileWholeOrNothing()
    {
        QTemporaryDir dir;
        const Configuration config = practice();
        TwoRecordComparison cmp(subject(QStringLiteral("B7"), u("王小明")), baseEnergy());
        auto draw = [&](ReportPage& p) { return printTwoRecordPage(p, cmp.page(config, PrintedAt)); };
        const QString path = dir.filePath(QStringLiteral("c.pdf"));
        QVERIFY(printToPdfFile(path, twoRecordJobTitle(), draw).ok);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
        f.close();

        const QString nowhere = dir.filePath(QStringLiteral("missing/c.pdf"));
        const Status st = printToPdfFile(nowhere, twoRecordJobTitle(), draw);
        QVERIFY(!st.ok);
        QVERIFY(st.error.contains(nowhere));
        QVERIFY(!QFile::exists(nowhere));

        // An abandoned job leaves the earlier file as it was and reports no failure.
        const qint64 size = QFileInfo(path).size();
        bool abandoned = false;
        const Status a = printToPdfFile(
            path, twoRecordJobTitle(),
            [&](ReportPage& p) {
                p.abandoned = [] { return true; };
                return printTwoRecordPage(p, cmp.page(config, PrintedAt));
            },
            &abandoned);
        QVERIFY(a.ok);
        QVERIFY(abandoned);
        QCOMPARE(QFileInfo(path).size(), size);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("c.pdf")});
    }
};

QTEST_MAIN(TestComparisonPrint)
#include "test_comparison_print.moc"
