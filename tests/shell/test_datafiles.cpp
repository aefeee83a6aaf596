// The start-up file steps against what crashes, other workstations and full
// disks leave behind: logs of files that are gone, files held open elsewhere,
// copies cut short.
#include "records/measurements.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace lumo;

namespace {

QString delivered()
{
    return QStringLiteral(LUMO_SHARE_DIR);
}
QString writer()
{
    return QStringLiteral(LUMO_BIN_DIR "/records_writer");
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 rowsOf(const QString& path, const QString& custNo)
{
    Status st;
    auto db = Database::open(path, FileKind::Main, Database::Access::ReadOnly, &st);
    return db ? MeasurementStore(*db).countForSubject(custNo) : -1;
}

void mainDatabase(const QString& path)
{
    Status st;
    QVERIFY2(Database::create(path, FileKind::Main, &st), qPrintable(st.error));
}

// A workstation that appended `rows` measurements and then died without
// closing: its committed rows are only in the write-ahead log beside the file.
void crashedWriter(const QString& path, int rows)
{
    QProcess p;
    p.start(writer(), {path, QString::number(rows), QStringLiteral("crashed"), QStringLiteral("--hold")});
    QVERIFY(p.waitForStarted());
    QVERIFY(p.waitForReadyRead(60000));
    QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
    p.kill();
    QVERIFY(p.waitForFinished(10000));
    QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() > 0);
}

} // namespace

class TestDataFiles : public QObject
{
    Q_OBJECT
private slots:
    void staleLogOfAGoneMainDatabaseIsNotReplayed()
    {
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        const QString main = dir.filePath(QStringLiteral("lumo4.mdb"));
        mainDatabase(main);
        crashedWriter(main, 300);
        // The file is lost (deleted, restored from elsewhere...) and its log stays.
        QVERIFY(QFile::remove(main));
        QVERIFY(QFile::exists(main + QStringLiteral("-wal")));

        SharedState s;
        s.DataDirectory = dir.path() + QLatin1Char('/');
        const StartupOutcome o = runStartupFileSteps(s, delivered());
        QVERIFY2(o.databases.ok, qPrintable(o.databases.error));
        QVERIFY(s.MainDatabase);
        const Status integrity = s.MainDatabase->checkIntegrity();
        QVERIFY2(integrity.ok, qPrintable(integrity.error));
        QCOMPARE(MeasurementStore(*s.MainDatabase).countAll(),
                 0); // the template's empty tables, nothing of the log
    }

    void swapWaitsWhileAnotherProcessHoldsTheMainDatabase()
    {
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        const QString main = dir.filePath(QStringLiteral("lumo4.mdb"));
        mainDatabase(main);
        mainDatabase(dir.filePath(QStringLiteral("lumo430.mdb")));
        const QByteArray upgrade = contentOf(dir.filePath(QStringLiteral("lumo430.mdb")));

        QProcess other;
        other.start(writer(),
                    {main, QStringLiteral("100"), QStringLiteral("other"), QStringLiteral("--hold")});
        QVERIFY(other.waitForStarted());
        QVERIFY(other.waitForReadyRead(60000));
        QCOMPARE(other.readLine().trimmed(), QByteArray("ready"));

        const PreparedFiles prepared = prepareDataDirectory(dir.path());
        QVERIFY(!prepared.swap.ok);
        QVERIFY2(prepared.swap.error.contains(QString::fromUtf8("正由其他工作站或程式開啟中")),
                 qPrintable(prepared.swap.error));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo.mdb"))));
        QCOMPARE(contentOf(dir.filePath(QStringLiteral("lumo430.mdb"))), upgrade);

        // The other workstation goes on writing into the file it has open: nothing of it is lost.
        other.write("go\n");
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished(60000));
        QCOMPARE(other.exitCode(), 0);
        QCOMPARE(rowsOf(main, QStringLiteral("other")), 200);

        // Once it is closed, the next start swaps, log and all.
        const PreparedFiles later = prepareDataDirectory(dir.path());
        QVERIFY2(later.swap.ok, qPrintable(later.swap.error));
        QCOMPARE(rowsOf(dir.filePath(QStringLiteral("lumo.mdb")), QStringLiteral("other")), 200);
        QCOMPARE(rowsOf(main, QStringLiteral("other")), 0);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo430.mdb"))));
    }

    // What a move into the data directory killed before its last rename left:
    // lumo4.mdb.new goes (its source keeps every row) and no empty file takes
    // the main file's place; an Access conversion that had set its original
    // aside gets its last rename.
    void unfinishedMove_data()
    {
        QTest::addColumn<bool>("mainThere");
        QTest::addColumn<bool>("originalSetAside"); // lumo4_jet.mdb
        QTest::addColumn<QString>("after");         // lumo4.mdb afterwards: old, moved, none
        QTest::newRow("beside the main file") << true << false << "old";
        QTest::newRow("a move from a server, no main file") << false << false << "none";
        QTest::newRow("an Access conversion's last step") << false << true << "moved";
    }
    void unfinishedMove()
    {
        QFETCH(bool, mainThere);
        QFETCH(bool, originalSetAside);
        QFETCH(QString, after);
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        const QString main = dir.filePath(QStringLiteral("lumo4.mdb"));
        const QString fresh = movingMainDatabasePath(dir.path());
        mainDatabase(fresh);
        crashedWriter(fresh, 3); // committed rows in a log beside it, as a killed copy leaves them
        if (mainThere) mainDatabase(main);
        if (originalSetAside)
            QVERIFY(QFile::copy(delivered() + QStringLiteral("/Zuspa.mdb"),
                                dir.filePath(QStringLiteral("lumo4_jet.mdb"))));
        const PreparedFiles p = prepareDataDirectory(dir.path());
        QVERIFY(!QFile::exists(fresh) && !QFile::exists(fresh + QStringLiteral("-wal")));
        QCOMPARE(p.move.ok, after != QLatin1String("none"));
        QCOMPARE(QFile::exists(main), after != QLatin1String("none"));
        if (after != QLatin1String("none"))
            QCOMPARE(rowsOf(main, QStringLiteral("crashed")), after == QLatin1String("moved") ? 3 : 0);
    }

    void swapTakesACrashedWorkstationsLogAlong()
    {
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        const QString main = dir.filePath(QStringLiteral("lumo4.mdb"));
        mainDatabase(main);
        mainDatabase(dir.filePath(QStringLiteral("lumo430.mdb")));
        crashedWriter(main, 50);

        const PreparedFiles prepared = prepareDataDirectory(dir.path());
        QVERIFY2(prepared.swap.ok, qPrintable(prepared.swap.error));
        QCOMPARE(rowsOf(dir.filePath(QStringLiteral("lumo.mdb")), QStringLiteral("crashed")), 50);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo.mdb-wal"))));
        QVERIFY(!QFile::exists(main + QStringLiteral("-wal")));
        QCOMPARE(rowsOf(main, QStringLiteral("crashed")), 0);
    }

    void copiesCutShortLeaveNoFileAndAreReported()
    {
        QTemporaryDir dir;
        // A full disk as the file system reports it: no file may grow past the
        // largest of the template (with the filter's index), the master file and
        // the pictures, which the knowledge file exceeds.
        const auto sizeOf = [](const QString& name) { return QFileInfo(delivered() + name).size(); };
        qint64 limit = std::max(sizeOf(QStringLiteral("/Zuspa.mdb")), sizeOf(QStringLiteral("/lumoMTW.mdb")));
        for (const QFileInfo& picture :
             QDir(delivered() + QStringLiteral("/Data")).entryInfoList(QDir::Files))
            limit = std::max(limit, picture.size());
        QVERIFY(limit < sizeOf(QStringLiteral("/lumoTW.mdb")));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = rlim_t(limit);
        setrlimit(RLIMIT_FSIZE, &small);
        const CopiedFiles copied = copyDeliveredFiles(delivered(), dir.path());
        setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(!copied.status().ok);
        QVERIFY(copied.copied.contains(QStringLiteral("Zuspa.mdb")));
        QVERIFY(!copied.copied.contains(QStringLiteral("lumoTW.mdb")));
        QVERIFY(copied.status().error.contains(QStringLiteral("lumoTW.mdb")));
        const QStringList pictures = QDir(delivered() + QStringLiteral("/Data")).entryList(QDir::Files);
        QCOMPARE(copied.failures.size(), 1);
        // Whatever is in the data directory is whole; nothing else is there.
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QCOMPARE(contentOf(dir.filePath(f)), contentOf(delivered() + QLatin1Char('/') + f));
        QStringList present = QDir(dir.path()).entryList(QDir::Files);
        present.sort();
        QCOMPARE(present, (QStringList{QStringLiteral("Zuspa.mdb"), QStringLiteral("lumoMTW.mdb")}));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("Data"))).entryList(QDir::Files), pictures);

        // With room again, the next start copies what is missing.
        const CopiedFiles again = copyDeliveredFiles(delivered(), dir.path());
        QVERIFY2(again.status().ok, qPrintable(again.status().error));
        QCOMPARE(again.copied, QStringList{QStringLiteral("lumoTW.mdb")});
    }

    // What a process killed while writing left: gone at the next start,
    // unless a process (another workstation) still holds it, or it is not a
    // temporary file of the program's at all.
    void leftoversGoAtTheNextStart_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("kind"); // file, held, folder, held folder, link
        QTest::addColumn<bool>("kept");
        QTest::newRow("beside the configuration") << "ZuDefTw.ini.lumo-a1B2c3"
                                                  << "file" << false;
        QTest::newRow("an earlier version's name") << "ZuDefTw.ini.Ab3dE9"
                                                   << "file" << false;
        QTest::newRow("a copy of a delivered file") << "lumoTW.mdb.x7Yz9Q"
                                                    << "file" << false;
        QTest::newRow("a picture") << "Data/P01.bmp.lumo-Qw3rT6"
                                   << "file" << false;
        QTest::newRow("a working folder of a killed import") << "ZuTran-k1ll3d"
                                                             << "folder" << false;
        QTest::newRow("an earlier version's working copy") << "ZuTran.working.mdb"
                                                           << "file" << false;
        QTest::newRow("being written now") << "ZuDefTw.ini.lumo-h0ld3r"
                                           << "held" << true;
        QTest::newRow("a working folder in use") << "ZuTran-w0rk1n"
                                                 << "held folder" << true;
        QTest::newRow("the operator's copy") << "ZuDefTw.ini.backup"
                                             << "file" << true;
        QTest::newRow("the operator's dated copy") << "ZuDefTw.ini.202401"
                                                   << "file" << true;
        QTest::newRow("not a file the program writes") << "notes.txt.Ab3dE9"
                                                       << "file" << true;
        QTest::newRow("a link named like one") << "ZuDefTw.ini.lumo-l1nk00"
                                               << "link" << true;
    }
    void leftoversGoAtTheNextStart()
    {
        QFETCH(QString, entry);
        QFETCH(QString, kind);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const QString path = data + QLatin1Char('/') + entry;
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        const QString outside = dir.filePath(QStringLiteral("outside.txt"));
        int held = -1;
        if (kind.endsWith(QLatin1String("folder"))) {
            QVERIFY(QDir().mkpath(path));
            QFile(path + QStringLiteral("/ZuTran.mdb")).open(QIODevice::WriteOnly);
            QFile(path + QStringLiteral("/.lock")).open(QIODevice::WriteOnly);
            if (kind == QLatin1String("held folder"))
                held = ::open(QFile::encodeName(path + QStringLiteral("/.lock")).constData(), O_RDWR);
        } else if (kind == QLatin1String("link")) {
            QFile(outside).open(QIODevice::WriteOnly);
            QVERIFY(QFile::link(outside, path));
        } else {
            QFile(path).open(QIODevice::WriteOnly);
            if (kind == QLatin1String("held")) held = ::open(QFile::encodeName(path).constData(), O_RDWR);
        }
        if (held >= 0) QCOMPARE(::flock(held, LOCK_EX), 0);
        SharedState s;
        s.DataDirectory = data + QLatin1Char('/');
        runStartupFileSteps(s, delivered());
        QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), kept);
        if (kind == QLatin1String("link")) QVERIFY(QFile::exists(outside));
        if (held >= 0) ::close(held);
    }
};

QTEST_GUILESS_MAIN(TestDataFiles)
#include "test_datafiles.moc"
