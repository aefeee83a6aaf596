// The research files read back with a CSV reader written from the RFC: the
// byte-order mark, the columns, texts with commas, quotes and line breaks,
// the analysis figures, the anonymous form and one subject's files.
#include "analysis/energy.h"
#include "base/formats.h"
#include "records/researchcsv.h"
#include "support/csvreader.h"
#include "transferfixture.h"

#include <QFile>

using namespace lumo;
using namespace lumo::test;

namespace {

struct Table
{
    QStringList header;
    QVector<QStringList> rows;
    QString value(int row, const char* column) const
    {
        return rows.at(row).value(int(header.indexOf(QLatin1String(column))));
    }
};

Table parse(const QByteArray& bytes)
{
    Table t;
    if (!bytes.startsWith("\xEF\xBB\xBF")) {
        qWarning("no byte-order mark");
        return t;
    }
    const CsvRead r = readCsv(QString::fromUtf8(bytes.mid(3)));
    if (!r.error.isEmpty()) {
        qWarning() << r.error;
        return t;
    }
    t.header = r.records.value(0);
    t.rows = r.records.mid(1);
    for (const QStringList& row : t.rows)
        if (row.size() != t.header.size()) qWarning() << "a row of" << row.size() << "fields";
    return t;
}

QByteArray fileContent(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestResearchCsv : public QObject
{
    Q_OBJECT
private slots:
    void filesReadBack()
    {
        TransferPractice p;
        fillPractice(*p.main);
        ResearchCsv csv;
        int rows = 0;
        QVERIFY(buildResearchCsv(*p.main, {}, &csv, [&] { ++rows; }).ok);
        Status st;
        QCOMPARE(researchCsvRows(*p.main, {}, &st), rows);
        QCOMPARE(rows, 9);

        const Table s = parse(csv.subjects);
        QCOMPARE(s.header,
                 (QStringList{"MKEY", "CUSTNO", "NAME", "SEX", "DBIRTH", "ADDR", "TEL", "TEL2", "TEL3",
                              "EMAIL", "MEMO", "BTYPE", "HEIGHT", "WEIGHT", "CUSTCAT", "CUSTFG", "PrtFG"}));
        QCOMPARE(s.rows.size(), 3);
        QCOMPARE(s.value(0, "CUSTNO"), QStringLiteral("C1")); // by subject number
        QCOMPARE(s.value(0, "MEMO"), u("備註 \"引號\", 逗號\r\n第二行"));
        QCOMPARE(s.value(0, "ADDR"), u("台北市中山路100號, 5樓"));
        QCOMPARE(s.value(0, "DBIRTH"), QString()); // 1896: at or below day 4000 it counts as no birth date
        QCOMPARE(s.value(1, "DBIRTH"), QStringLiteral("1960-03-25"));
        QCOMPARE(s.value(1, "SEX"), u("女"));
        QCOMPARE(s.value(0, "SEX"), u("男"));
        QCOMPARE(s.value(0, "HEIGHT"), QStringLiteral("170.5"));

        const Table m = parse(csv.measurements);
        QCOMPARE(m.header.size(), 4 + 24 + 24 + 10 + 7); // ... the analysis, the grades and the conditions
        QCOMPARE(m.header.mid(0, 5), (QStringList{"MKEY", "CUSTNO", "ZUDATE", "ZUVOTA", "ZU1"}));
        QCOMPARE(m.header.last(), QStringLiteral("SKINPREP"));
        QCOMPARE(m.rows.size(), 6);
        QCOMPARE(m.value(0, "CUSTNO"), QStringLiteral("C1"));
        QCOMPARE(m.value(0, "ZUDATE"), QStringLiteral("2024-03-05T14:30:12"));
        QCOMPARE(m.value(0, "ZUVOTA"), u("標準電位"));
        QCOMPARE(m.value(1, "ZUVOTA"), u("高電位"));
        // The figures are those of the analysis of the stored readings.
        const auto stored = MeasurementStore(*p.main).get(m.value(0, "MKEY").toLongLong());
        QVERIFY(stored);
        EnergySet e;
        e.Readings = stored->ZU;
        e.recompensate();
        const auto a = ComputeEnergyAnalysis(e, defaultCompensationTable(), true);
        QVERIFY(a);
        QCOMPARE(m.value(0, "ZU7").toDouble(), stored->ZU[6]);
        QCOMPARE(m.value(0, "COMP7").toDouble(), e.Compensated[6]);
        QCOMPARE(m.value(0, "BodyEnergy").toDouble(), a->BodyEnergy);
        QCOMPARE(m.value(0, "YinYangRatio").toDouble(), a->YinYangRatio);
        QCOMPARE(m.value(0, "BodyGrade").toInt(), a->BodyGrade);
        QCOMPARE(m.value(0, "AutonomicGrade").toInt(), a->AutonomicGrade);
    }

    void anonymousLeavesOutThePerson()
    {
        TransferPractice p;
        fillPractice(*p.main);
        ResearchCsv csv;
        QVERIFY(buildResearchCsv(*p.main, ResearchCsvOptions{true, {}}, &csv).ok);
        const Table s = parse(csv.subjects);
        QCOMPARE(s.header, (QStringList{"MKEY", "CUSTNO", "SEX", "DBIRTH", "BTYPE", "HEIGHT", "WEIGHT",
                                        "CUSTCAT", "CUSTFG", "PrtFG"}));
        for (const char* personal : {"陳志明", "台北市", "02-2345", "example.org", "備註"}) {
            QVERIFY2(!QString::fromUtf8(csv.subjects).contains(u(personal)), personal);
            QVERIFY2(!QString::fromUtf8(csv.measurements).contains(u(personal)), personal);
        }
        QCOMPARE(parse(csv.measurements).rows.size(), 6);
    }

    void oneSubject_data()
    {
        QTest::addColumn<QString>("custNo");
        QTest::addColumn<int>("measurements");
        QTest::newRow("as stored") << "C2" << 2;
        QTest::newRow("in another case") << "c2" << 2;
    }
    void oneSubject()
    {
        QFETCH(QString, custNo);
        QFETCH(int, measurements);
        TransferPractice p;
        fillPractice(*p.main);
        ResearchCsv csv;
        QVERIFY(buildResearchCsv(*p.main, ResearchCsvOptions{false, custNo}, &csv).ok);
        const Table s = parse(csv.subjects);
        QCOMPARE(s.rows.size(), 1);
        QCOMPARE(s.value(0, "CUSTNO"), QStringLiteral("C2"));
        QCOMPARE(parse(csv.measurements).rows.size(), measurements);
    }

    void unknownSubjectIsAnError()
    {
        TransferPractice p;
        fillPractice(*p.main);
        ResearchCsv csv;
        const Status st =
            buildResearchCsv(*p.main, ResearchCsvOptions{false, QStringLiteral("C1' OR '1'='1")}, &csv);
        QVERIFY(!st.ok);
        QVERIFY(st.error.contains(u("沒有編號為")));
    }

    void refusedAnalysisLeavesTheFiguresEmpty_data()
    {
        QTest::addColumn<bool>("withSubject");
        QTest::addColumn<double>("reading");
        QTest::newRow("nothing measured") << true << 0.0;
        QTest::newRow("no subject to grade by") << false << 40.0;
    }
    void refusedAnalysisLeavesTheFiguresEmpty()
    {
        QFETCH(bool, withSubject);
        QFETCH(double, reading);
        TransferPractice p;
        if (withSubject) {
            SubjectRow s;
            s.CUSTNO = QStringLiteral("X");
            QVERIFY(SubjectStore(*p.main).append(s).ok);
        }
        MeasurementRow r;
        r.CUSTNO = QStringLiteral("X");
        r.ZU.fill(reading);
        QVERIFY(MeasurementStore(*p.main).append(r).ok);
        ResearchCsv csv;
        QVERIFY(buildResearchCsv(*p.main, {}, &csv).ok);
        const Table m = parse(csv.measurements);
        QCOMPARE(m.rows.size(), 1);
        for (const char* c :
             {"BodyEnergy", "UpperLowerRatio", "LeftRightRatio", "YinYangRatio", "AutonomicRatio",
              "BodyGrade", "UpperLowerGrade", "LeftRightGrade", "YinYangGrade", "AutonomicGrade"})
            QCOMPARE(m.value(0, c), QString());
        QCOMPARE(m.value(0, "ZU1").toDouble(), reading);
    }

    void fieldQuoting_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "abc"
                               << "abc";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("comma") << "a,b"
                               << "\"a,b\"";
        QTest::newRow("quote") << "say \"hi\""
                               << "\"say \"\"hi\"\"\"";
        QTest::newRow("CR LF") << "a\r\nb"
                               << "\"a\r\nb\"";
        QTest::newRow("LF alone") << "a\nb"
                                  << "\"a\nb\"";
        QTest::newRow("leading blank") << " a"
                                       << "\" a\"";
    }
    void fieldQuoting()
    {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(csvField(value), written);
        const CsvRead r = readCsv(csvField(value) + QStringLiteral(",x\r\n"));
        QCOMPARE(r.error, QString());
        QCOMPARE(r.records.value(0), (QStringList{value, QStringLiteral("x")}));
    }

    void writtenIntoTheDirectory()
    {
        TransferPractice p;
        fillPractice(*p.main);
        const QString dir = p.folder(QStringLiteral("research"));
        QCOMPARE(p.flow().runExport(ExportRequest{dir, {}, true, true}), TransferOutcome::Done);
        QCOMPARE(QDir(dir).entryList(QDir::Files),
                 (QStringList{QStringLiteral("lumo-measurements.csv"), QStringLiteral("lumo-subjects.csv")}));
        QCOMPARE(parse(fileContent(dir + QStringLiteral("/lumo-subjects.csv"))).rows.size(), 3);
        QVERIFY(!parse(fileContent(dir + QStringLiteral("/lumo-subjects.csv")))
                     .header.contains(QStringLiteral("NAME")));
        QCOMPARE(p.shownTexts().last(), TransferFlow::exportSuccess());
    }
};

QTEST_MAIN(TestResearchCsv)
#include "test_researchcsv.moc"
