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

    // Dates are spaced by time: 3 days and 40 days after the first lie at 3/40 of the way.
    void timeAxis()
    {
        const QVector<TrendRow> rows = buildTrend(course(), defaultCompensationTable(), true);
        QFont font = trendChartFont();
        const TrendLayout L(rows, true, QSize(1000, 600), QFontMetrics(font));
        QVERIFY(L.hasPoints());
        const int x0 = L.xOf(rows[0].takenAt), x1 = L.xOf(rows[1].takenAt), x4 = L.xOf(rows[4].takenAt);
        QVERIFY(x0 > L.body.left() && x4 < L.body.right());
        QVERIFY(qAbs(double(x1 - x0) / (x4 - x0) - 3.0 / 40) < 0.01);
        // Clicking near a point picks its row; a refused row is never picked.
        QCOMPARE(trendRowAt(L, rows, QPoint(x1 + 3, L.body.center().y()), 8), 1);
        QCOMPARE(trendRowAt(L, rows, QPoint(x4 - 2, L.ratios[2].center().y()), 8), 4);
        QCOMPARE(trendRowAt(L, rows, QPoint(L.xOf(rows[2].takenAt), L.body.center().y()), 8), -1);
        QCOMPARE(trendRowAt(L, rows, QPoint(x1, L.body.top() - 5), 8), -1);
        // Labels lie within the time shown.
        const QVector<double> ticks = L.dateTicks(80);
        QVERIFY(ticks.size() >= 2);
        for (double d : ticks)
            QVERIFY(d >= rows[0].takenAt - 1 && d <= rows[4].takenAt + 1);
    }

    // Whatever day numbers rows hold, the axis has no more labels than room
    // and the chart is drawn: past 2^53 adding a day changes nothing, and the
    // labels' loop once filled memory without end.
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
        QVERIFY(L.dateTicks(80).size() <= L.body.width() / 120 + 2);
        for (const TrendRow& r : rows)
            QVERIFY(L.xOf(r.takenAt) >= L.body.left() && L.xOf(r.takenAt) <= L.body.right());
        QCOMPARE(renderTrendChart(rows, true, QSize(1000, 600)).size(), QSize(1000, 600));
    }

    // The picture: the corridor around the body energy, the selected point in red.
    void chartPicture()
    {
        const QVector<TrendRow> rows = buildTrend(course(), defaultCompensationTable(), true);
        const QImage img = renderTrendChart(rows, true, QSize(1000, 600), 1);
        QCOMPARE(img.size(), QSize(1000, 600));
        const TrendLayout L(rows, true, img.size(), QFontMetrics(trendChartFont()));
        const int x = L.xOf(rows[1].takenAt);
        QCOMPARE(img.pixelColor(x - 2, L.yBody(rows[1].BodyEnergy) - 2), QColor(0, 0, 255));
        const int inCorridor = (L.yBody(rows[1].bandTop) + L.yBody(rows[1].BodyEnergy)) / 2;
        QCOMPARE(img.pixelColor(x + 1, inCorridor), QColor(200, 232, 200));
        QCOMPARE(img.pixelColor(x + 1, L.yBody(rows[1].bandTop) - 3), QColor(255, 255, 255));
        bool red = false;
        for (int y = L.body.top(); y < L.body.bottom() && !red; ++y)
            red = img.pixelColor(x, y) == QColor(255, 0, 0);
        QVERIFY(red);
        // The refused measurement has no point: at its time the line passes (a
        // few pixels high), no 7-pixel marker.
        auto blueInColumn = [&](int cx) {
            int n = 0;
            for (int y = L.body.top(); y < L.body.bottom(); ++y)
                n += img.pixelColor(cx, y) == QColor(0, 0, 255);
            return n;
        };
        QVERIFY(blueInColumn(L.xOf(rows[0].takenAt)) >= 7);
        QVERIFY(blueInColumn(L.xOf(rows[2].takenAt)) <= 4);
    }
};

QTEST_MAIN(TestTrend)
#include "test_trend.moc"
