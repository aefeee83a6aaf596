// What is kept beside a measurement (its quality grades and the conditions
// it was taken under): stored with it, carried through the transfer file, an
// upgrade's conversion and the research file, and the measure command that
// grades and stores a scripted reading.
#include "app/clirunner.h"
#include "base/formats.h"
#include "comparison/noisefixture.h"
#include "records/conversion.h"
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "records/researchcsv.h"
#include "records/subjects.h"
#include "records/transfer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

std::array<double, 24> flat(double v)
{
    std::array<double, 24> a;
    a.fill(v);
    return a;
}

} // namespace

class TestNoiseExtras : public QObject
{
    Q_OBJECT
private slots:
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
        // Conditions by the screen's names, and a repeat of the subject's
        // measurement minutes ago (PRIOR; OTHER is another subject's).
        const QStringList store{"--store", "Q7"};
        QTest::newRow("conditions and a repeat")
            << R"({})" << store + QStringList{"--condition",   "休息=10",     "--condition",
                                              "今日運動=激烈", "--repeat-of", "PRIOR"}
            << 0 << "A" << QByteArray();
        QTest::newRow("unknown condition")
            << R"({})" << QStringList{"--condition", "溫度=20"} << 2 << "" << QByteArray();
        QTest::newRow("condition out of range")
            << R"({})" << QStringList{"--condition", "濕度=140"} << 2 << "" << QByteArray();
        QTest::newRow("repeat of another subject")
            << R"({})" << store + QStringList{"--repeat-of", "OTHER"} << 2 << "" << QByteArray();
        QTest::newRow("repeat without storing")
            << R"({})" << QStringList{"--repeat-of", "PRIOR"} << 2 << "" << QByteArray();
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
        const double now = dayNumber(QDateTime::currentDateTime());
        const qint64 prior = r.add(QStringLiteral("Q7"), now - 5.0 / 1440, std::array<double, 24>{40});
        const qint64 other = r.add(QStringLiteral("Q8"), now - 5.0 / 1440, std::array<double, 24>{40});
        extra.replaceInStrings(QStringLiteral("PRIOR"), QString::number(prior));
        extra.replaceInStrings(QStringLiteral("OTHER"), QString::number(other));
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
            QCOMPARE(MeasurementStore(r.db()).countAll(), 2); // the two stored before, nothing more
            return;
        }
        const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(o.value(QLatin1String("grades")).toArray().at(2).toString(), grade3);
        QCOMPARE(run.err.contains(QLatin1String("LumoQuality.json")), bounds.contains("\"spread\""));
        QCOMPARE(o.value(QLatin1String("readings")).toArray().size(), 24);
        const qint64 mkey = o.value(QLatin1String("MKEY")).toInteger();
        QCOMPARE(mkey > 0, extra.contains(QStringLiteral("--store")));
        if (mkey > 0) QVERIFY(readMeasurementExtras(r.db(), mkey).hasQuality);
        const MeasurementConditions c = readMeasurementExtras(r.db(), mkey).conditions;
        QCOMPARE(c.repeatOf, extra.contains(QStringLiteral("--repeat-of")) ? prior : 0);
        QCOMPARE(o.value(QLatin1String("repeat_of")).toInteger(), c.repeatOf);
        QCOMPARE(c.exercise.value_or(0), extra.contains(QString::fromUtf8("今日運動=激烈")) ? 3 : 0);
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
        qint64 first = 0;
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
            first = row.MKEY;
        }
        // A repeat of T2's measurement: its session key follows the measurement to its new key.
        MeasurementRow again;
        again.CUSTNO = QStringLiteral("T2");
        again.ZUDATE = 46000.005;
        again.ZU = e.Readings;
        EnergySet repeat = e;
        repeat.Conditions.repeatOf = first;
        QVERIFY(appendMeasurementWithExtras(from.db(), again, repeat).ok);
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
        QCOMPARE(rows.size(), 2);
        QCOMPARE(readMeasurementExtras(to.db(), rows[1].MKEY).conditions.repeatOf, rows[0].MKEY);
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
};

QTEST_MAIN(TestNoiseExtras)
#include "test_noise_extras.moc"
