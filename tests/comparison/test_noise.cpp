// Changes told apart from noise: the practice's repeat pairs and their MDC,
// the band of no change and how the charts draw it, the conditions'
// warnings, and the noise command.
#include "app/clirunner.h"
#include "comparison/comparisonchart.h"
#include "comparison/comparisonnotes.h"
#include "comparison/noise.h"
#include "comparison/noisefixture.h"
#include "comparison/trendchart.h"
#include "comparison/tworecord.h"
#include "records/measurementextras.h"
#include "records/measurements.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <random>

using namespace lumo;
using namespace lumo::test;

namespace {

constexpr double Minute = 1.0 / 1440;

// A practice whose repeat pairs scatter by `spreadPct` per point: each
// subject's true values, measured twice 10 minutes apart with independent
// relative errors; and measurements that are no repeat pairs beside them.
int generatePractice(Records& r, int subjects, double spreadPct, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> level(20, 80);
    std::normal_distribution<double> error(0, spreadPct / 100);
    Transaction t(r.db());
    for (int s = 0; s < subjects; ++s) {
        std::array<double, 24> truth, a, b;
        for (double& v : truth)
            v = level(rng);
        for (size_t p = 0; p < 24; ++p) {
            a[p] = truth[p] * (1 + error(rng));
            b[p] = truth[p] * (1 + error(rng));
        }
        const QString no = QStringLiteral("S%1").arg(s);
        const double day = 45000 + s;
        r.add(no, day + 9 * 60 * Minute, a);
        r.add(no, day + 9 * 60 * Minute + 10 * Minute, b);
        r.add(no, day + 9 * 60 * Minute + 50 * Minute, a);       // 40 minutes later: no pair
        r.add(no, day + 20 * 60 * Minute, b);                    // and saved twice:
        r.add(no, day + 20 * 60 * Minute, b);                    // the same taking
        r.add(no, day + 20 * 60 * Minute + 5 * Minute, a, true); // at the other potential
    }
    t.commit();
    return subjects;
}

} // namespace

class TestNoise : public QObject
{
    Q_OBJECT
private slots:
    void mdcIsRecoveredFromThePracticesPairs_data()
    {
        QTest::addColumn<double>("spread");
        QTest::addColumn<int>("subjects");
        QTest::newRow("spread 10 %") << 10.0 << 150;
        QTest::newRow("spread 23 %") << 23.0 << 150;
    }
    void mdcIsRecoveredFromThePracticesPairs()
    {
        QFETCH(double, spread);
        QFETCH(int, subjects);
        Records r;
        generatePractice(r, subjects, spread, 7);
        const NoiseFigures f = practiceNoise(r.db(), r.state.compensation);
        QCOMPARE(f.pairs, subjects);
        QVERIFY(f.fromPractice);
        for (const NoiseFigure& m : f.meridians) {
            QVERIFY2(std::fabs(m.semPct / spread - 1) < 0.10, qPrintable(QString::number(m.semPct)));
            QVERIFY(std::fabs(m.mdcPct / (1.96 * std::sqrt(2.0) * spread) - 1) < 0.10);
        }
        // The body energy averages 24 independent errors.
        const double body = f.ofIndex(NoiseIndex::BodyEnergy).semPct;
        QVERIFY2(std::fabs(body / (spread / std::sqrt(24.0)) - 1) < 0.15, qPrintable(QString::number(body)));
    }

    void publishedSpreadUntilTwentyPairs_data()
    {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<bool>("practice");
        QTest::newRow("none") << 0 << false;
        QTest::newRow("19") << 19 << false;
        QTest::newRow("20") << 20 << true;
    }
    void publishedSpreadUntilTwentyPairs()
    {
        QFETCH(int, pairs);
        QFETCH(bool, practice);
        Records r;
        generatePractice(r, pairs, 10, 3);
        const NoiseFigures f = practiceNoise(r.db(), r.state.compensation);
        QCOMPARE(f.pairs, pairs);
        QCOMPARE(f.fromPractice, practice);
        QCOMPARE(f.sourceText().contains(QString::fromUtf8("文獻預設值")), !practice);
        if (!practice) QCOMPARE(f.ofPoint(5).mdcPct, 23 * Mdc95Factor);
    }

    void changesInsideTheBandAreNoChange_data()
    {
        QTest::addColumn<double>("before");
        QTest::addColumn<double>("after");
        QTest::addColumn<double>("mdc");
        QTest::addColumn<bool>("real");
        QTest::newRow("same") << 40.0 << 40.0 << 30.0 << false;
        QTest::newRow("inside") << 40.0 << 50.0 << 30.0 << false;
        QTest::newRow("beyond") << 40.0 << 60.0 << 30.0 << true;
        QTest::newRow("beyond, falling") << 60.0 << 40.0 << 30.0 << true;
    }
    void changesInsideTheBandAreNoChange()
    {
        QFETCH(double, before);
        QFETCH(double, after);
        QFETCH(double, mdc);
        QFETCH(bool, real);
        QCOMPARE(isRealChange(before, after, mdc), real);
        const ChangeBand band = noChangeBand(before, mdc);
        QCOMPARE(after < band.low || after > band.high, real); // the drawn band agrees
    }

    void conditionWarnings_data()
    {
        QTest::addColumn<double>("hourA");
        QTest::addColumn<double>("hourB");
        QTest::addColumn<int>("exerciseB");
        QTest::addColumn<double>("restB");
        QTest::addColumn<QStringList>("expected");
        const QString hours5 = QString::fromUtf8("兩次量測時段相差 5 小時，數值差異可能來自時段");
        QTest::newRow("same conditions") << 9.0 << 9.5 << 1 << 10.0 << QStringList{};
        QTest::newRow("exactly 3 hours") << 9.0 << 12.0 << 1 << 10.0 << QStringList{};
        QTest::newRow("morning and afternoon") << 9.0 << 14.0 << 1 << 10.0 << QStringList{hours5};
        QTest::newRow("around midnight") << 23.0 << 1.0 << 1 << 10.0 << QStringList{};
        QTest::newRow("rest within tolerance") << 9.0 << 9.0 << 1 << 20.0 << QStringList{};
        QTest::newRow("exercise differs")
            << 9.0 << 9.0 << 3 << 10.0
            << QStringList{QString::fromUtf8("兩次量測條件不同：運動（無／激烈），數值差異可能來自量測條件")};
        QTest::newRow("both") << 9.0 << 14.0 << 1 << 30.0
                              << QStringList{
                                     hours5,
                                     QString::fromUtf8(
                                         "兩次量測條件不同：休息（10／30 分鐘），數值差異可能來自量測條件")};
    }
    void conditionWarnings()
    {
        QFETCH(double, hourA);
        QFETCH(double, hourB);
        QFETCH(int, exerciseB);
        QFETCH(double, restB);
        QFETCH(QStringList, expected);
        MeasurementConditions a, b;
        a.exercise = 1;
        a.restMinutes = 10;
        b.exercise = exerciseB;
        b.restMinutes = restB;
        QCOMPARE(lumo::conditionWarnings(a, 45000 + hourA / 24, b, 45100 + hourB / 24), expected);
    }

    // Three or more measurements: one line per kind, naming them.
    void notesOfSeveralMeasurements()
    {
        QVector<NotedMeasurement> m(3);
        const double hours[3] = {9, 15, 10};
        for (int i = 0; i < 3; ++i) {
            m[i].label = QString::fromUtf8("第 %1 筆").arg(i + 1);
            m[i].readings.fill(40);
            m[i].takenAt = 45000 + i + hours[i] / 24;
            m[i].extras.conditions.exercise = i == 2 ? 3 : 1;
        }
        m[1].extras.quality.grades[7] = {QualityGrade::C, QualityTest::Spread, 12, {}, 40.0f};
        QCOMPARE(comparisonNotes(m),
                 (QStringList{QString::fromUtf8("品質不佳：第 2 筆 1 點"),
                              QString::fromUtf8("第 2 筆與第 1 筆時段相差 3 小時以上，數值差異可能來自時段"),
                              QString::fromUtf8("第 3 筆與第 1 筆量測條件不同，數值差異可能來自量測條件")}));
    }

    // A point whose change from the first record is inside its MDC is drawn in
    // the neutral colour on the band; beyond it in the series' own colour.
    void twoRecordChartDrawsTheBand_data()
    {
        QTest::addColumn<double>("second");
        QTest::addColumn<bool>("neutral");
        QTest::newRow("inside the band") << 50.0 << true;
        QTest::newRow("beyond it") << 120.0 << false;
    }
    void twoRecordChartDrawsTheBand()
    {
        QFETCH(double, second);
        QFETCH(bool, neutral);
        EnergySet base;
        for (int p = 1; p <= 24; ++p)
            base.setReading(p, 60 / meridianInfo(meridianOfPoint(p)).coefficient);
        TwoRecordComparison cmp(SubjectRow(), base);
        ComparisonRecord other;
        other.Values.fill(second);
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
        QVERIFY(cmp.notes()
                    .join(QLatin1Char(' '))
                    .contains(QString::fromUtf8(neutral ? "0 點的變化超出" : "24 點的變化超出")));
        QVERIFY(cmp.notes().last().contains(QString::fromUtf8("文獻預設值")));
    }

    // The trend draws a later visit's body energy that is no real change from
    // the first visit's in the neutral colour, a real change in its own.
    void trendDrawsTheBand_data()
    {
        QTest::addColumn<double>("later");
        QTest::addColumn<bool>("neutral");
        QTest::newRow("5 % more") << 42.0 << true;
        QTest::newRow("half as much again") << 60.0 << false;
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

    void noiseCommand()
    {
        Records r;
        generatePractice(r, 25, 12, 5);
        const CliRun run = runCli({QStringLiteral("--data-dir"), r.dir.path(), QStringLiteral("noise")});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(o.value(QLatin1String("pairs")).toInt(), 25);
        QCOMPARE(o.value(QLatin1String("source")).toString(), QStringLiteral("practice"));
        QCOMPARE(o.value(QLatin1String("meridians")).toArray().size(), 12);
        QCOMPARE(o.value(QLatin1String("indices")).toArray().size(), 5);
    }
};

QTEST_MAIN(TestNoise)
#include "test_noise.moc"
