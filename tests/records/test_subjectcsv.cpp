// Subjects from a spreadsheet: the file read in both encodings, with either
// separator, quoted fields and every kind of line end; broken rows kept with
// what is wrong; files built to exhaust memory refused or cut at the bounds;
// headers matched to fields; every row checked; all rows imported or none.
#include "base/codec.h"
#include "base/formats.h"
#include "records/subjectimport.h"
#include "records/subjects.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString rowsText(const CsvTable& t)
{
    QStringList rows;
    for (const CsvRow& r : t.rows)
        rows << QString::number(r.line) + QLatin1Char(':') + r.fields.join(QLatin1Char('|')) +
                    (r.problem.isEmpty() ? QString() : QLatin1Char('!') + r.problem);
    return rows.join(QStringLiteral(" / "));
}

struct Practice
{
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    Practice()
    {
        Status st;
        db = Database::create(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st);
    }
    qint64 subjects()
    {
        QSqlQuery q(db->sql());
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM ZUCUST")) && q.next() ? q.value(0).toLongLong()
                                                                                 : -1;
    }
    void add(const QString& custNo)
    {
        SubjectRow s;
        s.CUSTNO = custNo;
        SubjectStore(*db).append(s);
    }
    ImportPlan plan(const QString& csv)
    {
        CsvTable t;
        if (!parseCsv(csv.toUtf8(), &t)) return {};
        return planSubjectImport(t, guessMapping(t.header), *db, QDate(2024, 6, 1));
    }
};

} // namespace

class TestSubjectCsv : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("rows");
        QTest::newRow("UTF-8 with its mark, CR LF")
            << QByteArray("\xEF\xBB\xBF") + u("編號,姓名\r\nA01,王小明\r\n").toUtf8() << "UTF-8"
            << u("編號|姓名") << u("2:A01|王小明");
        QTest::newRow("UTF-8 without mark, tabs, LF")
            << u("編號\t姓名\t地址\nA01\t王小明\t台北市, 中山路\n").toUtf8() << "UTF-8" << u("編號|姓名|地址")
            << u("2:A01|王小明|台北市, 中山路");
        QTest::newRow("Big5") << toCp950(u("編號,姓名\r\nA01,王小明\r\n")) << "Big5" << u("編號|姓名")
                              << u("2:A01|王小明");
        QTest::newRow("quotes, commas and a line break inside")
            << u("a,b\r\n\"x, \"\"y\"\"\",\"line\r\nnext\"\r\nz,w\r\n").toUtf8() << "UTF-8"
            << "a|b" << u("2:x, \"y\"|line\r\nnext / 4:z|w");
        QTest::newRow("lone CR, blank lines, no last line end")
            << QByteArray("a,b\r\r\nc,d\r\n\r\n\r\ne,f") << "UTF-8"
            << "a|b"
            << "3:c|d / 6:e|f";
        QTest::newRow("quote left open") << QByteArray("a,b\nx,\"open\ny,z\n") << "UTF-8"
                                         << "a|b" << u("2:x|open\ny,z\n!引號沒有結束");
        QTest::newRow("text after a closing quote") << QByteArray("a,b\n\"x\"y,z\n") << "UTF-8"
                                                    << "a|b" << u("2:xy|z!引號不成對");
        QTest::newRow("more values than headers, an empty last one")
            << QByteArray("a,b\nx,y,z\nv,w,\n") << "UTF-8"
            << "a|b" << u("2:x|y|z!欄位比標題列多 / 3:v|w|");
        QTest::newRow("fewer values than headers") << QByteArray("a,b,c\nx\n") << "UTF-8"
                                                   << "a|b|c"
                                                   << "2:x";
        // The encoding is the one most lines fit; a row that fits neither is a problem, not the file.
        QTest::newRow("UTF-8 with one bad byte")
            << u("編號,姓名\nA01,王小明\nA02,李大同\n").toUtf8() + QByteArray("A03,\xff\n") << "UTF-8"
            << u("編號|姓名")
            << u("2:A01|王小明 / 3:A02|李大同 / 4:A03|\uFFFD!第 4 行有無法以 UTF-8 讀取的位元組");
        QTest::newRow("Big5 with one UTF-8 row")
            << toCp950(u("編號,姓名\r\nA01,王小明\r\nA02,李大同\r\n")) + u("A03,陳\r\n").toUtf8() << "Big5"
            << u("編號|姓名")
            << u("2:A01|王小明 / 3:A02|李大同 / 4:A03|") + fromCp950(u("陳").toUtf8()) +
                   u("!第 4 行有無法以 Big5 讀取的位元組");
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QString, header);
        QFETCH(QString, rows);
        CsvTable t;
        QVERIFY(parseCsv(bytes, &t).ok);
        QCOMPARE(t.encoding, encoding);
        QCOMPARE(t.header.join(QLatin1Char('|')), header);
        QCOMPARE(rowsText(t), rows);
    }

    // Files made to exhaust memory: refused whole, or held to the bounds.
    // A header in one encoding over rows in the other: refused, not read garbled.
    void encodingsDisagree()
    {
        CsvTable t;
        const Status st = parseCsv(u("編號,姓名\n").toUtf8() + toCp950(u("A01,王小明\nA02,李大同\n")), &t);
        QVERIFY(!st.ok);
        QVERIFY2(st.error.contains(u("標題列是 UTF-8，資料列卻是 Big5")), qPrintable(st.error));
    }

    void bounds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("fieldsKept");
        QTest::addColumn<QString>("problem");
        QTest::newRow("a million columns")
            << QByteArray("a,b\n") + QByteArray(1000000, ',') << true << 256 << u("欄位超過 256 個");
        QTest::newRow("a field of four million characters")
            << QByteArray("a\n") + QByteArray(4000000, 'x') << true << 1 << u("欄位超過 65536 個字");
        QTest::newRow("more cells than a list of subjects has")
            << QByteArray("a,b,c,d\n") + QByteArray("1,2,3,4\n").repeated(500001) << false << 0
            << u("資料格超過");
        QTest::newRow("empty") << QByteArray() << false << 0 << u("檔案是空的");
        QTest::newRow("only blank lines") << QByteArray("\r\n\n\r\n") << false << 0 << u("檔案是空的");
    }
    void bounds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, read);
        QFETCH(int, fieldsKept);
        QFETCH(QString, problem);
        CsvTable t;
        const Status st = parseCsv(bytes, &t);
        QCOMPARE(st.ok, read);
        if (!read) {
            QVERIFY2(st.error.contains(problem), qPrintable(st.error));
            return;
        }
        QCOMPARE(t.rows.size(), 1);
        QCOMPARE(t.rows[0].problem, problem);
        QCOMPARE(t.rows[0].fields.size(), fieldsKept);
        for (const QString& f : t.rows[0].fields)
            QVERIFY(f.size() <= CsvLimits{}.maxFieldChars);
    }

    void fileLimit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.csv"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("a\n") + QByteArray(2000, 'x'));
        f.close();
        CsvTable t;
        CsvLimits small;
        small.maxBytes = 1000;
        QVERIFY(!readCsvFile(path, &t, small).ok);
        QVERIFY(readCsvFile(path, &t).ok);
        QVERIFY(!readCsvFile(dir.path(), &t).ok); // a folder is no file
    }

    void birthDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("ISO") << "1975-06-15" << QDate(1975, 6, 15);
        QTest::newRow("slashes, one digit") << "1975/6/5" << QDate(1975, 6, 5);
        QTest::newRow("eight digits") << "19750615" << QDate(1975, 6, 15);
        QTest::newRow("ISO date-time") << "1975-06-15T00:00:00" << QDate(1975, 6, 15);
        QTest::newRow("ISO date-time, milliseconds") << "1975-06-15 23:59:59.5" << QDate(1975, 6, 15);
        QTest::newRow("ISO date-time, no such time") << "1980-01-01T25:99:99" << QDate();
        QTest::newRow("written") << u("1975年6月15日") << QDate(1975, 6, 15);
        QTest::newRow("Republic, written") << u("民國64年6月15日") << QDate(1975, 6, 15);
        QTest::newRow("Republic, three digits") << "064/06/15" << QDate(1975, 6, 15);
        QTest::newRow("Republic, two digits") << "64.6.15" << QDate(1975, 6, 15);
        QTest::newRow("Republic year 100") << "100/1/2" << QDate(2011, 1, 2);
        QTest::newRow("no such day") << "1975/2/30" << QDate();
        QTest::newRow("day first") << "15/06/1975" << QDate();
        QTest::newRow("words") << "June 15" << QDate();
    }
    void birthDates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(parseBirthDate(text), date);
    }

    void mapping_data()
    {
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<QStringList>("assignments");
        QTest::addColumn<QString>("expected"); // field=column for the mapped fields
        QTest::newRow("Chinese, with blanks inside")
            << QStringList{u("編  號"), u("姓　名"), u("性別"), u("出生日期"), u("手機"), u("備註欄")}
            << QStringList{} << "CUSTNO=0 NAME=1 SEX=2 DBIRTH=3 TEL2=4 MEMO=5";
        QTest::newRow("English") << QStringList{"Name",  "ID",  "Date of Birth", "E-mail",
                                                "Phone", "Fax", "Gender"}
                                 << QStringList{} << "CUSTNO=1 NAME=0 SEX=6 DBIRTH=2 TEL=4 TEL3=5 EMAIL=3";
        QTest::newRow("the research file's own")
            << QStringList{"MKEY", "CUSTNO", "NAME", "SEX", "DBIRTH", "HEIGHT"} << QStringList{}
            << "CUSTNO=1 NAME=2 SEX=3 DBIRTH=4 HEIGHT=5";
        QTest::newRow("first of two wins, unknown left")
            << QStringList{u("電話"), u("聯絡電話"), "Hobby"} << QStringList{} << "TEL=0";
        QTest::newRow("changed by header, by number, taken out")
            << QStringList{u("編號"), u("姓名"), u("暱稱")}
            << QStringList{u("姓名=暱稱"), u("ADDR=2"), u("編號=")} << "NAME=2 ADDR=1";
    }
    void mapping()
    {
        QFETCH(QStringList, header);
        QFETCH(QStringList, assignments);
        QFETCH(QString, expected);
        ColumnMapping m = guessMapping(header);
        for (const QString& a : assignments)
            QVERIFY(applyMapping(a, header, &m).ok);
        QStringList got;
        for (int f = 0; f < ImportFieldCount; ++f)
            if (m[size_t(f)] >= 0)
                got << QLatin1String(importFieldInfo(ImportField(f)).column) + QLatin1Char('=') +
                           QString::number(m[size_t(f)]);
        QCOMPARE(got.join(QLatin1Char(' ')), expected);
    }
    void mappingRefused_data()
    {
        QTest::addColumn<QString>("assignment");
        QTest::newRow("no field") << u("綽號=1");
        QTest::newRow("no such column") << u("NAME=暱稱");
        QTest::newRow("column past the last") << u("NAME=3");
        QTest::newRow("no equals sign") << u("NAME");
    }
    void mappingRefused()
    {
        QFETCH(QString, assignment);
        ColumnMapping m = guessMapping({u("編號"), u("姓名")});
        const ColumnMapping before = m;
        QVERIFY(!applyMapping(assignment, {u("編號"), u("姓名")}, &m).ok);
        QVERIFY(m == before);
    }

    void rowChecks_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("subjects");
        QTest::addColumn<int>("existing");
        QTest::addColumn<QString>("problem");
        const QString head = u("編號,姓名,性別,生日,身高\n");
        QTest::newRow("good rows") << head + u("A02,王,男,1975/6/15,170\nA03,李,女,,\n") << 2 << 0 << "";
        QTest::newRow("number missing") << head + u(" ,王,男,,\n") << 0 << 0 << u("缺少編號");
        QTest::newRow("number twice, case apart")
            << head + u("b7,王,男,,\nB7,李,女,,\n") << 1 << 0 << u("編號與第 2 行重覆");
        QTest::newRow("number the practice holds") << head + u("a01,王,男,,\n") << 0 << 1 << "";
        QTest::newRow("date unreadable")
            << head + u("A02,王,男,1975/13/40,\n") << 0 << 0 << u("生日無法辨識");
        QTest::newRow("date to come")
            << head + u("A02,王,男,2030-01-01,\n") << 0 << 0 << u("生日不在合理範圍");
        QTest::newRow("date at the no-birth limit")
            << head + u("A02,王,男,1910-12-13,\n") << 0 << 0 << u("生日不在合理範圍");
        QTest::newRow("sex unreadable") << head + u("A02,王,X,,\n") << 0 << 0 << u("性別無法辨識");
        QTest::newRow("name too long") << head + u("A02,") + QString(51, QChar(0x738B)) + u(",男,,\n") << 0
                                       << 0 << u("姓名 超過 50 個字");
        QTest::newRow("height no number") << head + u("A02,王,男,,tall\n") << 0 << 0 << u("身高 不是數字");
        QTest::newRow("broken row") << head + u("A02,\"王,男,,\n") << 0 << 0 << u("引號沒有結束");
        // An echoed value is cut: a field of 65,536 characters gives a short line.
        QTest::newRow("a sex of 65,536 characters")
            << head + u("A02,王,") + QString(65536, QLatin1Char('x')) + u(",,\n") << 0 << 0
            << u("性別無法辨識：xxxxxxxxxx");
    }
    void rowChecks()
    {
        QFETCH(QString, csv);
        QFETCH(int, subjects);
        QFETCH(int, existing);
        QFETCH(QString, problem);
        Practice p;
        p.add(QStringLiteral("A01"));
        const ImportPlan plan = p.plan(csv);
        QCOMPARE(plan.subjects.size(), subjects);
        QCOMPARE(plan.existing.size(), existing);
        QCOMPARE(plan.problems.isEmpty(), problem.isEmpty());
        if (!problem.isEmpty())
            QVERIFY2(plan.problems[0].text.contains(problem), qPrintable(plan.problems[0].text));
        for (const ImportProblem& pr : plan.problems)
            QVERIFY2(pr.text.size() < 200, qPrintable(pr.text.left(300)));
    }

    // Two columns of one name (as the headers are matched): the file is
    // refused naming both, rather than the second dropped without a word.
    void duplicateHeaders_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("problem");
        QTest::newRow("the same name") << u("編號,姓名,姓名") << u("第 2 欄與第 3 欄同名");
        QTest::newRow("the same name, blanks and case apart")
            << u("ID,Name,n a m e") << u("第 2 欄與第 3 欄同名");
        QTest::newRow("two names of one field") << u("編號,電話,聯絡電話") << "";
        QTest::newRow("blank headers") << u("編號,,") << "";
    }
    void duplicateHeaders()
    {
        QFETCH(QString, header);
        QFETCH(QString, problem);
        Practice p;
        const ImportPlan plan = p.plan(header + u("\nA02,x,y\n"));
        const Status st = importable(plan, ExistingNumbers::Skip);
        QCOMPARE(st.ok, problem.isEmpty());
        if (!problem.isEmpty()) QVERIFY2(st.error.contains(problem), qPrintable(st.error));
    }

    // The preview shows what will be stored.
    void storedTexts_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a Republic year") << int(ImportField::DBIRTH) << "64/6/15"
                                         << "1975/06/15";
        QTest::newRow("a written date") << int(ImportField::DBIRTH) << u("1975年6月5日") << "1975/06/05";
        QTest::newRow("no date") << int(ImportField::DBIRTH) << "1975/13/40"
                                 << "1975/13/40";
        QTest::newRow("a sex in English") << int(ImportField::SEX) << "female" << u("女");
        QTest::newRow("no sex") << int(ImportField::SEX) << " " << u("男 (未填)");
        QTest::newRow("a name") << int(ImportField::NAME) << u("王小明") << u("王小明");
    }
    void storedTexts()
    {
        QFETCH(int, field);
        QFETCH(QString, raw);
        QFETCH(QString, shown);
        QCOMPARE(storedText(ImportField(field), raw), shown);
    }

    // Stored as read: texts, the sex (a missing one as male), the birth date,
    // numbers and the memo's lines in CR LF.
    void storedValues()
    {
        Practice p;
        const ImportPlan plan = p.plan(u("編號,姓名,性別,生日,備註,身高,Phone\n"
                                         "A05,王小明,女,民國64年6月15日,\"第一行\n第二行\",170.5,02-1234\n"
                                         "A06,李,,,,,\n"));
        QCOMPARE(plan.sexMissing, 1);
        int imported = 0, skipped = 0;
        QVERIFY(importSubjects(*p.db, plan, ExistingNumbers::Refuse, &imported, &skipped).ok);
        QCOMPARE(imported, 2);
        const auto s = SubjectStore(*p.db).findByCustNo(QStringLiteral("a05"));
        QVERIFY(s);
        QCOMPARE(s->NAME, u("王小明"));
        QCOMPARE(s->SEX, false);
        QCOMPARE(dateFromDayNumber(s->DBIRTH), QDate(1975, 6, 15));
        QCOMPARE(s->MEMO, u("第一行\r\n第二行"));
        QCOMPARE(s->HEIGHT, 170.5);
        QCOMPARE(s->TEL, QStringLiteral("02-1234"));
        QCOMPARE(SubjectStore(*p.db).findByCustNo(QStringLiteral("A06"))->SEX, true);
    }

    void allOrNothing_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("choice"); // ExistingNumbers
        QTest::addColumn<QString>("addedMeanwhile");
        QTest::addColumn<bool>("done");
        QTest::addColumn<int>("added");
        const QString head = u("編號,姓名\n");
        QTest::newRow("a problem stops every row")
            << head + u("A02,王\n,李\n") << int(ExistingNumbers::Skip) << "" << false << 0;
        QTest::newRow("refused for a number there")
            << head + u("A02,王\nA01,李\n") << int(ExistingNumbers::Refuse) << "" << false << 0;
        QTest::newRow("skipped for a number there")
            << head + u("A02,王\nA01,李\n") << int(ExistingNumbers::Skip) << "" << true << 1;
        QTest::newRow("a number added after the preview, refused")
            << head + u("A02,王\nA03,李\n") << int(ExistingNumbers::Refuse) << "a03" << false << 0;
        QTest::newRow("a number added after the preview, skipped")
            << head + u("A02,王\nA03,李\n") << int(ExistingNumbers::Skip) << "a03" << true << 1;
        QTest::newRow("nothing left to import")
            << head + u("A01,王\n") << int(ExistingNumbers::Skip) << "" << false << 0;
    }
    void allOrNothing()
    {
        QFETCH(QString, csv);
        QFETCH(int, choice);
        QFETCH(QString, addedMeanwhile);
        QFETCH(bool, done);
        QFETCH(int, added);
        Practice p;
        p.add(QStringLiteral("A01"));
        const ImportPlan plan = p.plan(csv);
        if (!addedMeanwhile.isEmpty()) p.add(addedMeanwhile);
        const qint64 before = p.subjects();
        int imported = -1, skipped = -1;
        const Status st = importSubjects(*p.db, plan, ExistingNumbers(choice), &imported, &skipped);
        QCOMPARE(st.ok, done);
        QCOMPARE(p.subjects(), before + added);
        if (done)
            QCOMPARE(imported, added);
        else
            QVERIFY(!st.error.isEmpty());
    }

    void tenThousandRows()
    {
        QByteArray csv = QByteArray("\xEF\xBB\xBF") + u("編號,姓名,性別,生日,電話,地址\r\n").toUtf8();
        for (int i = 0; i < 10000; ++i)
            csv += u("N%1,\"王, 小明 %1\",%2,1970/1/%3,02-%1,台北市\r\n")
                       .arg(i)
                       .arg(i % 2 ? u("男") : u("女"))
                       .arg(1 + i % 28)
                       .toUtf8();
        CsvTable t;
        QVERIFY(parseCsv(csv, &t).ok);
        QCOMPARE(t.rows.size(), 10000);
        Practice p;
        const ImportPlan plan = planSubjectImport(t, guessMapping(t.header), *p.db, QDate(2024, 1, 1));
        QCOMPARE(plan.problems.size(), 0);
        int imported = 0;
        QVERIFY(importSubjects(*p.db, plan, ExistingNumbers::Refuse, &imported, nullptr).ok);
        QCOMPARE(p.subjects(), 10000);
        QCOMPARE(SubjectStore(*p.db).findByCustNo(QStringLiteral("N9999"))->NAME, u("王, 小明 9999"));
    }
};

QTEST_GUILESS_MAIN(TestSubjectCsv)
#include "test_subjectcsv.moc"
