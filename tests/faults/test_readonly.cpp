// Where nothing can be written: a read-only data directory, a read-only main
// database and a full disk. lumo-cli refuses each command that writes before
// it does anything; the start-up opens the database for reading and says why.
#include "../app/clirunner.h"
#include "support/failingvfs.h"
#include "support/permissions.h"

#include "records/subjects.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/prctl.h>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// lumo-cli as a user whom file permissions bind: a child of root regains
// every capability of its bounding set when it starts a program, so the
// overriding ones are taken from that set first (without effect for others).
CliRun runBound(const QStringList& args)
{
    QProcess p;
    p.setChildProcessModifier([] {
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
    });
    p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), args);
    CliRun r;
    r.finished = p.waitForFinished(60000);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Every entry under a folder with its content's hash: what "nothing changed" means.
QStringList snapshot(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // A reader of a database in write-ahead mode leaves its index and an
        // empty log behind where it may not remove them; neither holds data.
        if (path.endsWith(QLatin1String("-shm")) ||
            (path.endsWith(QLatin1String("-wal")) && it.fileInfo().size() == 0))
            continue;
        QFile f(path);
        const QByteArray hash =
            it.fileInfo().isFile() && f.open(QIODevice::ReadOnly)
                ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()
                : QByteArray("dir");
        out << QDir(dir).relativeFilePath(path) + QLatin1Char(' ') + QString::fromLatin1(hash);
    }
    out.sort();
    return out;
}

void setWritable(const QString& path, bool writable)
{
    QFile::Permissions p = QFile::ReadOwner | QFile::ReadUser;
    if (QFileInfo(path).isDir()) p |= QFile::ExeOwner | QFile::ExeUser;
    if (writable) p |= QFile::WriteOwner | QFile::WriteUser;
    QFile::setPermissions(path, p);
}

// A data directory prepared as the program prepares it, with one subject.
struct Practice
{
    QTemporaryDir tmp;
    QString data = tmp.filePath(QStringLiteral("data"));
    QString main = data + QStringLiteral("/lumo4.mdb");

    Practice()
    {
        const CliRun r = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("init")});
        if (r.exitCode != 0) qFatal("init: %s", qPrintable(r.err));
        Status st;
        auto db = Database::open(main, FileKind::Main, Database::Access::ReadWrite, &st);
        SubjectRow s;
        s.CUSTNO = QStringLiteral("R1");
        if (!db || !SubjectStore(*db).append(s)) qFatal("no subject");
    }
    // "folder": the data directory and all in it; "database": lumo4.mdb alone.
    void lock(const QString& what, bool locked)
    {
        if (what == QLatin1String("database")) {
            setWritable(main, !locked);
            return;
        }
        QDirIterator it(data, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        QStringList all{data};
        while (it.hasNext())
            all << it.next();
        for (const QString& p : all)
            setWritable(p, !locked);
    }
    QString folder(const char* name)
    {
        const QString path = tmp.filePath(QLatin1String(name));
        QDir().mkpath(path);
        return path;
    }
};

qint64 subjects(Database& db)
{
    return db.rowCount(QStringLiteral("ZUCUST"));
}

} // namespace

class TestReadOnly : public QObject
{
    Q_OBJECT
private slots:
    // Each command that writes into the data directory, with nothing writable
    // there: exit 2, a message saying so, and not one file touched. Commands
    // that only read go on working.
    void commandsOnAReadOnlyDataDirectory_data()
    {
        QTest::addColumn<QString>("locked");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        const QString folder = u("資料目錄"), database = u("資料庫無法寫入");
        QTest::newRow("init") << "folder" << QStringList{"init"} << 2 << folder;
        QTest::newRow("calibrate") << "folder" << QStringList{"--simulate", "calibrate"} << 2 << folder;
        QTest::newRow("import") << "folder" << QStringList{"import", "--from", "@stick", "--records"} << 2
                                << folder;
        QTest::newRow("export") << "folder" << QStringList{"export", "--to", "@out", "--records"} << 2
                                << folder;
        QTest::newRow("backup") << "folder" << QStringList{"backup"} << 2 << folder;
        QTest::newRow("restore") << "folder" << QStringList{"restore", "@stick/lumo4.mdb"} << 2 << folder;
        QTest::newRow("demo") << "folder" << QStringList{"demo", "--out", "@out"} << 2 << folder;
        QTest::newRow("config dump reads") << "folder" << QStringList{"config", "dump"} << 0 << QString();
        QTest::newRow("export-csv reads")
            << "folder" << QStringList{"export-csv", "--to", "@out"} << 0 << QString();
        QTest::newRow("init, database alone") << "database" << QStringList{"init"} << 2 << database;
        QTest::newRow("calibrate, database alone")
            << "database" << QStringList{"--simulate", "calibrate"} << 2 << database;
        QTest::newRow("import, database alone")
            << "database" << QStringList{"import", "--from", "@stick", "--records"} << 2 << database;
    }
    void commandsOnAReadOnlyDataDirectory()
    {
        QFETCH(QString, locked);
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        Practice p;
        // A transfer file and a copy of the database elsewhere, for import and restore.
        const QString stick = p.folder("stick");
        QVERIFY(runCli({"--data-dir", p.data, "export", "--to", stick, "--records"}).exitCode == 0);
        QVERIFY(QFile::copy(stick + QStringLiteral("/ZuTran.mdb"), stick + QStringLiteral("/lumo4.mdb")));
        const QString out = p.folder("out");
        for (QString& a : command)
            a.replace(QStringLiteral("@stick"), stick).replace(QStringLiteral("@out"), out);

        const QStringList before = snapshot(p.data);
        p.lock(locked, true);
        const CliRun r = runBound(QStringList{"--data-dir", p.data} + command);
        p.lock(locked, false);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        if (exitCode == 2) {
            QVERIFY2(r.err.contains(u("資料目錄無法寫入，命令未執行")), qPrintable(r.err));
            QVERIFY2(r.err.contains(reason), qPrintable(r.err));
            QVERIFY2(!r.err.contains(QLatin1String("attempt to write")),
                     qPrintable(r.err)); // no raw engine text
        }
        QCOMPARE(snapshot(p.data), before);
        if (command.first() == QLatin1String("export")) QVERIFY(QDir(out).isEmpty());
    }

    // The start-up with a data directory that takes nothing: the program opens
    // the database for reading, says why, and no row is lost.
    void startupOpensForReading_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("read-only folder") << "folder";
        QTest::newRow("read-only database") << "database";
        QTest::newRow("full disk") << "disk";
    }
    void startupOpensForReading()
    {
        QFETCH(QString, cause);
        Practice p;
        const QStringList before = snapshot(p.data);
        SharedState state;
        state.DataDirectory = p.data + QLatin1Char('/');
        StartupOutcome o;
        {
            FailingVfs vfs;
            if (cause == QLatin1String("disk"))
                vfs.failAfter(0);
            else
                p.lock(cause, true);
            PermissionsEnforced enforced;
            QVERIFY2(enforced.ok(), "the permission-overriding capabilities could not be dropped");
            o = runStartupFileSteps(state, QStringLiteral(LUMO_SHARE_DIR));
            QVERIFY2(o.databases.ok, qPrintable(o.databases.error));
            QVERIFY(state.MainDatabase && state.MainDatabase->readOnly());
            QCOMPARE(subjects(*state.MainDatabase), qint64(1));
            state.MainDatabase.reset();
            state.KnowledgeDatabase.reset();
        }
        p.lock(cause, false);
        QVERIFY(!o.writable.ok);
        QVERIFY2(state.ReadOnlyReason.startsWith(u("資料目錄無法寫入，目前只能查閱資料")),
                 qPrintable(state.ReadOnlyReason));
        const QString expected = cause == QLatin1String("disk")       ? diskFullMessage()
                                 : cause == QLatin1String("database") ? databaseReadOnlyMessage()
                                                                      : u("唯讀或磁碟已滿");
        QVERIFY2(state.ReadOnlyReason.contains(expected), qPrintable(state.ReadOnlyReason));
        QCOMPARE(snapshot(p.data), before);
    }

    // Another workstation in the middle of a change holds the lock the check
    // waits for: the database is still one that takes writes.
    void anotherWriterIsNoReadOnlyDatabase()
    {
        Practice p;
        Status st;
        auto other = Database::open(p.main, FileKind::Main, Database::Access::ReadWrite, &st);
        auto mine = Database::open(p.main, FileKind::Main, Database::Access::ReadWrite, &st);
        QVERIFY(other && mine);
        Transaction busy(*other);
        QVERIFY(busy.active());
        mine->setBusyTimeout(100);
        const Status s = mine->checkWritable();
        QVERIFY2(s.ok, qPrintable(s.error));
    }

    // Where everything can be written the check says nothing and leaves the
    // rows as they were.
    void startupOnAWritableDirectory()
    {
        Practice p;
        SharedState state;
        state.DataDirectory = p.data + QLatin1Char('/');
        const StartupOutcome o = runStartupFileSteps(state, QStringLiteral(LUMO_SHARE_DIR));
        QVERIFY2(o.writable.ok, qPrintable(o.writable.error));
        QVERIFY(state.ReadOnlyReason.isEmpty());
        QVERIFY(!state.MainDatabase->readOnly());
        QCOMPARE(subjects(*state.MainDatabase), qint64(1));
    }
};

QTEST_GUILESS_MAIN(TestReadOnly)
#include "test_readonly.moc"
