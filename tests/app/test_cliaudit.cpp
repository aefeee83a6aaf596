// The audit rows that commands write in practice mode, and `audit` itself:
// the commands are called as the dispatch calls them (after any login), in
// a data directory whose main file holds an operator.
#include "app/cli.h"
#include "backup/backup.h"
#include "backup/backuppassphrase.h"
#include "practice/auditlog.h"
#include "records/database.h"
#include "shell/datadir.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

struct Run
{
    int rc = -1;
    QString out, err;
};

Run command(const QString& dataDir, const QStringList& args, int (*cmd)(CliContext&))
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    CliContext c;
    c.dataDirectory = QDir(dataDir).absolutePath() + QLatin1Char('/');
    c.dataDirectorySet = true;
    c.deliveredDir = QStringLiteral(LUMO_SHARE_DIR);
    c.args = args;
    c.out = &out;
    c.err = &err;
    c.session.name = QStringLiteral("amy");
    r.rc = cmd(c);
    out.flush();
    err.flush();
    if (r.rc != 0) qWarning("%s", qPrintable(r.err));
    return r;
}

std::unique_ptr<Database> mainOf(const QString& dataDir)
{
    Status s;
    auto db = Database::open(dataFilePath(dataDir, QLatin1String(MainDatabaseFile)), FileKind::Main,
                             Database::Access::ReadWrite, &s);
    return db;
}

// A destination folder (the exports write into one that is there).
QString folder(const QTemporaryDir& dir, const QString& name)
{
    QDir().mkpath(dir.filePath(name));
    return dir.filePath(name);
}

QStringList actions(const QString& dataDir, const char* file = MainDatabaseFile)
{
    QStringList out;
    Status s;
    auto db = Database::open(dataFilePath(dataDir, QLatin1String(file)), FileKind::Main,
                             Database::Access::ReadOnly, &s);
    readAuditRows(*db, {}, [&](const AuditRow& r) {
        out << r.action + QLatin1Char(' ') + r.operatorName;
        return true;
    });
    return out;
}

// Every row of the log by its HASH: a row that is the same row, not one alike.
QStringList hashes(const QString& dataDir)
{
    QStringList out;
    Status s;
    auto db = Database::open(dataFilePath(dataDir, QLatin1String(MainDatabaseFile)), FileKind::Main,
                             Database::Access::ReadOnly, &s);
    readAuditRows(*db, {}, [&](const AuditRow& r) {
        out << r.hash;
        return true;
    });
    return out;
}

} // namespace

class TestCliAudit : public QObject
{
    Q_OBJECT

    // A prepared data directory; with an operator when `practice`.
    bool prepare(const QTemporaryDir& dir, bool practice)
    {
        QString text;
        QTextStream out(&text), err(&text);
        if (runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("init")}, out, err) != 0)
            return false;
        if (!practice) return true;
        auto db = mainOf(dir.path());
        // As the program starts practice mode: the account and its entry, the log's first row.
        AuditRow first;
        first.action = QStringLiteral("operator.add");
        first.operatorName = QStringLiteral("amy");
        first.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        return db && db->run(QStringLiteral("INSERT INTO LUMOOPER (NAME, ROLE) VALUES ('amy', 'admin')")) &&
               appendAuditRow(*db, &first);
    }

private slots:
    void commandsWriteTheirRows_data()
    {
        QTest::addColumn<bool>("practice");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("alone at home") << false << QStringList();
        QTest::newRow("practice mode")
            << true
            << QStringList{"operator.add amy", "research.export amy", "backup amy",
                           "restore amy",      "restore amy",         "export amy"};
    }
    void commandsWriteTheirRows()
    {
        QFETCH(bool, practice);
        QFETCH(QStringList, expected);
        QTemporaryDir dir, out;
        QVERIFY(prepare(dir, practice));
        QCOMPARE(command(dir.path(), {"export-csv", "--to", folder(out, "csv")}, cmdExportCsv).rc, 0);
        const Run backup = command(dir.path(), {"backup", "--to", folder(out, "copies")}, cmdBackup);
        QCOMPARE(backup.rc, 0);
        const QString copy = backup.out.trimmed();
        // The manifest carries the log's end as the copy holds it: after the export's row.
        QFile manifest(copy + QStringLiteral(".json"));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        const QString inManifest = QJsonDocument::fromJson(manifest.readAll())
                                       .object()
                                       .value(QStringLiteral("auditLastHash"))
                                       .toString();
        QCOMPARE(inManifest.isEmpty(), !practice);
        QVERIFY(command(dir.path(), {"restore", copy}, cmdRestore).rc == 0);
        // A refused restore (not a database) is logged too, and so is an old file's table read in clear.
        QCOMPARE(command(dir.path(), {"restore", copy + QStringLiteral(".json")}, cmdRestore).rc, 2);
        QCOMPARE(command(dir.path(),
                         {"legacy-dump", QStringLiteral(LUMO_JET_FIXTURES "/nwind.mdb"), "Shippers"},
                         cmdLegacyDump)
                     .rc,
                 0);
        // The log in place is kept whole, the backup's own row with it, and the restore follows it.
        QCOMPARE(actions(dir.path()), expected);
        if (practice) QCOMPARE(actions(dir.path(), BeforeRestoreFile).value(2), QStringLiteral("backup amy"));
        const Run verified = command(dir.path(), {"audit", "--verify"}, cmdAudit);
        QCOMPARE(verified.rc, 0);
        if (practice) QVERIFY2(verified.out.contains(QString::fromUtf8("：6 列")), qPrintable(verified.out));
    }

    // The log is the practice's history: a restore keeps the rows written
    // since the copy, never takes the copy's own (a prefix of the live log,
    // or another practice's), and leaves the log append-only.
    void restoreKeepsTheLiveLog_data()
    {
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<bool>("foreign");
        QTest::newRow("plain copy") << false << false;
        QTest::newRow("encrypted copy") << true << false;
        QTest::newRow("another practice's copy") << false << true;
        QTest::newRow("another practice's encrypted copy") << true << true;
    }
    void restoreKeepsTheLiveLog()
    {
        QFETCH(bool, encrypted);
        QFETCH(bool, foreign);
        QTemporaryDir dir, other, out;
        QVERIFY(prepare(dir, true));
        QVERIFY(prepare(other, true));
        const QByteArray passphrase = "correct horse battery";
        QVERIFY(setBackupPassphrase(dir.path(), passphrase));
        QVERIFY(setBackupPassphrase(other.path(), passphrase));
        qputenv("LUMO_BACKUP_PASSPHRASE", passphrase);
        const QString origin = foreign ? other.path() : dir.path();
        QCOMPARE(command(origin, {"export-csv", "--to", folder(out, "a")}, cmdExportCsv).rc, 0);
        QStringList args{"backup", "--to", folder(out, "copies")};
        if (encrypted) args << "--encrypt";
        const Run backup = command(origin, args, cmdBackup);
        QCOMPARE(backup.rc, 0);
        const QString copy = backup.out.trimmed();
        // Written after the copy was made: these must survive the restore.
        QCOMPARE(command(dir.path(), {"export-csv", "--to", folder(out, "b")}, cmdExportCsv).rc, 0);
        const QStringList before = hashes(dir.path());
        QCOMPARE(command(dir.path(), {"restore", copy}, cmdRestore).rc, 0);
        qunsetenv("LUMO_BACKUP_PASSPHRASE");
        const QStringList after = hashes(dir.path());
        QCOMPARE(after.mid(0, after.size() - 1), before);
        QCOMPARE(actions(dir.path()).last(), QStringLiteral("restore amy"));
        const Run verified = command(dir.path(), {"audit", "--verify"}, cmdAudit);
        QCOMPARE(verified.rc, 0);
        // The restore row names where the copy's own log ended, as its manifest has it.
        QFile manifest(copy + QStringLiteral(".json"));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        const QString copyEnd = QJsonDocument::fromJson(manifest.readAll())
                                    .object()
                                    .value(QStringLiteral("auditLastHash"))
                                    .toString();
        QVERIFY(!copyEnd.isEmpty());
        const Run rows = command(dir.path(), {"audit"}, cmdAudit);
        QVERIFY2(rows.out.trimmed().section(QLatin1Char('\n'), -1).contains(copyEnd), qPrintable(rows.out));
        auto db = mainOf(dir.path());
        QVERIFY(!db->run(QStringLiteral("UPDATE LUMOAUDIT SET DETAIL = 'x'")));
        QVERIFY(!db->run(QStringLiteral("DELETE FROM LUMOAUDIT")));
    }

    // Who may log in is decided now, not by an old copy: the accounts in
    // place stay through a restore; a database without any takes the copy's.
    void restoreKeepsTheAccountsInPlace_data()
    {
        QTest::addColumn<QString>("copyHas");  // accounts as "name/disabled", when the copy is made
        QTest::addColumn<QString>("liveHas");  // when the restore runs
        QTest::addColumn<QString>("expected"); // after it
        QTest::newRow("disabled since the copy") << "amy/0,bob/0"
                                                 << "amy/0,bob/1"
                                                 << "amy/0,bob/1";
        QTest::newRow("copy from before practice mode") << ""
                                                        << "amy/0"
                                                        << "amy/0";
        QTest::newRow("none in place") << "amy/0"
                                       << ""
                                       << "amy/0";
        QTest::newRow("no enabled admin in place") << "amy/0"
                                                   << "amy/1,eve/1"
                                                   << "amy/0";
    }
    void restoreKeepsTheAccountsInPlace()
    {
        QFETCH(QString, copyHas);
        QFETCH(QString, liveHas);
        QFETCH(QString, expected);
        QTemporaryDir dir, out;
        QVERIFY(prepare(dir, false));
        const auto setAccounts = [&dir](const QString& list) {
            auto db = mainOf(dir.path());
            bool ok = db && db->run(QStringLiteral("DELETE FROM LUMOOPER"));
            for (const QString& a : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
                ok = ok &&
                     db->run(QStringLiteral("INSERT INTO LUMOOPER (NAME, ROLE, DISABLED) VALUES (?, "
                                            "'admin', ?)"),
                             {a.section(QLatin1Char('/'), 0, 0), a.section(QLatin1Char('/'), 1).toInt()});
            return ok;
        };
        QVERIFY(setAccounts(copyHas));
        const Run backup = command(dir.path(), {"backup", "--to", folder(out, "copies")}, cmdBackup);
        QCOMPARE(backup.rc, 0);
        QVERIFY(setAccounts(liveHas));
        QCOMPARE(command(dir.path(), {"restore", backup.out.trimmed()}, cmdRestore).rc, 0);
        SqlRows rows;
        QVERIFY(mainOf(dir.path())
                    ->run(QStringLiteral("SELECT NAME || '/' || DISABLED FROM LUMOOPER ORDER BY NAME"), {},
                          &rows));
        QStringList found;
        for (const SqlRow& r : rows)
            found << r.value(0).toString();
        QCOMPARE(found.join(QLatin1Char(',')), expected);
    }

    // A restore repairs a damaged database: a log in place that cannot be
    // read does not stop it; the copy's log goes on and the operator is told.
    void restoreGoesOnWhenTheLogInPlaceIsUnreadable()
    {
        QTemporaryDir dir, out;
        QVERIFY(prepare(dir, true));
        QCOMPARE(command(dir.path(), {"export-csv", "--to", folder(out, "a")}, cmdExportCsv).rc, 0);
        const Run backup = command(dir.path(), {"backup", "--to", folder(out, "copies")}, cmdBackup);
        QCOMPARE(backup.rc, 0);
        const QStringList inCopy = hashes(dir.path()).mid(0, 1);
        {
            auto db = mainOf(dir.path());
            QVERIFY(db->run(QStringLiteral("ALTER TABLE LUMOAUDIT RENAME COLUMN HASH TO LOST")));
        }
        const Run restored = command(dir.path(), {"restore", backup.out.trimmed()}, cmdRestore);
        QCOMPARE(restored.rc, 0);
        QVERIFY2(restored.err.contains(QString::fromUtf8("無法讀取")), qPrintable(restored.err));
        QCOMPARE(hashes(dir.path()).mid(0, 1), inCopy);
        QCOMPARE(actions(dir.path()), (QStringList{"operator.add amy", "research.export amy", "restore amy"}));
        QCOMPARE(command(dir.path(), {"audit", "--verify"}, cmdAudit).rc, 0);
    }

    // Setting the backup passphrase is a settings change; the passphrase is in no row.
    void passphraseSetIsLogged_data()
    {
        QTest::addColumn<bool>("practice");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("alone at home") << false << QStringList();
        QTest::newRow("practice mode") << true
                                       << QStringList{"operator.add amy ",
                                                      "settings.change amy backup passphrase set"};
    }
    void passphraseSetIsLogged()
    {
        QFETCH(bool, practice);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(prepare(dir, practice));
        qputenv("LUMO_BACKUP_PASSPHRASE", "correct horse battery");
        const Run r = command(dir.path(), {"backup-passphrase", "set"}, cmdBackupPassphrase);
        qunsetenv("LUMO_BACKUP_PASSPHRASE");
        QCOMPARE(r.rc, 0);
        QStringList rows;
        auto db = mainOf(dir.path());
        readAuditRows(*db, {}, [&rows](const AuditRow& row) {
            rows << row.action + QLatin1Char(' ') + row.operatorName + QLatin1Char(' ') + row.detail;
            return true;
        });
        QCOMPARE(rows, expected);
    }

    void verifyNamesTheBrokenRow()
    {
        QTemporaryDir dir, out;
        QVERIFY(prepare(dir, true));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(
                command(dir.path(), {"export-csv", "--to", folder(out, QString::number(i))}, cmdExportCsv).rc,
                0);
        {
            auto db = mainOf(dir.path());
            QVERIFY(db->run(QStringLiteral("DROP TRIGGER LUMOAUDIT_NO_UPDATE")));
            QVERIFY(db->run(QStringLiteral("UPDATE LUMOAUDIT SET DETAIL = 'elsewhere' WHERE MKEY = 2")));
        }
        const Run r = command(dir.path(), {"audit", "--verify"}, cmdAudit);
        QCOMPARE(r.rc, 2);
        QVERIFY2(r.err.contains(QStringLiteral("MKEY 2")), qPrintable(r.err));
    }

    void listsRowsAsJsonLines_data()
    {
        QTest::addColumn<QStringList>("filter");
        QTest::addColumn<int>("rows"); // -1: refused as a usage error
        QTest::newRow("all") << QStringList() << 3;
        QTest::newRow("one subject") << QStringList{"--custno", "A7"} << 1;
        QTest::newRow("from today") << QStringList{"--from", QDateTime::currentDateTimeUtc().date().toString(
                                                                 Qt::ISODate)}
                                    << 3;
        QTest::newRow("up to yesterday")
            << QStringList{"--to", QDateTime::currentDateTimeUtc().date().addDays(-1).toString(Qt::ISODate)}
            << 0;
        QTest::newRow("not a date") << QStringList{"--from", "10/12/2026"} << -1;
        QTest::newRow("verify with a filter") << QStringList{"--verify", "--custno", "A7"} << -1;
    }
    void listsRowsAsJsonLines()
    {
        QFETCH(QStringList, filter);
        QFETCH(int, rows);
        QTemporaryDir dir, out;
        QVERIFY(prepare(dir, true));
        QVERIFY(
            mainOf(dir.path())->run(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('A7', 'x')")));
        QCOMPARE(command(dir.path(), {"export-csv", "--to", folder(out, "a")}, cmdExportCsv).rc, 0);
        QCOMPARE(
            command(dir.path(), {"export-csv", "--to", folder(out, "b"), "--custno", "A7"}, cmdExportCsv).rc,
            0);
        const Run r = command(dir.path(), QStringList{"audit"} + filter, cmdAudit);
        QCOMPARE(r.rc, rows < 0 ? 2 : 0);
        if (rows < 0) return;
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), rows);
        for (const QString& line : lines) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            QCOMPARE(o.keys().size(), 9);
            QCOMPARE(o.value(QStringLiteral("HASH")).toString().size(), 64);
        }
    }

    // What a command shows or writes of a subject is logged under that subject,
    // one row per compared measurement.
    void viewsAndCopiesNameTheirSubjects()
    {
        QTemporaryDir dir, out;
        QVERIFY(prepare(dir, true));
        QCOMPARE(command(dir.path(), {"demo", "--out", folder(out, "demo")}, cmdDemo).rc, 0);
        SqlRows made;
        QVERIFY(mainOf(dir.path())->run(QStringLiteral("SELECT CUSTNO, MKEY FROM ZUDATA"), {}, &made));
        QCOMPARE(made.size(), 1);
        const QString custNo = made[0].value(0).toString(), mkey = made[0].value(1).toString();
        QCOMPARE(
            command(dir.path(), {"trend", "--custno", custNo, "--out", out.filePath("t.csv")}, cmdTrend).rc,
            0);
        QCOMPARE(command(dir.path(),
                         {"compare", "--mkey", mkey, "--mkey", mkey, "--out", out.filePath("c.pdf")},
                         cmdCompare)
                     .rc,
                 0);
        QStringList logged;
        auto db = mainOf(dir.path());
        readAuditRows(*db, {}, [&](const AuditRow& r) {
            logged << r.action + QLatin1Char(' ') + (r.custNo == custNo ? QStringLiteral("X") : r.custNo);
            return true;
        });
        QCOMPARE(logged, (QStringList{"operator.add ", "subject.add X", "measurement.add X", "pdf X",
                                      "trend.view X", "pdf X", "pdf X"}));
    }
};

QTEST_MAIN(TestCliAudit)
#include "test_cliaudit.moc"
