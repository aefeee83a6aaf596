// lumo-cli export, import, export-csv and legacy-dump as a script runs them:
// the outputs, the exit codes, and data directories read back afterwards.
#include "clirunner.h"

#include "../records/transferfixture.h"
#include "records/transferflow.h"
#include "support/csvreader.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace lumo;
using namespace lumo::test;

namespace {

struct Installation
{
    QTemporaryDir dir;
    QString data;
    explicit Installation(bool filled)
    {
        data = dir.filePath(QStringLiteral("data"));
        CliRun r = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("init")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        if (filled) {
            auto db = open();
            fillPractice(*db);
        }
    }
    std::unique_ptr<Database> open()
    {
        Status st;
        return Database::open(data + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                              Database::Access::ReadWrite, &st);
    }
    CliRun run(QStringList args) { return runCli(QStringList{QStringLiteral("--data-dir"), data} + args); }
};

QString line(const QString& text)
{
    return text + QLatin1Char('\n');
}

} // namespace

class TestCliTransfer : public QObject
{
    Q_OBJECT
private slots:
    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("export without a group") << QStringList{"export", "--to", "/tmp"};
        QTest::newRow("export without a destination") << QStringList{"export", "--programs"};
        QTest::newRow("import without a group") << QStringList{"import", "--from", "/tmp"};
        QTest::newRow("export-csv without a destination") << QStringList{"export-csv", "--anonymous"};
        QTest::newRow("legacy-dump without a file") << QStringList{"legacy-dump"};
    }
    void usage()
    {
        QFETCH(QStringList, args);
        const CliRun r = runCli(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains(QStringLiteral("usage:")));
        QVERIFY(r.out.isEmpty());
    }

    void exportThenImport_data()
    {
        QTest::addColumn<bool>("withCommands");
        QTest::newRow("commands left out") << false;
        QTest::newRow("--with-commands") << true;
    }
    void exportThenImport()
    {
        QFETCH(bool, withCommands);
        Installation a(true), b(false);
        const QString stick = a.dir.filePath(QStringLiteral("stick"));
        QDir().mkpath(stick);
        CliRun r = a.run({"export", "--to", stick, "--programs", "--records"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, line(TransferFlow::exportSuccess()));
        QVERIFY(QFile::exists(stick + QStringLiteral("/ZuTran.mdb")));
        QStringList args{"import", "--from", stick, "--records", "--programs"};
        if (withCommands) args << "--with-commands";
        r = b.run(args);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, line(TransferFlow::importSuccess(false)));
        QCOMPARE(r.err, QString());
        auto db = b.open();
        QCOMPARE(countOf(*db, "ZUCUST"), 3);
        QCOMPARE(countOf(*db, "ZUDATA"), 6);
        QCOMPARE(countOf(*db, "ZUPRDT"), 6);
        const auto programs = ProgramStore(*db).loadAll();
        QCOMPARE(programs[1].program.ProNo, QStringLiteral("P2"));
        QCOMPARE(programs[1].program.ProPrg[0],
                 withCommands ? QStringLiteral("/usr/bin/xdg-open") : QString());
    }

    void anEmptyGroupIsSkippedTheOtherDone()
    {
        Installation a(true), b(false);
        QVERIFY(QSqlQuery(a.open()->sql()).exec(QStringLiteral("DELETE FROM ZUPRO")));
        const QString stick = a.dir.filePath(QStringLiteral("stick"));
        QDir().mkpath(stick);
        QCOMPARE(a.run({"export", "--to", stick, "--programs", "--records"}).exitCode, 0);
        const CliRun r = b.run({"import", "--from", stick, "--programs", "--records", "--replace"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, line(TransferFlow::emptyGroupNotice(true)));
        QCOMPARE(r.out, line(TransferFlow::importSuccess(true)));
        QCOMPARE(countOf(*b.open(), "ZUCUST"), 3);
    }

    void aFailedImportChangesNothing()
    {
        Installation b(true);
        const QString stick = b.dir.filePath(QStringLiteral("stick"));
        QDir().mkpath(stick);
        QFile f(stick + QStringLiteral("/ZuTran.mdb"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, '\x07'));
        f.close();
        QStringList before;
        {
            auto db = b.open();
            before = everyRow(*db);
        }
        const CliRun r = b.run({"import", "--from", stick, "--programs", "--records", "--replace"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith(u("資料匯入錯誤 !! ")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(everyRow(*b.open()), before);
    }

    void anAccessFileWithoutTheTablesChangesNothing()
    {
        Installation b(true);
        const QString stick = b.dir.filePath(QStringLiteral("stick"));
        QDir().mkpath(stick);
        QVERIFY(QFile::copy(QStringLiteral(LUMO_JET_FIXTURES "/nwind.mdb"),
                            stick + QStringLiteral("/ZUTRAN.MDB")));
        QStringList before;
        {
            auto db = b.open();
            before = everyRow(*db);
        }
        const CliRun r = b.run({"import", "--from", stick, "--programs", "--records", "--replace"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(u("缺少資料表 ZUPRO")), qPrintable(r.err));
        QVERIFY2(r.err.contains(stick + QStringLiteral("/ZUTRAN.MDB")), qPrintable(r.err)); // named as chosen
        QCOMPARE(everyRow(*b.open()), before);
    }

    void exportToAMissingDirectory()
    {
        Installation a(true);
        const CliRun r =
            a.run({"export", "--to", a.dir.filePath(QStringLiteral("no/such/dir")), "--records"});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, line(u("來源的檔案資料不存在 !! 請排除問題後重新匯出資料。")));
    }

    void researchFiles_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("subjects");
        QTest::addColumn<bool>("names");
        QTest::newRow("all") << QStringList{} << 3 << true;
        QTest::newRow("anonymous") << QStringList{"--anonymous"} << 3 << false;
        QTest::newRow("one subject, anonymous") << QStringList{"--custno", "C2", "--anonymous"} << 1 << false;
    }
    void researchFiles()
    {
        QFETCH(QStringList, options);
        QFETCH(int, subjects);
        QFETCH(bool, names);
        Installation a(true);
        const QString out = a.dir.filePath(QStringLiteral("research"));
        QDir().mkpath(out);
        const CliRun r = a.run(QStringList{"export-csv", "--to", out} + options);
        QCOMPARE(r.exitCode, 0);
        QFile f(out + QStringLiteral("/lumo-subjects.csv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        const CsvRead csv = readCsv(text.mid(1)); // after the byte-order mark
        QCOMPARE(csv.error, QString());
        QCOMPARE(csv.records.size(), subjects + 1);
        QCOMPARE(text.contains(u("陳志明")), names);
        QVERIFY(QFile::exists(out + QStringLiteral("/lumo-measurements.csv")));
    }

    void researchFilesOfAnUnknownSubject()
    {
        Installation a(true);
        const CliRun r = a.run({"export-csv", "--to", a.dir.path(), "--custno", "NOBODY"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains(u("沒有編號為 NOBODY 的受測者")));
        QVERIFY(!QFile::exists(a.dir.filePath(QStringLiteral("lumo-subjects.csv"))));
    }

    void legacyDumpOfTheSampleFiles()
    {
        CliRun r = runCli({"legacy-dump", QStringLiteral(LUMO_JET_FIXTURES "/nwind.mdb")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.split(QLatin1Char('\n')).contains(QStringLiteral("Order Details")));
        r = runCli({"legacy-dump", QStringLiteral(LUMO_JET_FIXTURES "/DateTestDatabase.mdb"), "DateTest"});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QJsonParseError error;
        const QJsonObject third = QJsonDocument::fromJson(lines[2].toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(third.value(QStringLiteral("DateTimeCol")).toDouble(),
                 -728.0); // 1898-01-01 as its day number
        QCOMPARE(third.value(QStringLiteral("IDCol")).toInt(), 3);
        QCOMPARE(third.value(QStringLiteral("ShortTextCol")).toString(), QStringLiteral("Pre-1900 years"));
    }

    void legacyDumpWritesBytesInHexadecimal()
    {
        const CliRun r = runCli({"legacy-dump", QStringLiteral(LUMO_JET_FIXTURES "/nwind.mdb"), "Employees"});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject first =
            QJsonDocument::fromJson(r.out.split(QLatin1Char('\n')).first().toUtf8()).object();
        QCOMPARE(first.value(QStringLiteral("LastName")).toString(), QStringLiteral("Davolio"));
        QCOMPARE(first.value(QStringLiteral("BirthDate")).toDouble(), 17875.0); // 1948-12-08
        const QByteArray photo =
            QByteArray::fromHex(first.value(QStringLiteral("Photo")).toString().toLatin1());
        QVERIFY(photo.contains("Paint.Picture"));
        QCOMPARE(first.value(QStringLiteral("Photo")).toString().size(), 2 * photo.size());
    }

    void legacyDumpRefuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("not an Access file")
            << QStringList{"legacy-dump", QStringLiteral(LUMO_BIN_DIR "/lumo-cli")}
            << u("不是 Access 資料庫檔案");
        QTest::newRow("missing file") << QStringList{"legacy-dump", "/no/such/file.mdb"} << u("檔案不存在");
        QTest::newRow("this program's own file")
            << QStringList{"legacy-dump", QStringLiteral(LUMO_SHARE_DIR "/Zuspa.mdb")}
            << u("不是 Access 資料庫檔案");
        QTest::newRow("unknown table")
            << QStringList{"legacy-dump", QStringLiteral(LUMO_JET_FIXTURES "/nwind.mdb"), "ZUCUST"}
            << u("缺少資料表 ZUCUST");
    }
    void legacyDumpRefuses()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const CliRun r = runCli(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }
};

QTEST_MAIN(TestCliTransfer)
#include "test_cli_transfer.moc"
