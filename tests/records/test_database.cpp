// The records layer against other workstations and foreign files: a lock held
// beyond the wait, files of another layout or a newer version, a conversion
// that dies between its commit and its rename.
#include "base/filesystemkind.h"
#include "records/caliblog.h"
#include "records/conversion.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

bool exec(Database& db, const QString& sql)
{
    QSqlQuery q(db.sql());
    return q.exec(sql);
}

qint64 count(Database& db, const char* table)
{
    QSqlQuery q(db.sql());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) && q.next()
               ? q.value(0).toLongLong()
               : -1;
}

// A main (or old) database with subjects S1..Sn, each with two measurements.
void fileWithRows(const QString& path, int subjects)
{
    Status st;
    auto db = Database::create(path, FileKind::Main, &st);
    QVERIFY2(db, qPrintable(st.error));
    for (int i = 1; i <= subjects; ++i) {
        SubjectRow s;
        s.CUSTNO = QStringLiteral("S%1").arg(i);
        QVERIFY(SubjectStore(*db).append(s).ok);
        for (int m = 0; m < 2; ++m) {
            MeasurementRow r;
            r.CUSTNO = s.CUSTNO;
            QVERIFY(MeasurementStore(*db).append(r).ok);
        }
    }
}

enum class Write
{
    DeleteSubject,
    Convert,
    AppendInTransaction,
    AppendAlone
};

} // namespace

Q_DECLARE_METATYPE(Write)

class TestDatabase : public QObject
{
    Q_OBJECT
private slots:
    void busyLockWritesNothing_data()
    {
        QTest::addColumn<Write>("write");
        QTest::newRow("delete a subject with its measurements") << Write::DeleteSubject;
        QTest::newRow("convert an older database") << Write::Convert;
        QTest::newRow("append inside a transaction") << Write::AppendInTransaction;
        QTest::newRow("append one row") << Write::AppendAlone;
    }
    void busyLockWritesNothing()
    {
        QFETCH(Write, write);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lumo4.mdb"));
        fileWithRows(path, 2);
        fileWithRows(dir.filePath(QStringLiteral("lumo.mdb")), 3);
        Status st;
        auto mine = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        auto other = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        QVERIFY(mine && other);
        mine->setBusyTimeout(200);
        // Another workstation holds the write lock longer than this one waits.
        QVERIFY(exec(*other, QStringLiteral("BEGIN IMMEDIATE")));

        Status result;
        switch (write) {
        case Write::DeleteSubject:
            result = SubjectStore(*mine).removeWithMeasurements(1);
            break;
        case Write::Convert:
            result = convertWaitingDatabase(*mine, dir.path(), nullptr);
            break;
        case Write::AppendInTransaction:
        case Write::AppendAlone: {
            std::optional<Transaction> t;
            if (write == Write::AppendInTransaction) t.emplace(*mine);
            if (t && !t->active()) {
                result = t->begun();
                break;
            }
            MeasurementRow r;
            r.CUSTNO = QStringLiteral("S1");
            result = MeasurementStore(*mine).append(r);
            if (result && t) result = t->commit();
            break;
        }
        }
        QVERIFY(!result.ok);
        QCOMPARE(result.error, QString::fromUtf8("資料庫正由其他工作站使用中，請稍後再試。"));

        QVERIFY(exec(*other, QStringLiteral("COMMIT")));
        QCOMPARE(count(*mine, "ZUCUST"), 2);
        QCOMPARE(count(*mine, "ZUDATA"), 4);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("lumo.mdb"))));
    }

    void foreignLayoutIsRefusedUntouched_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("named");
        QTest::newRow("missing column")
            << "ALTER TABLE ZUDATA DROP COLUMN ZU5" << QStringList{"ZUDATA", "ZU5"};
        QTest::newRow("text where a number belongs")
            << "ALTER TABLE ZUDATA DROP COLUMN ZU1; ALTER TABLE ZUDATA ADD COLUMN ZU1 TEXT"
            << QStringList{"ZU1", "TEXT"};
        QTest::newRow("text where a picture belongs")
            << "ALTER TABLE ZUPRO DROP COLUMN ProPict; ALTER TABLE ZUPRO ADD COLUMN ProPict TEXT"
            << QStringList{"ProPict"};
        QTest::newRow("a newer version")
            << QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion + 1)
            << QStringList{QString::number(SchemaVersion + 1), QString::fromUtf8("新版")};
        QTest::newRow("missing table") << "DROP TABLE ZUPRDT" << QStringList{"ZUPRDT"};
        QTest::newRow("calibration log without a column")
            << "ALTER TABLE CALIBLOG DROP COLUMN APPLIED" << QStringList{"CALIBLOG", "APPLIED"};
    }
    void foreignLayoutIsRefusedUntouched()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, named);
        QTemporaryDir dir;
        copyDeliveredFiles(QStringLiteral(LUMO_SHARE_DIR), dir.path());
        const QString path = dir.filePath(QStringLiteral("lumo4.mdb"));
        fileWithRows(path, 1);
        {
            Status st;
            auto db = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
            for (const QString& sql : change.split(QStringLiteral("; ")))
                QVERIFY2(exec(*db, sql), qPrintable(sql));
        }
        QVERIFY(Database::settle(path).ok);
        const QByteArray before = hashOf(path);

        SharedState s;
        s.DataDirectory = dir.path() + QLatin1Char('/');
        const StartupOutcome o = runStartupFileSteps(s, QStringLiteral(LUMO_SHARE_DIR));
        QVERIFY(!o.databases.ok);
        QVERIFY(o.databases.error.startsWith(QString::fromUtf8("LUMO 資料庫啟動錯誤！")));
        for (const QString& n : named)
            QVERIFY2(o.databases.error.contains(n), qPrintable(o.databases.error));
        QVERIFY(!s.MainDatabase);
        QCOMPARE(hashOf(path), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    }

    // Files of earlier versions opened for writing get what this version
    // defines: the conversion record, the calibration log, the side tables of
    // the measurements (version 4), and a log that
    // version 2 made on the fly gets APPLIED (1: every calibration of that
    // version was taken into use). One made by something else is refused for
    // reading and writing, and the file stays as it was.
    void olderLayoutIsUpgraded_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("logRows"); // -1: refused
        // No version before 4 had the measurements' side tables, none before 5 the merge table.
        const QString before4 = QStringLiteral("DROP TABLE ZUMERGE; DROP TABLE ZUQUAL; DROP TABLE ZUCOND; ");
        const QString oldLog =
            "CREATE TABLE CALIBLOG (LOGKEY INTEGER PRIMARY KEY AUTOINCREMENT, CALTIME REAL "
            "NOT NULL, CALSTD INTEGER NOT NULL, CALHIGH INTEGER NOT NULL, PREVSTD INTEGER "
            "NOT NULL, PREVHIGH INTEGER NOT NULL, SUCCESS INTEGER NOT NULL)";
        QTest::newRow("version 1") << before4 +
                                          "DROP TABLE LUMOCONV; DROP TABLE CALIBLOG; PRAGMA user_version = 1"
                                   << 0;
        QTest::newRow("version 3") << before4 + "PRAGMA user_version = 3" << 0;
        QTest::newRow("version 4, before the merge table")
            << "DROP TABLE ZUMERGE; PRAGMA user_version = 4" << 0;
        QTest::newRow("version 2 without a log")
            << before4 + "DROP TABLE CALIBLOG; PRAGMA user_version = 2" << 0;
        QTest::newRow("version 2 with its log")
            << before4 + "DROP TABLE CALIBLOG; " + oldLog +
                   "; INSERT INTO CALIBLOG VALUES (1, 46000.5, 2987, 2990, 4000, 4000, 0); "
                   "INSERT INTO CALIBLOG VALUES (2, 46001.5, 3996, 4000, 2987, 2990, 1); PRAGMA user_version "
                   "= 2"
            << 2;
        QTest::newRow("version 2 with a foreign log")
            << before4 +
                   "DROP TABLE CALIBLOG; CREATE TABLE CALIBLOG (SOMETHING TEXT); PRAGMA user_version = 2"
            << -1;
    }
    void olderLayoutIsUpgraded()
    {
        QFETCH(QString, change);
        QFETCH(int, logRows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lumo4.mdb"));
        fileWithRows(path, 1);
        {
            Status st;
            auto db = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
            for (const QString& sql : change.split(QStringLiteral("; ")))
                QVERIFY2(exec(*db, sql), qPrintable(sql));
        }
        Status st;
        auto db = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        if (logRows < 0) {
            // A table this program never defined is refused for reading too,
            // and the file keeps its version and rows.
            QVERIFY(!db);
            QVERIFY2(st.error.contains(QStringLiteral("CALIBLOG")), qPrintable(st.error));
            QVERIFY(Database::settle(path).ok);
            const QByteArray before = hashOf(path);
            QVERIFY(!Database::open(path, FileKind::Main, Database::Access::ReadOnly, &st));
            QVERIFY2(st.error.contains(QStringLiteral("CALIBLOG")), qPrintable(st.error));
            QCOMPARE(hashOf(path), before);
            return;
        }
        QVERIFY2(db, qPrintable(st.error));
        QCOMPARE(count(*db, "LUMOCONV"), 0);
        QCOMPARE(count(*db, "ZUQUAL"), 0);
        QCOMPARE(count(*db, "ZUCOND"), 0);
        QCOMPARE(count(*db, "ZUMERGE"), 0);
        QSqlQuery q(db->sql());
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
        QCOMPARE(q.value(0).toInt(), SchemaVersion);
        QCOMPARE(count(*db, "ZUDATA"), 2);
        CalibrationLog log(*db);
        QCOMPARE(int(log.latest(5).size()), logRows);
        for (const CalibrationEntry& e : log.latest(5))
            QVERIFY(e.applied);
        CalibrationEntry declined{QDateTime::currentDateTime(), 2000, 2100, 3996, 4000, false};
        declined.applied = false;
        QVERIFY(log.append(declined).ok);
        QCOMPARE(log.latest(1).first().applied, false);
        QCOMPARE(log.latest(1).first().previousStandard, 3996);
    }

    void conversionThatDiesBeforeItsRenameIsNotRepeated()
    {
        QTemporaryDir dir;
        const QString main = dir.filePath(QStringLiteral("lumo4.mdb"));
        const QString old = dir.filePath(QStringLiteral("lumo.mdb"));
        fileWithRows(main, 1);
        fileWithRows(old, 50);

        QProcess crasher;
        crasher.start(QStringLiteral(LUMO_BIN_DIR "/conversion_crasher"), {dir.path()});
        QVERIFY(crasher.waitForFinished(60000));
        QCOMPARE(crasher.exitStatus(), QProcess::CrashExit); // killed at the hook, after the commit
        QVERIFY(QFile::exists(old));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo_BAK.mdb"))));

        Status st;
        auto db = Database::open(main, FileKind::Main, Database::Access::ReadWrite, &st);
        QVERIFY2(db, qPrintable(st.error));
        QCOMPARE(count(*db, "ZUCUST"), 51);
        QCOMPARE(count(*db, "ZUDATA"), 102);

        // The next start finds the file converted: it only finishes the rename.
        st = convertWaitingDatabase(*db, dir.path(), nullptr);
        QVERIFY2(st.ok, qPrintable(st.error));
        QCOMPARE(count(*db, "ZUCUST"), 51);
        QCOMPARE(count(*db, "ZUDATA"), 102);
        QVERIFY(!QFile::exists(old));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("lumo_BAK.mdb"))));

        // The backup put back under the old name is the same file: not appended again.
        QVERIFY(QFile::copy(dir.filePath(QStringLiteral("lumo_BAK.mdb")), old));
        QVERIFY(convertWaitingDatabase(*db, dir.path(), nullptr).ok);
        QCOMPARE(count(*db, "ZUDATA"), 102);
    }

    void networkFileSystemTypes_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("network");
        QTest::newRow("nfs") << QByteArray("nfs") << true;
        QTest::newRow("nfs4") << QByteArray("nfs4") << true;
        QTest::newRow("cifs") << QByteArray("cifs") << true;
        QTest::newRow("smb3") << QByteArray("smb3") << true;
        QTest::newRow("sshfs through fuse") << QByteArray("fuse.sshfs") << true;
        QTest::newRow("upper case and blanks") << QByteArray(" NFS4\n") << true;
        QTest::newRow("ext4") << QByteArray("ext4") << false;
        QTest::newRow("tmpfs") << QByteArray("tmpfs") << false;
        QTest::newRow("a local fuse file system") << QByteArray("fuse.encfs") << false;
        QTest::newRow("overlay") << QByteArray("overlay") << false;
        QTest::newRow("unknown") << QByteArray() << false;
    }
    void networkFileSystemTypes()
    {
        QFETCH(QByteArray, type);
        QFETCH(bool, network);
        QCOMPARE(isNetworkFileSystemType(type), network);
    }

    // The journal follows where the file lies, also for a file that ran in WAL
    // mode before it was moved to a shared folder.
    void journalFollowsTheFolder_data()
    {
        QTest::addColumn<QByteArray>("forced");
        QTest::addColumn<QString>("mode");
        QTest::newRow("local disk") << QByteArray("0") << QStringLiteral("wal");
        QTest::newRow("network folder") << QByteArray("1") << QStringLiteral("delete");
    }
    void journalFollowsTheFolder()
    {
        QFETCH(QByteArray, forced);
        QFETCH(QString, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lumo4.mdb"));
        fileWithRows(path, 1);
        Status st;
        {
            qputenv("LUMO_NETWORK_FOLDER", "0");
            auto local = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
            QVERIFY2(local, qPrintable(st.error));
        }
        qputenv("LUMO_NETWORK_FOLDER", forced);
        auto db = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        qunsetenv("LUMO_NETWORK_FOLDER");
        QVERIFY2(db, qPrintable(st.error));
        QSqlQuery q(db->sql());
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), mode);
        MeasurementRow r;
        r.CUSTNO = QStringLiteral("S1");
        QVERIFY(MeasurementStore(*db).append(r).ok);
        QCOMPARE(count(*db, "ZUDATA"), 3);
        // The rollback journal leaves no log beside the file once the change is in.
        if (mode == QLatin1String("delete")) QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
