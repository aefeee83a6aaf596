// Changes told apart from chance: the practice's repeat pairs by their keys,
// SEM and MDC by the published formulas with the prior, the floor and the
// intervals, the one answer of a comparison with its false-alarm rate, how
// the charts draw it, and the commands.
#include "app/clirunner.h"
#include "comparison/changejudgement.h"
#include "comparison/comparisonchart.h"
#include "comparison/comparisonnotes.h"
#include "comparison/noisefixture.h"
#include "comparison/simsubject.h"
#include "comparison/trendchart.h"
#include "comparison/tworecord.h"
#include "records/measurementextras.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

constexpr double Minute = 1.0 / 1440;

// Every point of `second` off `first` by the log difference +x or -x in turn,
// so that the pair's shift is nil and each point's d^2 is x^2.
std::array<double, 24> offBy(const std::array<double, 24>& first, double xPct)
{
    std::array<double, 24> b{};
    for (size_t i = 0; i < 24; ++i)
        b[i] = first[i] * std::exp((i % 2 ? -xPct : xPct) / 100);
    return b;
}

std::array<double, 24> level(double v)
{
    std::array<double, 24> a;
    a.fill(v);
    return a;
}

// The published formulas, written out here: Dahlberg's sum d^2 / 2 pooled
// with 10 degrees of freedom of 23.2 %, floored at 1.8 %, MDC95 = 1.96
// sqrt(2) SEM.
double expectedSem(double halfSquares, double df)
{
    return std::max(std::sqrt((10 * 0.232 * 0.232 + halfSquares) / (10 + df)) * 100, 1.8);
}

// Keyed repeat pairs of `pairs` subjects on one day (second of each `xPct` off
// the first), and pairs minutes apart without a key, 30 % apart.
void storePractice(Records& r, int pairs, double xPct, int unkeyed, double day = 45000)
{
    Transaction t(r.db());
    for (int s = 0; s < pairs + unkeyed; ++s) {
        const QString no = QStringLiteral("S%1").arg(s);
        const std::array<double, 24> a = level(30 + s);
        const qint64 first = r.add(no, day + s + 9 * 60 * Minute, a);
        if (s >= pairs) {
            r.add(no, day + s + 9 * 60 * Minute + 10 * Minute, level((30 + s) * 1.3)); // before and after
            continue;
        }
        const qint64 second = r.add(no, day + s + 9 * 60 * Minute + 5 * Minute, offBy(a, xPct));
        MeasurementConditions c;
        c.repeatOf = first;
        QVERIFY(writeMeasurementExtras(r.db(), second, {}, c).ok);
    }
    t.commit();
}

} // namespace

class TestNoise : public QObject
{
    Q_OBJECT
private slots:
    // Items of the figures: pairs pooled with the prior by their degrees of
    // freedom, no switch at a count, the floor under a practice whose points
    // never vary, and the interval from the chi-square table.
    void figuresFollowThePublishedFormulas_data()
    {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<double>("xPct");
        QTest::addColumn<double>("chiLow");  // chi-square 0.025 and 0.975 of 10 + 2 x pairs
        QTest::addColumn<double>("chiHigh"); // degrees of freedom, from the printed table
        QTest::newRow("no pair: the prior") << 0 << 0.0 << 3.247 << 20.483;
        QTest::newRow("5 pairs of 10 %") << 5 << 10.0 << 9.591 << 34.170;
        QTest::newRow("19 pairs of 10 %") << 19 << 10.0 << 0.0 << 0.0;
        QTest::newRow("20 pairs of 10 %") << 20 << 10.0 << 0.0 << 0.0;
        QTest::newRow("40 pairs of 10 %") << 40 << 10.0 << 65.647 << 118.136;
        QTest::newRow("never varying: the floor") << 3000 << 0.01 << 0.0 << 0.0;
    }
    void figuresFollowThePublishedFormulas()
    {
        QFETCH(int, pairs);
        QFETCH(double, xPct);
        QFETCH(double, chiLow);
        QFETCH(double, chiHigh);
        NoiseAccumulator acc;
        for (int i = 0; i < pairs; ++i)
            acc.addPair(level(40), offBy(level(40), xPct));
        const NoiseSet s = acc.figures();
        const double df = 2 * pairs, x = xPct / 100;
        const double sem = expectedSem(df * x * x / 2, df);
        for (const NoiseFigure& m : s.meridians) {
            QVERIFY2(std::fabs(m.semPct - sem) < 1e-9, qPrintable(QString::number(m.semPct)));
            QVERIFY(std::fabs(m.mdcPct - 1.959964 * std::sqrt(2.0) * sem) < 1e-4);
            if (chiLow > 0) {
                const double raw = std::sqrt((10 * 0.232 * 0.232 + df * x * x / 2) / (10 + df)) * 100;
                QVERIFY(std::fabs(m.mdcInterval.low / (2.771808 * raw * std::sqrt((10 + df) / chiHigh)) - 1) <
                        1e-3);
                QVERIFY(std::fabs(m.mdcInterval.high / (2.771808 * raw * std::sqrt((10 + df) / chiLow)) - 1) <
                        1e-3);
            }
        }
        // The pairs' shift is nil: the shift keeps the prior, weighed down by one degree per pair.
        QVERIFY(std::fabs(s.shift.semPct - expectedSem(0, pairs)) < 1e-9);
        if (pairs == 19 || pairs == 20) // the band moves by little from one pair to the next
            QVERIFY(std::fabs(s.meridians[0].semPct / expectedSem(19 * x * x, 38) - 1) < 0.03);
        if (pairs == 3000) QCOMPARE(s.meridians[3].semPct, FloorSemPct);
    }

    // Only keyed pairs count; pairs minutes apart without a key are counted
    // for the page and left out; repeat sessions on two days give the
    // between-visits figure, which then judges measurements days apart.
    void practicePairsFromTheirKeys()
    {
        Records r;
        storePractice(r, 5, 10, 10);
        storePractice(r, 5, 10, 0, 45100); // the same subjects again a hundred days later
        const NoiseFigures f = practiceNoise(r.db(), r.state.compensation);
        QCOMPARE(f.within.pairs, 10);
        QCOMPARE(f.unkeyedPairs, 10);
        QCOMPARE(f.between.pairs, 5);
        QVERIFY(std::fabs(f.within.meridians[0].semPct - expectedSem(20 * 0.01 / 2, 20)) < 1e-6);
        QCOMPARE(f.kindFor(45000.4, 45100.4), NoiseKind::BetweenVisits);
        QCOMPARE(f.kindFor(45000.4, 45000.5), NoiseKind::WithinSession);
        QCOMPARE(publishedNoise().kindFor(45000.4, 45100.4), NoiseKind::Published);
        QVERIFY(f.unkeyedText().contains(QStringLiteral("10")));
    }

    // One answer: the shift against its own spread, the pattern by Holm's
    // correction, C points not judged, the floor under a steady practice.
    void judgement_data()
    {
        QTest::addColumn<int>("practicePairs");
        QTest::addColumn<double>("practicePct");
        QTest::addColumn<double>("shiftPct"); // applied to every point
        QTest::addColumn<int>("point");       // a point changed by pointFactor (0: none)
        QTest::addColumn<double>("pointFactor");
        QTest::addColumn<bool>("pointPoor");
        QTest::addColumn<bool>("shiftChanged");
        QTest::addColumn<QVector<int>>("changed");
        QTest::newRow("the same") << 40 << 10.0 << 0.0 << 0 << 1.0 << false << false << QVector<int>{};
        QTest::newRow("whole body 40 % up")
            << 40 << 10.0 << 40.0 << 0 << 1.0 << false << true << QVector<int>{};
        QTest::newRow("one point doubled")
            << 40 << 10.0 << 0.0 << 5 << 2.0 << false << false << QVector<int>{5};
        QTest::newRow("one point doubled, graded C")
            << 40 << 10.0 << 0.0 << 5 << 2.0 << true << false << QVector<int>{};
        QTest::newRow("one point 25 % up: inside chance")
            << 40 << 10.0 << 0.0 << 5 << 1.25 << false << false << QVector<int>{};
        QTest::newRow("50.0 to 50.1 where points never vary")
            << 3000 << 0.01 << 0.0 << 7 << 50.1 / 50 << false << false << QVector<int>{};
    }
    void judgement()
    {
        QFETCH(int, practicePairs);
        QFETCH(double, practicePct);
        QFETCH(double, shiftPct);
        QFETCH(int, point);
        QFETCH(double, pointFactor);
        QFETCH(bool, pointPoor);
        QFETCH(bool, shiftChanged);
        QFETCH(QVector<int>, changed);
        NoiseAccumulator acc;
        for (int i = 0; i < practicePairs; ++i)
            acc.addPair(level(40), offBy(level(40), practicePct));
        NoiseFigures noise;
        noise.within = acc.figures();
        ChangeInput a, b;
        a.values = level(50);
        b.values = level(50 * std::exp(shiftPct / 100));
        a.takenAt = b.takenAt = 45000.5;
        if (point > 0) {
            b.values[size_t(point - 1)] *= pointFactor;
            b.poor[size_t(point - 1)] = pointPoor;
        }
        const ChangeJudgement j = judgeChange(a, b, noise);
        QCOMPARE(j.shiftChanged, shiftChanged);
        QCOMPARE(j.changedPoints, changed);
        QCOMPARE(j.notJudged, pointPoor ? QVector<int>{point} : QVector<int>{});
        QCOMPARE(j.judged, pointPoor ? 23 : 24);
        QCOMPARE(j.kind, NoiseKind::WithinSession);
        const QString text = judgementText(j, noise).join(QLatin1Char(' '));
        QVERIFY2(text.contains(QString::fromUtf8("%1 點中預期約 1 點因偶然而超出").arg(j.judged)),
                 qPrintable(text));
        QCOMPARE(text.contains(QString::fromUtf8("未判定")), pointPoor);
    }

    // The distributions against their printed tables, and Holm's weights.
    void statistics()
    {
        QVERIFY(std::fabs(chiSquareQuantile(0.025, 10) - 3.247) < 5e-4);
        QVERIFY(std::fabs(chiSquareQuantile(0.975, 10) - 20.483) < 5e-4);
        QVERIFY(std::fabs(chiSquareQuantile(0.975, 1) - 5.024) < 5e-4);
        QVERIFY(std::fabs(studentTwoSidedP(2.228, 10) - 0.05) < 2e-4);
        QVERIFY(std::fabs(studentTwoSidedP(2.086, 20) - 0.05) < 2e-4);
        QVERIFY(std::fabs(normalTwoSidedP(1.959964) - 0.05) < 1e-6);
        // Half the weight on the first: 0.02 passes 0.025; then the others share the whole 0.05.
        QCOMPARE(weightedHolm({0.02, 0.02, 0.03}, {0.5, 0.25, 0.25}, 0.05),
                 (QVector<bool>{true, true, true}));
        QCOMPARE(weightedHolm({0.03, 0.001, 0.5}, {0.5, 0.25, 0.25}, 0.05),
                 (QVector<bool>{true, true, false}));
        QCOMPARE(weightedHolm({0.04, 0.02, 0.5}, {0.5, 0.25, 0.25}, 0.05),
                 (QVector<bool>{false, false, false}));
    }

    // 200 comparisons of two repeats of unchanged simulated subjects, judged
    // by the figures of 30 such pairs of the practice: at most 5 % are called
    // changed. (Point by point at 95 % each, about 70 % were.)
    void falseAlarmsOfAnUnchangedSubject()
    {
        std::mt19937 rng(2026);
        NoiseAccumulator acc;
        for (int i = 0; i < 30; ++i) {
            const SimulatedSubject s(rng);
            acc.addPair(s.measure(rng), s.measure(rng));
        }
        NoiseFigures noise;
        noise.within = acc.figures();
        int flagged = 0;
        for (int i = 0; i < 200; ++i) {
            const SimulatedSubject s(rng);
            ChangeInput a, b;
            a.values = s.measure(rng, &a.poor);
            b.values = s.measure(rng, &b.poor);
            flagged += judgeChange(a, b, noise).anyChange();
        }
        qInfo("false alarms: %d of 200 comparisons", flagged);
        QVERIFY2(flagged <= 10, qPrintable(QString::number(flagged)));
    }

    // A point whose change is no change beyond chance is drawn in the neutral
    // colour on the band; a changed one in the series' own colour.
    void twoRecordChartDrawsTheAnswer_data()
    {
        QTest::addColumn<double>("second");
        QTest::addColumn<bool>("neutral");
        QTest::newRow("inside the band") << 62.0 << true;
        QTest::newRow("the whole body changed") << 170.0 << false;
    }
    void twoRecordChartDrawsTheAnswer()
    {
        QFETCH(double, second);
        QFETCH(bool, neutral);
        EnergySet base;
        for (int p = 1; p <= 24; ++p)
            base.setReading(p, 60 / meridianInfo(meridianOfPoint(p)).coefficient);
        TwoRecordComparison cmp(SubjectRow(), base);
        ComparisonRecord other;
        other.Values.fill(second);
        other.Stored.fill(second);
        cmp.load(other);
        const ComparisonChart chart = cmp.chart();
        QVERIFY(chart.changeBand);
        const QImage image = renderComparisonChart(chart, TwoRecordBox);
        // The first slot: x = 30 + 12; heights on the 180 uA scale of H = 387.
        const int h = TwoRecordBox.height() - 30, x = 42;
        auto yOf = [h](double v) { return h - int(std::lround(h / 180.0 * v)); };
        QCOMPARE(QColor(image.pixel(x + 6, yOf(60) - 12)), noChangeBandColour()); // between the markers
        const QColor marker(image.pixel(x - 2, yOf(second) - 2)); // in the marker, off the line through it
        QVERIFY2((marker == noChangeMarkerColour()) == neutral, qPrintable(marker.name()));
        const QString notes = cmp.notes().join(QLatin1Char(' '));
        QVERIFY2(notes.contains(QString::fromUtf8(neutral ? "變化在量測誤差內" : "超出量測誤差")),
                 qPrintable(notes));
        QVERIFY(cmp.notes().last().contains(QString::fromUtf8("文獻預設值")));
    }

    // The trend draws a later visit's body energy that is no real change from
    // the first visit's in the neutral colour, a real change in its own.
    void trendDrawsTheBand_data()
    {
        QTest::addColumn<double>("later");
        QTest::addColumn<bool>("neutral");
        QTest::newRow("5 % more") << 42.0 << true;
        QTest::newRow("more than twice as much") << 90.0 << false;
    }
    void trendDrawsTheBand()
    {
        QFETCH(double, later);
        QFETCH(bool, neutral);
        QVector<TrendRow> rows(2);
        for (int i = 0; i < 2; ++i) {
            TrendRow& r = rows[i];
            r.MKEY = i + 1;
            r.analysed = true;
            r.takenAt = 45000 + 30 * i;
            r.BodyEnergy = i == 0 ? 40 : later;
            r.bandTop = r.BodyEnergy + bandOf(r.BodyEnergy).UpperOuterLimit;
            r.bandBottom = r.BodyEnergy - bandOf(r.BodyEnergy).LowerOuterLimit;
            r.UpperLowerRatio = r.LeftRightRatio = r.YinYangRatio = r.AutonomicRatio = 1;
        }
        const QSize size(900, 400);
        const NoiseFigures noise = publishedNoise();
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setFont(trendChartFont());
            ChartSurface s(p);
            paintTrendChart(s, rows, true, size, -1, 1, &noise);
        }
        const TrendLayout layout(rows, true, size, QFontMetrics(trendChartFont()));
        const QPoint at(layout.xOfRow(1), layout.yBody(later));
        const QColor marker(image.pixel(at));
        QVERIFY2((marker == noChangeMarkerColour()) == neutral, qPrintable(marker.name()));
        QVERIFY(neutral || marker == QColor(0, 0, 255));
    }

    // noise: the pairs counted, each MDC inside its interval; compare --json:
    // the answer with the figure that judged it.
    void commands()
    {
        Records r;
        storePractice(r, 25, 12, 3);
        const CliRun noise = runCli({QStringLiteral("--data-dir"), r.dir.path(), QStringLiteral("noise")});
        QCOMPARE(noise.exitCode, 0);
        const QJsonObject o = QJsonDocument::fromJson(noise.out.toUtf8()).object();
        QCOMPARE(o.value(QLatin1String("pairs")).toInt(), 25);
        QCOMPARE(o.value(QLatin1String("unkeyed_pairs")).toInt(), 3);
        const QJsonObject within = o.value(QLatin1String("within_session")).toObject();
        QCOMPARE(within.value(QLatin1String("meridians")).toArray().size(), 12);
        QCOMPARE(within.value(QLatin1String("indices")).toArray().size(), 5);
        for (const QJsonValue& m : within.value(QLatin1String("meridians")).toArray()) {
            const QJsonObject f = m.toObject();
            QVERIFY(f.value(QLatin1String("mdc_low_pct")).toDouble() <
                    f.value(QLatin1String("mdc_pct")).toDouble());
            QVERIFY(f.value(QLatin1String("mdc_pct")).toDouble() <
                    f.value(QLatin1String("mdc_high_pct")).toDouble());
        }
        const qint64 a = r.add(QStringLiteral("S1"), 45300.4, level(40));
        const qint64 b = r.add(QStringLiteral("S1"), 45300.5, level(80));
        const CliRun cmp = runCli({QStringLiteral("--data-dir"), r.dir.path(), QStringLiteral("compare"),
                                   QStringLiteral("--mkey"), QString::number(a), QStringLiteral("--mkey"),
                                   QString::number(b), QStringLiteral("--json")});
        QCOMPARE(cmp.exitCode, 0);
        const QJsonObject j = QJsonDocument::fromJson(cmp.out.toUtf8()).object();
        QCOMPARE(j.value(QLatin1String("shift_changed")).toBool(), true);
        QCOMPARE(j.value(QLatin1String("changed_points")).toArray().size(), 0);
        QCOMPARE(j.value(QLatin1String("not_judged")).toArray().size(), 0);
        QCOMPARE(j.value(QLatin1String("figure")).toString(), QStringLiteral("within-session"));
        const CliRun one = runCli({QStringLiteral("--data-dir"), r.dir.path(), QStringLiteral("compare"),
                                   QStringLiteral("--mkey"), QString::number(a), QStringLiteral("--json")});
        QCOMPARE(one.exitCode, 2);
    }
};

QTEST_MAIN(TestNoise)
#include "test_noise.moc"
