// A subject's trend: the table against the analysis engine, the CSV form, and
// the chart's time axis.
#include "base/formats.h"
#include "comparison/trendchart.h"

#include <QFont>
#include <QGuiApplication>
#include <QtTest>
#include <cstdlib>

using namespace lumo;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

MeasurementRow measurement(qint64 key, const QDateTime& at, int seed, bool high = false)
{
    MeasurementRow m;
    m.MKEY = key;
    m.ZUDATE = dayNumber(at);
    m.ZUVOTA = high;
    for (int p = 0; p < 24; ++p)
        m.ZU[size_t(p)] = 15 + ((p + 3) * (seed + 5) * 7) % 60 + 0.1 * seed;
    return m;
}

const QDateTime T0(QDate(2025, 1, 6), QTime(10, 15, 30));

QVector<MeasurementRow> course()
{
    QVector<MeasurementRow> ms;
    ms << measurement(11, T0.addDays(40), 3, true) << measurement(12, T0, 1)
       << measurement(13, T0.addDays(3), 2);
    MeasurementRow empty = measurement(14, T0.addDays(20), 0);
    empty.ZU.fill(0);
    ms << empty;
    MeasurementRow noFeet = measurement(15, T0.addDays(25), 4);
    for (int p = 12; p < 24; ++p)
        noFeet.ZU[size_t(p)] = 0; // no lower total: refused as well
    ms << noFeet;
    return ms;
}

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT
private slots:
    void rowsInDateOrder()
    {
        const QVector<TrendRow> rows = buildTrend(course(), defaultCompensationTable(), true);
        QCOMPARE(rows.size(), 5);
        QList<qint64> keys;
        for (const TrendRow& r : rows)
            keys << r.MKEY;
        QCOMPARE(keys, QList<qint64>({12, 13, 14, 15, 11}));
        QCOMPARE(analysedCount(rows), 3);
        QVERIFY(!rows[2].analysed);
        QVERIFY(!rows[3].analysed);
        // Same time: the key decides.
        QVector<MeasurementRow> same{measurement(8, T0, 1), measurement(3, T0, 2)};
        QCOMPARE(buildTrend(same, defaultCompensationTable(), true)[0].MKEY, qint64(3));
    }

    // Every figure is the analysis engine's for the same measurement and sex.
    void tableIsTheAnalysis_data()
    {
        QTest::addColumn<bool>("male");
        QTest::newRow("male") << true;
        QTest::newRow("female") << false;
    }
    void tableIsTheAnalysis()
    {
        QFETCH(bool, male);
        const QVector<MeasurementRow> ms = course();
        const QVector<TrendRow> rows = buildTrend(ms, defaultCompensationTable(), male);
        for (const TrendRow& r : rows) {
            const MeasurementRow& m = *std::find_if(
                ms.begin(), ms.end(), [&](const MeasurementRow& x) { return x.MKEY == r.MKEY; });
            EnergySet e;
            e.Readings = m.ZU;
            const auto a = ComputeEnergyAnalysis(e, defaultCompensationTable(), male);
            QCOMPARE(r.analysed, a.has_value());
            QCOMPARE(r.takenAt, m.ZUDATE);
            QCOMPARE(r.high, m.ZUVOTA);
            if (!a) continue;
            QCOMPARE(r.BodyEnergy, a->BodyEnergy);
            QCOMPARE(r.bandTop, a->BodyEnergy + a->band.UpperOuterLimit);
            QCOMPARE(r.bandBottom, a->BodyEnergy - a->band.LowerOuterLimit);
            QCOMPARE(r.UpperLowerRatio, a->UpperLowerRatio);
            QCOMPARE(r.LeftRightRatio, a->LeftRightRatio);
            QCOMPARE(r.YinYangRatio, a->YinYangRatio);
            QCOMPARE(r.AutonomicRatio, a->AutonomicRatio);
            QCOMPARE(trendGradeText(r, 0), upperLowerText(a->UpperLowerGrade));
            QCOMPARE(trendGradeText(r, 3), autonomicText(a->AutonomicGrade));
            int high = 0, low = 0;
            for (int i = 0; i < 12; ++i) {
                high += MeridianJudgement(*a, Meridian(i)) == Judgement::High;
                low += MeridianJudgement(*a, Meridian(i)) == Judgement::Low;
            }
            QCOMPARE(r.highMeridians, high);
            QCOMPARE(r.lowMeridians, low);
        }
    }

    void csvForm()
    {
        const QVector<TrendRow> rows = buildTrend(course(), defaultCompensationTable(), true);
        const QByteArray csv = trendCsv(rows);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> lines = csv.mid(3).split('\n');
        QCOMPARE(lines.size(), rows.size() + 2); // a last empty piece after the final line end
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines[0],
                 QByteArray("MKEY,Date,Time,Potential,BodyEnergy,UpperLowerRatio,LeftRightRatio,YinYangRatio,"
                            "AutonomicRatio,HighMeridians,LowMeridians\r"));
        for (int i = 0; i < rows.size(); ++i) {
            QVERIFY(lines[i + 1].endsWith('\r'));
            const QList<QByteArray> f = lines[i + 1].chopped(1).split(',');
            QCOMPARE(f.size(), 11);
            const TrendRow& r = rows[i];
            QCOMPARE(f[0].toLongLong(), r.MKEY);
            const QDateTime at = dateTimeFromDayNumber(r.takenAt);
            QCOMPARE(f[1], at.date().toString(QStringLiteral("yyyy-MM-dd")).toLatin1());
            QCOMPARE(f[2], at.time().toString(QStringLiteral("HH:mm:ss")).toLatin1());
            QCOMPARE(f[3], QByteArray(r.high ? "high" : "standard"));
            if (!r.analysed) {
                for (int c = 4; c < 11; ++c)
                    QVERIFY(f[c].isEmpty());
                continue;
            }
            // Read back, each number is the same double.
            QCOMPARE(std::strtod(f[4].constData(), nullptr), r.BodyEnergy);
            for (int k = 0; k < 4; ++k)
                QCOMPARE(std::strtod(f[5 + k].constData(), nullptr), trendRatio(r, k));
            QCOMPARE(f[9].toInt(), r.highMeridians);
            QCOMPARE(f[10].toInt(), r.lowMeridians);
            QVERIFY(!f[4].contains('e') && f[4].size() <= 18);
        }
        QCOMPARE(lines[1].left(29), QByteArray("12,2025-01-06,10:15:30,standa"));
    }

    void normalRangesFollowTheGrades_data()
    {
        QTest::addColumn<int>("ratio");
        QTest::addColumn<bool>("male");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("mental, male") << 0 << true << 0.88 << 1.16;
        QTest::newRow("mental, female") << 0 << false << 0.78 << 1.06;
        QTest::newRow("musculoskeletal") << 1 << true << 0.8 << 1.2;
        QTest::newRow("metabolism") << 2 << false << 0.8 << 1.2;
        QTest::newRow("autonomic") << 3 << true << 1.0 << 1.5;
    }
    void normalRangesFollowTheGrades()
    {
        QFETCH(int, ratio);
        QFETCH(bool, male);
        QFETCH(double, low);
        QFETCH(double, high);
        const NormalRange n = trendNormalRange(ratio, male);
        QCOMPARE(n.low, low);
        QCOMPARE(n.high, high);
        TrendRow r;
        auto gradeAt = [&](double v) {
            r.UpperLowerGrade = upperLowerGrade(v, male);
            r.LeftRightGrade = leftRightGrade(v);
            r.YinYangGrade = yinYangGrade(v);
            r.AutonomicGrade = autonomicGrade(v);
            return trendGrade(r, ratio);
        };
        QCOMPARE(gradeAt(low), 0);
        QCOMPARE(gradeAt((low + high) / 2), 0);
        if (ratio == 3) {
            QCOMPARE(gradeAt(high), 0);
            QCOMPARE(gradeAt(high + 1e-9), 1);
        } else {
            QCOMPARE(gradeAt(high), 1);
            QCOMPARE(gradeAt(low - 1e-9), -1);
        }
    }

    // Visits stand at even steps, whatever time lies between them: two visits
    // minutes apart are as far apart as two a year apart.
    void visitsAtEvenSteps_data()
    {
        QTest::addColumn<qint64>("gapSeconds");
        QTest::newRow("ten minutes") << qint64(600);
        QTest::newRow("a day") << qint64(86400);
        QTest::newRow("a year") << qint64(365) * 86400;
    }
    void visitsAtEvenSteps()
    {
        QFETCH(qint64, gapSeconds);
        QVector<MeasurementRow> ms;
        for (int i = 0; i < 3; ++i)
            ms << measurement(20 + i, T0.addSecs(gapSeconds * i), i + 1);
        const QVector<TrendRow> rows = buildTrend(ms, defaultCompensationTable(), true);
        const QImage img = renderTrendChart(rows, true, QSize(1000, 600));
        const TrendLayout L(rows, true, img.size(), QFontMetrics(trendChartFont()));
        const int x0 = L.xOfRow(0), x1 = L.xOfRow(1), x2 = L.xOfRow(2);
        QVERIFY(x0 > L.body.left() && x2 < L.body.right());
        QVERIFY(qAbs((x2 - x1) - (x1 - x0)) <= 1);
        QVERIFY(x1 - x0 > 100);
        // Each visit has its own marker on the body energy line.
        for (int r = 0; r < 3; ++r)
            QCOMPARE(img.pixelColor(L.xOfRow(r), L.yBody(rows[r].BodyEnergy)), QColor(0, 0, 255));
    }

    // A refused measurement takes no step; a click near a step picks its row.
    void refusedRowsAndClicks()
    {
        const QVector<TrendRow> rows = buildTrend(course(), defaultCompensationTable(), true);
        const TrendLayout L(rows, true, QSize(1000, 600), QFontMetrics(trendChartFont()));
        QCOMPARE(L.slotCount(), 3);
        QCOMPARE(L.xOfRow(2), -1);
        QCOMPARE(L.xOfRow(3), -1);
        const int x1 = L.xOfRow(1), x4 = L.xOfRow(4);
        QCOMPARE(trendRowAt(L, QPoint(x1 + 3, L.body.center().y()), 8), 1);
        QCOMPARE(trendRowAt(L, QPoint(x4 - 2, L.ratios[2].center().y()), 8), 4);
        QCOMPARE(trendRowAt(L, QPoint((x1 + x4) / 2, L.body.center().y()), 8), -1);
        QCOMPARE(trendRowAt(L, QPoint(x1, L.body.top() - 5), 8), -1);
    }

    // Under each visit its time, and its date where the date changes.
    void labelsShowTheVisitsDates()
    {
        const QDateTime day1(QDate(2025, 3, 2), QTime(9, 30)), day2(QDate(2025, 4, 10), QTime(14, 5));
        const QVector<TrendRow> rows = buildTrend(
            {measurement(1, day1, 1), measurement(2, day1.addSecs(600), 2), measurement(3, day2, 3)},
            defaultCompensationTable(), true);
        QImage img(1000, 600, QImage::Format_RGB32);
        QPainter p(&img);
        p.setFont(trendChartFont());
        ChartSurface s(p);
        const QVector<TrendLabel> labels = paintTrendChart(s, rows, true, img.size(), -1);
        const TrendLayout L(rows, true, img.size(), p.fontMetrics());
        QStringList under;
        QList<int> centres;
        for (const TrendLabel& l : labels)
            if (l.rect.top() >= L.dateLabelY) {
                under << l.text;
                centres << l.rect.center().x();
            }
        QCOMPARE(under, QStringList({shortDate(day1.date()), u("09:30"), u("09:40"), shortDate(day2.date()),
                                     u("14:05")}));
        // Each under its visit.
        const int visit[5] = {0, 0, 1, 2, 2};
        for (int i = 0; i < 5; ++i)
            QVERIFY(qAbs(centres[i] - L.xOfRow(visit[i])) <= 1);
    }

    // No label covers another or leaves the box: at the screen's smallest
    // chart, the command line's picture, a maximised window, crowded visits
    // and a printed page's resolution.
    void labelsNeverOverlapOrClip_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("visits");
        QTest::addColumn<int>("dpi");
        QFont f = trendChartFont();
        const int smallest = TrendLayout::minimumHeight(QFontMetrics(f));
        QTest::newRow("smallest") << QSize(640, smallest) << 8 << 96;
        QTest::newRow("command line") << QSize(1000, 600) << 8 << 96;
        QTest::newRow("maximised") << QSize(1900, 760) << 8 << 96;
        QTest::newRow("crowded") << QSize(1000, 600) << 120 << 96;
        QTest::newRow("a year of daily visits") << QSize(1000, 600) << 365 << 96;
        QTest::newRow("on paper") << QSize(2100, 1250) << 20 << 300;
    }
    void labelsNeverOverlapOrClip()
    {
        QFETCH(QSize, size);
        QFETCH(int, visits);
        QFETCH(int, dpi);
        QVector<MeasurementRow> ms;
        for (int i = 0; i < visits; ++i)
            ms << measurement(i + 1, T0.addSecs(qint64(i) * 86400 + (i % 3) * 600), i % 9);
        const QVector<TrendRow> rows = buildTrend(ms, defaultCompensationTable(), false);
        QImage img(size, QImage::Format_RGB32);
        img.setDotsPerMeterX(int(dpi / 0.0254));
        img.setDotsPerMeterY(int(dpi / 0.0254));
        QPainter p(&img);
        QFont font = trendChartFont();
        if (dpi != 96) font.setPointSize(8); // the report's table size
        p.setFont(font);
        size.setHeight(std::max(size.height(), TrendLayout::minimumHeight(p.fontMetrics())));
        ChartSurface s(p);
        const QVector<TrendLabel> labels = paintTrendChart(s, rows, false, size, 2, dpi / 96);
        QVERIFY(labels.size() > 20);
        const QRect box(QPoint(0, 0), size);
        for (int i = 0; i < labels.size(); ++i) {
            QVERIFY2(box.contains(labels[i].rect), qPrintable(labels[i].text));
            for (int j = i + 1; j < labels.size(); ++j)
                QVERIFY2(!labels[i].rect.intersects(labels[j].rect),
                         qPrintable(labels[i].text + u(" / ") + labels[j].text));
        }
    }

    // Whatever day numbers rows hold, the chart, its date labels and the
    // table's CSV are made: a day number of 1e300 once overflowed the
    // conversion to a date, and a time axis past 2^53 filled memory.
    void datesBeyondTheCalendar_data()
    {
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::newRow("a day apart past 2^53") << 1e16 << 1e16 + 1;
        QTest::newRow("both at 1e300") << 1e300 << 1e300;
        QTest::newRow("from -1e300 to 1e300") << -1e300 << 1e300;
        QTest::newRow("2025 and 1e16") << dayNumber(T0) << 1e16;
        QTest::newRow("weeks apart in the year 200000") << 7e7 << 7e7 + 30;
    }
    void datesBeyondTheCalendar()
    {
        QFETCH(double, first);
        QFETCH(double, last);
        QVector<MeasurementRow> ms{measurement(1, T0, 1), measurement(2, T0, 2)};
        ms[0].ZUDATE = first;
        ms[1].ZUDATE = last;
        const QVector<TrendRow> rows = buildTrend(ms, defaultCompensationTable(), true);
        const TrendLayout L(rows, true, QSize(1000, 600), QFontMetrics(trendChartFont()));
        for (int i = 0; i < rows.size(); ++i)
            QVERIFY(L.xOfRow(i) >= L.body.left() && L.xOfRow(i) <= L.body.right());
        QCOMPARE(renderTrendChart(rows, true, QSize(1000, 600)).size(), QSize(1000, 600));
        QCOMPARE(trendCsv(rows).count("\r\n"), 3);
    }

    // The picture: the corridor around the body energy, the selected point in red.
    void chartPicture()
    {
        const QVector<TrendRow> rows = buildTrend(course(), defaultCompensationTable(), true);
        const QImage img = renderTrendChart(rows, true, QSize(1000, 600), 1);
        QCOMPARE(img.size(), QSize(1000, 600));
        const TrendLayout L(rows, true, img.size(), QFontMetrics(trendChartFont()));
        const int x = L.xOfRow(1);
        QCOMPARE(img.pixelColor(x - 2, L.yBody(rows[1].BodyEnergy) - 2), QColor(0, 0, 255));
        const int inCorridor = (L.yBody(rows[1].bandTop) + L.yBody(rows[1].BodyEnergy)) / 2;
        QCOMPARE(img.pixelColor(x + 1, inCorridor), QColor(200, 232, 200));
        QCOMPARE(img.pixelColor(x + 1, L.yBody(rows[1].bandTop) - 3), QColor(255, 255, 255));
        bool red = false;
        for (int y = L.body.top(); y < L.body.bottom() && !red; ++y)
            red = img.pixelColor(x, y) == QColor(255, 0, 0);
        QVERIFY(red);
    }

    // The screen's height: the table gets what its rows need, up to two
    // fifths; the chart the rest, never below its least.
    void heightGoesToTheChart_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("tableNeeds");
        QTest::addColumn<int>("chartLeast");
        QTest::addColumn<int>("chart");
        QTest::newRow("maximised, few rows: the rest to the chart") << 900 << 200 << 400 << 700;
        QTest::newRow("many rows: two fifths to the table") << 900 << 2000 << 400 << 540;
        QTest::newRow("low window: the chart at its least") << 500 << 300 << 400 << 400;
        QTest::newRow("lower than both leasts: the chart's kept") << 420 << 300 << 400 << 400;
        QTest::newRow("fewer rows than the table's least") << 300 << 60 << 200 << 240;
    }
    void heightGoesToTheChart()
    {
        QFETCH(int, total);
        QFETCH(int, tableNeeds);
        QFETCH(int, chartLeast);
        QFETCH(int, chart);
        const TrendSplit s = trendSplit(total, tableNeeds, 100, chartLeast);
        QCOMPARE(s.chart, chart);
        QCOMPARE(s.table, total - chart);
    }

    // The names of the meridians judged high and low, as the table and the
    // printed page show them.
    void meridianNamesOfARow()
    {
        QCOMPARE(meridianNames({}), QString());
        QCOMPARE(meridianNames({Meridian::Lung, Meridian::Pericardium, Meridian::Bladder}),
                 u("肺經、心包經、膀胱經"));
        for (const TrendRow& r : buildTrend(course(), defaultCompensationTable(), true)) {
            QCOMPARE(int(r.meridiansHigh.size()), r.highMeridians);
            QCOMPARE(int(r.meridiansLow.size()), r.lowMeridians);
        }
    }
};

QTEST_MAIN(TestTrend)
#include "test_trend.moc"
