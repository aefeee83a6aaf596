// Changes told apart from noise: the practice's repeat pairs and their MDC,
// the side tables that keep how a measurement was taken, the conditions'
// warnings, and the two commands.
#include "app/clirunner.h"
#include "comparison/comparisonchart.h"
#include "comparison/comparisonnotes.h"
#include "comparison/noise.h"
#include "comparison/trendchart.h"
#include "comparison/tworecord.h"
#include "records/conversion.h"
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "records/researchcsv.h"
#include "records/subjects.h"
#include "records/transfer.h"
#include "shell/sharedstate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

using namespace lumo;
using namespace lumo::test;

namespace {

struct Records
{
    QTemporaryDir dir;
    SharedState state;
    ScriptedMessages messages;
    Records()
    {
        state.DataDirectory = dir.path() + QLatin1Char('/');
        state.messages = &messages;
        runStartupFileSteps(state, QStringLiteral(LUMO_SHARE_DIR));
    }
    Database& db() { return *state.MainDatabase; }
    qint64 add(const QString& no, double when, const std::array<double, 24>& zu, bool high = false)
    {
        MeasurementRow r;
        r.CUSTNO = no;
        r.ZUDATE = when;
        r.ZUVOTA = high;
        r.ZU = zu;
        MeasurementStore(db()).append(r);
        return r.MKEY;
    }
};

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

std::array<double, 24> flat(double v)
{
    std::array<double, 24> a;
    a.fill(v);
    return a;
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

    void extrasTravelWithTheMeasurement()
    {
        Records r;
        SubjectRow s;
        s.CUSTNO = QStringLiteral("Q1");
        QVERIFY(SubjectStore(r.db()).append(s).ok);
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 40 + p);
        e.Quality.grades[4] = {QualityGrade::C, QualityTest::Spread, 12.5, {}, float(45.0)};
        e.Quality.repeats.append({5, e.Quality.grades[4], true});
        e.Conditions.restMinutes = 10;
        e.Conditions.exercise = 3;
        e.Conditions.note = QString::fromUtf8("空腹");
        MeasurementRow row;
        row.CUSTNO = s.CUSTNO;
        row.ZU = e.Readings;
        QVERIFY(appendMeasurementWithExtras(r.db(), row, e).ok);
        EnergySet loaded;
        loaded.Readings = e.Readings;
        loadMeasurementExtras(r.db(), row.MKEY, loaded);
        QCOMPARE(loaded.Conditions, e.Conditions);
        QCOMPARE(loaded.Quality.grades[4].grade, QualityGrade::C);
        QCOMPARE(loaded.Quality.repeats.size(), 1);
        QCOMPARE(countGrades(loaded.Quality, loaded.Readings).c, 1);
        // A value typed over the graded one is no longer graded.
        loaded.setReading(5, 44);
        QCOMPARE(countGrades(loaded.Quality, loaded.Readings).none, 24);
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

    void measureCommand_data()
    {
        QTest::addColumn<QString>("point3");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("grade3");
        QTest::addColumn<QByteArray>("bounds"); // the practice's LumoQuality.json, none when empty
        QTest::newRow("a noisy point") << R"({"noise_pct": 15})" << QStringList{} << 0 << "C" << QByteArray();
        QTest::newRow("a practice's wider spread") << R"({"noise_pct": 15})" << QStringList{} << 0 << "B"
                                                   << QByteArray(R"({"unsteady_spread_pct": 20})");
        QTest::newRow("a misspelt bound, said and left out")
            << R"({"noise_pct": 15})" << QStringList{} << 0 << "C" << QByteArray(R"({"spread": 20})");
        QTest::newRow("stored") << R"({})" << QStringList{"--store", "Q7"} << 0 << "A" << QByteArray();
        QTest::newRow("unknown subject")
            << R"({})" << QStringList{"--store", "NOBODY"} << 2 << "" << QByteArray();
        QTest::newRow("never touches")
            << R"({"value": 1, "noise_pct": 0})" << QStringList{} << 2 << "" << QByteArray();
        QTest::newRow("misspelt script") << R"({"noise": 15})" << QStringList{} << 2 << "" << QByteArray();
    }
    void measureCommand()
    {
        QFETCH(QString, point3);
        QFETCH(QStringList, extra);
        QFETCH(int, exit);
        QFETCH(QString, grade3);
        QFETCH(QByteArray, bounds);
        Records r;
        if (!bounds.isEmpty()) {
            QFile f(qualityThresholdsFile(r.dir.path()));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bounds) == bounds.size());
        }
        SubjectRow s;
        s.CUSTNO = QStringLiteral("Q7");
        QVERIFY(SubjectStore(r.db()).append(s).ok);
        QStringList points;
        for (int p = 1; p <= 24; ++p)
            points << (p == 3 ? point3 : QStringLiteral("{}"));
        QFile script(r.dir.filePath(QStringLiteral("hand.json")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("{\"points\": [" + points.join(QLatin1Char(',')).toUtf8() + "]}");
        script.close();
        const CliRun run = runCli(QStringList{QStringLiteral("--data-dir"), r.dir.path(),
                                              QStringLiteral("--simulate"), QStringLiteral("--probe-script"),
                                              script.fileName(), QStringLiteral("measure")} +
                                  extra);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, exit);
        if (exit != 0) {
            QVERIFY(!run.err.isEmpty());
            QCOMPARE(MeasurementStore(r.db()).countAll(), 0);
            return;
        }
        const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(o.value(QLatin1String("grades")).toArray().at(2).toString(), grade3);
        QCOMPARE(run.err.contains(QLatin1String("LumoQuality.json")), bounds.contains("\"spread\""));
        QCOMPARE(o.value(QLatin1String("readings")).toArray().size(), 24);
        const qint64 mkey = o.value(QLatin1String("MKEY")).toInteger();
        QCOMPARE(mkey > 0, extra.contains(QStringLiteral("--store")));
        if (mkey > 0) QVERIFY(readMeasurementExtras(r.db(), mkey).hasQuality);
    }

    // The side rows travel with their measurements through the transfer file
    // and land under the keys the measurements get, whatever those are.
    void extrasTravelThroughTheTransferFile()
    {
        Records from, to;
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 30 + p);
        e.Quality.grades[2] = {QualityGrade::C, QualityTest::Step, 14, {}, float(33.0)};
        e.Conditions.exercise = 2;
        e.Conditions.humidity = 60;
        for (const char* no : {"T1", "T2"}) {
            SubjectRow s;
            s.CUSTNO = QLatin1String(no);
            QVERIFY(SubjectStore(from.db()).append(s).ok);
            MeasurementRow row;
            row.CUSTNO = s.CUSTNO;
            row.ZUDATE = 46000; // an import refuses dates before 1900
            row.ZU = e.Readings;
            QVERIFY((no[1] == '2' ? appendMeasurementWithExtras(from.db(), row, e)
                                  : MeasurementStore(from.db()).append(row))
                        .ok);
        }
        // Keys in the receiving practice start elsewhere.
        to.add(QStringLiteral("OLD"), 45000, flat(20));
        const QString file = from.dir.filePath(QStringLiteral("ZuTran.mdb"));
        Status st;
        {
            auto transfer = Database::create(file, FileKind::Main, &st);
            QVERIFY2(transfer, qPrintable(st.error));
            QVERIFY(exportRows(from.db(), *transfer, {false, true}, {}).ok);
        }
        auto source = openLegacySource(file, &st);
        QVERIFY2(source, qPrintable(st.error));
        ImportScan scan;
        QVERIFY(scanImport(*source, {false, true}, &scan).ok);
        const Status imported = importRows(to.db(), *source, {{false, true}, false, true}, scan, {});
        QVERIFY2(imported.ok, qPrintable(imported.error));
        const auto rows = MeasurementStore(to.db()).listForSubject(QStringLiteral("T2"));
        QCOMPARE(rows.size(), 1);
        const MeasurementExtras x = readMeasurementExtras(to.db(), rows[0].MKEY);
        QVERIFY(x.hasQuality);
        QCOMPARE(x.quality.grades[2].grade, QualityGrade::C);
        QCOMPARE(x.conditions, e.Conditions);
        const auto other = MeasurementStore(to.db()).listForSubject(QStringLiteral("T1"));
        QVERIFY(!readMeasurementExtras(to.db(), other[0].MKEY).hasQuality);
    }

    // An upgrade sets the main database aside and converts it into the new
    // one: how its measurements were taken comes along.
    void extrasSurviveAnUpgradesConversion()
    {
        Records r;
        const QString oldPath = r.dir.filePath(QStringLiteral("lumo.mdb"));
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 50);
        e.Quality.grades[0] = {QualityGrade::B, QualityTest::Slope, 7, {}, 50.0f};
        e.Conditions.skinPreparation = 3;
        {
            Status st;
            auto old = Database::create(oldPath, FileKind::Main, &st);
            QVERIFY2(old, qPrintable(st.error));
            MeasurementRow row;
            row.CUSTNO = QStringLiteral("U1");
            row.ZU = e.Readings;
            QVERIFY(appendMeasurementWithExtras(*old, row, e).ok);
        }
        r.add(QStringLiteral("NEW"), 45000, flat(30)); // the new file's keys start elsewhere
        QVERIFY(convertOldDatabase(r.db(), oldPath, {}, nullptr).ok);
        const auto rows = MeasurementStore(r.db()).listForSubject(QStringLiteral("U1"));
        QCOMPARE(rows.size(), 1);
        const MeasurementExtras x = readMeasurementExtras(r.db(), rows[0].MKEY);
        QCOMPARE(x.quality.grades[0].grade, QualityGrade::B);
        QCOMPARE(x.conditions.skinPreparation, std::optional<int>(3));
    }

    void researchFileCarriesGradesAndConditions()
    {
        Records r;
        SubjectRow s;
        s.CUSTNO = QStringLiteral("R1");
        QVERIFY(SubjectStore(r.db()).append(s).ok);
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 40);
        for (size_t p = 0; p < 24; ++p)
            e.Quality.grades[p] = {QualityGrade::A, QualityTest::None, 0, {}, 40.0f};
        e.Quality.grades[23].grade = QualityGrade::C;
        e.Conditions.roomTemperature = 23.5;
        MeasurementRow row;
        row.CUSTNO = s.CUSTNO;
        row.ZU = e.Readings;
        QVERIFY(appendMeasurementWithExtras(r.db(), row, e).ok);
        ResearchCsv csv;
        QVERIFY(buildResearchCsv(r.db(), {}, &csv).ok);
        const QList<QByteArray> lines = csv.measurements.split('\n');
        const QList<QByteArray> header = lines[0].trimmed().split(',');
        const QList<QByteArray> values = lines[1].trimmed().split(',');
        QCOMPARE(values[header.indexOf("QUALITY")], QByteArray(23, 'A') + 'C');
        QCOMPARE(values[header.indexOf("ROOMTEMP")], QByteArray("23.5"));
        QCOMPARE(values[header.indexOf("EXERCISE")], QByteArray());
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
