// The research files read back with a CSV reader written from the RFC: the
// byte-order mark, the columns, texts with commas, quotes and line breaks,
// texts that look like formulas, the figures' digits, the analysis figures,
// the anonymous form and one subject's files.
#include "analysis/energy.h"
#include "base/formats.h"
#include "records/researchcsv.h"
#include "support/csvreader.h"
#include "transferfixture.h"

#include <QFile>
#include <limits>

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

    // The anonymous form: a pseudonym of this export in place of the subject
    // number and the row keys, the birth year in place of the date, none of
    // the texts; the measurements still belong to their subject.
    void anonymousLeavesOutThePerson()
    {
        TransferPractice p;
        fillPractice(*p.main);
        ResearchCsv csv;
        QVERIFY(buildResearchCsv(*p.main, ResearchCsvOptions{true, {}}, &csv).ok);
        const Table s = parse(csv.subjects);
        QCOMPARE(s.header,
                 (QStringList{"SUBJECT", "SEX", "BIRTHYEAR", "BTYPE", "HEIGHT", "WEIGHT", "PrtFG"}));
        const Table m = parse(csv.measurements);
        QCOMPARE(m.header.mid(0, 4), (QStringList{"SUBJECT", "ZUDATE", "ZUVOTA", "ZU1"}));
        for (const char* personal : {"陳志明", "台北市", "02-2345", "example.org", "備註", "cat", "fg"}) {
            QVERIFY2(!QString::fromUtf8(csv.subjects).contains(u(personal)), personal);
            QVERIFY2(!QString::fromUtf8(csv.measurements).contains(u(personal)), personal);
        }
        // No subject number in any field (and, by the headers, no row key).
        QStringList keys;
        QSqlQuery q(p.main->sql());
        QVERIFY(q.exec(QStringLiteral("SELECT CUSTNO FROM ZUCUST")));
        while (q.next())
            keys << q.value(0).toString();
        for (const Table* t : {&s, &m})
            for (const QStringList& row : t->rows)
                for (const QString& k : keys)
                    QVERIFY2(!row.contains(k), qPrintable(k));

        // Each pseudonym once, in their order, with the birth year; each
        // measurement under the pseudonym of its subject (two each).
        QStringList pseudonyms;
        QMap<QString, QString> yearOf;
        for (int i = 0; i < s.rows.size(); ++i) {
            pseudonyms << s.value(i, "SUBJECT");
            yearOf.insert(s.value(i, "SUBJECT"), s.value(i, "BIRTHYEAR"));
        }
        QCOMPARE(pseudonyms.size(), 3);
        QCOMPARE(QSet<QString>(pseudonyms.begin(), pseudonyms.end()).size(), 3);
        QStringList sorted = pseudonyms;
        sorted.sort();
        QCOMPARE(pseudonyms, sorted);
        QCOMPARE(QStringList(yearOf.values()).filter(QStringLiteral("1960")).size(),
                 2); // C1's 1896 counts as none
        QVERIFY(yearOf.values().contains(QString()));
        QCOMPARE(m.rows.size(), 6);
        for (const QString& p : pseudonyms) {
            int n = 0;
            for (int i = 0; i < m.rows.size(); ++i)
                n += m.value(i, "SUBJECT") == p;
            QCOMPARE(n, 2);
        }
        // Another export, other pseudonyms: two files cannot be joined by them.
        ResearchCsv again;
        QVERIFY(buildResearchCsv(*p.main, ResearchCsvOptions{true, {}}, &again).ok);
        for (const QString& p : pseudonyms)
            QVERIFY(!QString::fromUtf8(again.subjects).contains(p));
    }

    // Texts a spreadsheet would run as formulas are written as text; numbers,
    // negative ones too, stay numbers with the digits they were stored with.
    void formulasAndFigures()
    {
        TransferPractice p;
        SubjectRow s;
        s.CUSTNO = QStringLiteral("=HYPERLINK(\"http://x\",\"y\")");
        s.NAME = QStringLiteral("+886-2-2345");
        s.ADDR = QStringLiteral("@SUM(A1)");
        s.HEIGHT = -1.5;
        s.WEIGHT = 64.1;
        QVERIFY(SubjectStore(*p.main).append(s).ok);
        MeasurementRow r;
        r.CUSTNO = s.CUSTNO;
        r.ZU.fill(27.1);
        QVERIFY(MeasurementStore(*p.main).append(r).ok);
        ResearchCsv csv;
        QVERIFY(buildResearchCsv(*p.main, {}, &csv).ok);
        const Table t = parse(csv.subjects);
        QCOMPARE(t.value(0, "CUSTNO"), QStringLiteral("'=HYPERLINK(\"http://x\",\"y\")"));
        QCOMPARE(t.value(0, "NAME"), QStringLiteral("'+886-2-2345"));
        QCOMPARE(t.value(0, "ADDR"), QStringLiteral("'@SUM(A1)"));
        QCOMPARE(t.value(0, "HEIGHT"), QStringLiteral("-1.5"));
        QCOMPARE(t.value(0, "WEIGHT"), QStringLiteral("64.1"));
        const Table m = parse(csv.measurements);
        QCOMPARE(m.value(0, "CUSTNO"), t.value(0, "CUSTNO"));
        QCOMPARE(m.value(0, "ZU3"), QStringLiteral("27.1"));
        QCOMPARE(m.value(0, "COMP3"), QStringLiteral("30.02951")); // 27.1 x 1.1081, the heart's coefficient
    }

    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("a product's binary noise") << 27.1 * 1.1081 << "30.02951";
        QTest::newRow("a sum's") << 0.1 + 0.2 << "0.3";
        QTest::newRow("stored with one decimal") << 170.5 << "170.5";
        QTest::newRow("whole") << 42.0 << "42";
        QTest::newRow("negative") << -1.25 << "-1.25";
        QTest::newRow("fifteen digits") << 123.456789012345 << "123.456789012345";
        QTest::newRow("not finite") << std::numeric_limits<double>::infinity() << "";
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QString, written);
        QCOMPARE(QString::fromLatin1(csvNumber(value)), written);
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
        // Formula starts: text for a spreadsheet, behind an apostrophe.
        QTest::newRow("=") << "=1+1"
                           << "'=1+1";
        QTest::newRow("+") << "+886 2"
                           << "'+886 2";
        QTest::newRow("-") << "-12"
                           << "'-12";
        QTest::newRow("@") << "@SUM(A1)"
                           << "'@SUM(A1)";
        QTest::newRow("tab") << "\t=1"
                             << "'\t=1";
        QTest::newRow("CR") << "\r=1"
                            << "\"'\r=1\"";
        QTest::newRow("= with a comma") << "=A1,B1"
                                        << "\"'=A1,B1\"";
        QTest::newRow("= inside") << "a=b"
                                  << "a=b";
    }
    void fieldQuoting()
    {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(csvField(value), written);
        // Read back: the value, behind the apostrophe where it had to be neutralised.
        const CsvRead r = readCsv(csvField(value) + QStringLiteral(",x\r\n"));
        QCOMPARE(r.error, QString());
        const QString shown =
            written.startsWith(QLatin1Char('\'')) || written.startsWith(QLatin1String("\"'"))
                ? QLatin1Char('\'') + value
                : value;
        QCOMPARE(r.records.value(0), (QStringList{shown, QStringLiteral("x")}));
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
