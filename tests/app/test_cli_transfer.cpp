// lumo-cli export, import, export-csv and legacy-dump as a script runs them:
// the outputs, the exit codes, and data directories read back afterwards.
#include "clirunner.h"

#include "../records/transferfixture.h"
#include "records/transferflow.h"
#include "support/csvreader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

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

// A transfer file holding the practice with numbers "TAG-...", in its own folder.
QString transferFolder(const QTemporaryDir& dir, const QString& tag)
{
    const QString folder = dir.filePath(tag);
    QDir().mkpath(folder);
    Status st;
    {
        auto db = Database::create(folder + QStringLiteral("/ZuTran.mdb"), FileKind::Main, &st);
        if (db) fillPractice(*db, tag);
    }
    Database::settle(folder + QStringLiteral("/ZuTran.mdb"));
    return folder;
}

qint64 subjectsTagged(Database& db, const QString& tag)
{
    QSqlQuery q(db.sql());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM ZUCUST WHERE CUSTNO LIKE '%1-%'").arg(tag)) && q.next()
               ? q.value(0).toLongLong()
               : -1;
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
        // Printed either way; the heading says whether they came.
        QCOMPARE(r.err.count(u("外部執行程式")), 1);
        QCOMPARE(r.err.contains(u("已略過")), !withCommands);
        QVERIFY(r.err.contains(u("  P2 療程 P2，按鈕 1：/usr/bin/xdg-open /tmp/handout.pdf\n")));
        auto db = b.open();
        QCOMPARE(countOf(*db, "ZUCUST"), 3);
        QCOMPARE(countOf(*db, "ZUDATA"), 6);
        QCOMPARE(countOf(*db, "ZUPRDT"), 6);
        const auto programs = ProgramStore(*db).loadAll();
        QCOMPARE(programs[1].program.ProNo, QStringLiteral("P2"));
        QCOMPARE(programs[1].program.ProPrg[0],
                 withCommands ? QStringLiteral("/usr/bin/xdg-open") : QString());
        QCOMPARE(programs[1].program.ProFN, withCommands ? QStringLiteral("1010") : QString());
    }

    // Two operations on one data directory at once: the first held at its
    // step by the test (a seam, never a sleep) while the command runs whole.
    // Each reads and writes its own working copy.
    void twoAtOnce_data()
    {
        QTest::addColumn<QString>("first");  // the held one: import or export
        QTest::addColumn<QString>("step");   // where it is held
        QTest::addColumn<QString>("second"); // the command run meanwhile
        QTest::newRow("two imports") << "import"
                                     << "copied in"
                                     << "import";
        QTest::newRow("an import during an export") << "export"
                                                    << "built"
                                                    << "import";
        QTest::newRow("two exports") << "export"
                                     << "built"
                                     << "export";
    }
    void twoAtOnce()
    {
        QFETCH(QString, first);
        QFETCH(QString, step);
        QFETCH(QString, second);
        Installation a(true);
        const QString x = transferFolder(a.dir, QStringLiteral("X"));
        const QString y = transferFolder(a.dir, QStringLiteral("Y"));
        const QString out1 = a.dir.filePath(QStringLiteral("out1")),
                      out2 = a.dir.filePath(QStringLiteral("out2"));
        QDir().mkpath(out1);
        QDir().mkpath(out2);

        QProcess held;
        held.start(QStringLiteral(LUMO_BIN_DIR "/transfer_runner"),
                   {a.data, first, first == QLatin1String("import") ? x : out1, step});
        QVERIFY(held.waitForReadyRead(60000));
        QCOMPARE(held.readLine().trimmed(), step.toUtf8());
        const CliRun r = second == QLatin1String("import")
                             ? a.run({"import", "--from", y, "--programs", "--records", "--with-commands"})
                             : a.run({"export", "--to", out2, "--programs", "--records"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        held.write("go\n");
        QVERIFY(held.waitForFinished(60000));
        QVERIFY2(held.exitCode() == 0, held.readAllStandardError().constData());

        auto db = a.open();
        QCOMPARE(subjectsTagged(*db, QStringLiteral("X")), first == QLatin1String("import") ? 3 : 0);
        QCOMPARE(subjectsTagged(*db, QStringLiteral("Y")), second == QLatin1String("import") ? 3 : 0);
        // An export holds the practice as it was when its rows were read.
        for (const QString& out : {out1, out2}) {
            if (!QFile::exists(out + QStringLiteral("/ZuTran.mdb"))) continue;
            Status st;
            auto file = Database::open(out + QStringLiteral("/ZuTran.mdb"), FileKind::Main,
                                       Database::Access::ReadOnly, &st);
            QVERIFY2(file, qPrintable(st.error));
            QCOMPARE(countOf(*file, "ZUCUST"), 3);
            QCOMPARE(subjectsTagged(*file, QStringLiteral("Y")), 0);
        }
        // Nothing of either operation stays behind.
        QCOMPARE(QDir(a.data).entryList({QStringLiteral("ZuTran*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
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
