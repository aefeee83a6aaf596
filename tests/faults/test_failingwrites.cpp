// Every write path against a disk that fills up: SQLite's files through a VFS
// that refuses writes after a budget, plain files through the file-size limit
// of a child process. Each reports the failure and leaves what was there.
#include "../app/clirunner.h"
#include "../records/transferfixture.h"
#include "support/failingvfs.h"

#include "backup/backup.h"
#include "backup/retention.h"

#include <QCryptographicHash>

using namespace lumo;
using namespace lumo::test;

namespace {

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

std::unique_ptr<Database> openMain(const QString& path)
{
    Status st;
    return Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
}

// Many subjects with long texts in one change: more pages than the budgets below.
Status appendMany(Database& db, int count, const char* prefix = "F")
{
    Transaction t(db);
    if (!t.active()) return t.begun();
    for (int i = 0; i < count; ++i) {
        SubjectRow s;
        s.CUSTNO = QLatin1String(prefix) + QString::number(i);
        s.MEMO = QString(400, QChar(0x7d00 + i % 50));
        if (Status st = SubjectStore(db).append(s); !st) return st;
    }
    return t.commit();
}

} // namespace

class TestFailingWrites : public QObject
{
    Q_OBJECT
private slots:
    void recordsTransaction_data()
    {
        QTest::addColumn<qint64>("budget");
        QTest::newRow("nothing fits") << qint64(0);
        QTest::newRow("one page") << qint64(4096);
        QTest::newRow("part of the log") << qint64(60000);
        QTest::newRow("most of the log") << qint64(400000);
    }
    void recordsTransaction()
    {
        QFETCH(qint64, budget);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("lumo4.mdb"));
        QStringList before;
        {
            Status st;
            auto db = Database::create(path, FileKind::Main, &st);
            fillPractice(*db);
            before = everyRow(*db);
        }
        FailingVfs vfs;
        {
            auto db = openMain(path);
            QVERIFY(db);
            vfs.failAfter(budget);
            const Status s = appendMany(*db, 600);
            QVERIFY(!s);
            QVERIFY(!s.error.isEmpty());
            vfs.failAfter(-1);
        }
        QVERIFY(vfs.refused() > 0);
        auto db = openMain(path);
        QVERIFY(db);
        QVERIFY(db->checkIntegrity());
        QCOMPARE(everyRow(*db), before);
    }

    void backupAndRestore_data()
    {
        QTest::addColumn<qint64>("budget");
        QTest::newRow("nothing fits") << qint64(0);
        QTest::newRow("a few pages") << qint64(20000);
        QTest::newRow("most of it") << qint64(150000);
    }
    void backupAndRestore()
    {
        QFETCH(qint64, budget);
        QTemporaryDir tmp;
        const QString dir = tmp.path() + QLatin1Char('/');
        const QString main = tmp.filePath(QStringLiteral("lumo4.mdb"));
        {
            Status st;
            auto db = Database::create(main, FileKind::Main, &st);
            fillPractice(*db);
            QVERIFY(appendMany(*db, 400));
        }
        const BackupResult first = runDailyBackup(dir, QDate(2026, 12, 8));
        QVERIFY(first.status);
        const QByteArray firstCopy = hashOf(first.path);
        QVERIFY(appendMany(*openMain(main), 1, "later"));
        FailingVfs vfs;
        vfs.failAfter(budget);
        const BackupResult second =
            makeBackup(main, dir + QStringLiteral("Backup"), QDate(2026, 12, 8), true);
        QVERIFY(!second.status);
        const Status restored = restoreBackup(first.path, dir).status;
        QVERIFY(!restored);
        vfs.failAfter(-1);
        // The earlier copy, the database and nothing else.
        QCOMPARE(hashOf(first.path), firstCopy);
        QCOMPARE(
            QDir(dir + QStringLiteral("Backup")).entryList(QDir::Files | QDir::Hidden),
            (QStringList{QStringLiteral("lumo4-20261208.mdb"), QStringLiteral("lumo4-20261208.mdb.json")}));
        QVERIFY(!QFile::exists(dir + QLatin1String(BeforeRestoreFile)));
        QVERIFY(!QFile::exists(dir + QStringLiteral("lumo4_restoring.mdb")));
        auto db = openMain(main);
        QVERIFY(db && db->checkIntegrity());
        QCOMPARE(countOf(*db, "ZUCUST"), 404);
    }

    void commandsOnAFullDisk_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("export to a stick with an earlier transfer file") << "export";
        QTest::newRow("backup over the day's copy") << "backup";
    }
    void commandsOnAFullDisk()
    {
        QFETCH(QString, command);
        QTemporaryDir tmp;
        const QString data = tmp.filePath(QStringLiteral("data"));
        QCOMPARE(runCli({"--data-dir", data, "init"}).exitCode, 0);
        QVERIFY(appendMany(*openMain(data + QStringLiteral("/lumo4.mdb")), 300));
        const QString stick = tmp.filePath(QStringLiteral("stick"));
        QVERIFY(QDir().mkpath(stick));
        const QStringList args = command == QLatin1String("export")
                                     ? QStringList{"--data-dir", data, "export", "--to", stick, "--records"}
                                     : QStringList{"--data-dir", data, "backup"};
        const QString written = command == QLatin1String("export") ? stick + QStringLiteral("/ZuTran.mdb")
                                                                   : data + QStringLiteral("/Backup/") +
                                                                         backupFileName(QDate::currentDate());
        CliRun r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QByteArray earlier = hashOf(written);
        QVERIFY(!earlier.isEmpty());
        // A change since, so that a copy that went through would differ.
        QVERIFY(appendMany(*openMain(data + QStringLiteral("/lumo4.mdb")), 1, "later"));
        r = runCli(args, {}, 64 * 1024);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(!r.err.trimmed().isEmpty());
        QCOMPARE(hashOf(written), earlier);
        QStringList files{QFileInfo(written).fileName()};
        if (command == QLatin1String("backup"))
            files << QFileInfo(written).fileName() + QStringLiteral(".json");
        QCOMPARE(QDir(QFileInfo(written).path()).entryList(QDir::Files | QDir::Hidden), files);
        auto db = openMain(data + QStringLiteral("/lumo4.mdb"));
        QVERIFY(db && db->checkIntegrity());
        QCOMPARE(countOf(*db, "ZUCUST"), 301);
    }
};

QTEST_GUILESS_MAIN(TestFailingWrites)
#include "test_failingwrites.moc"
