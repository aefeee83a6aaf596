// Copies of the main database: made while it is in use, checked, kept by the
// day, and put back in place as a whole.
#include "backup/backup.h"
#include "backup/retention.h"
#include "backup/serverbackup.h"

#include "../records/transferfixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <sys/stat.h>

using namespace lumo;
using namespace lumo::test;

namespace {

struct DataDir
{
    QTemporaryDir tmp;
    QString dir() const { return tmp.path() + QLatin1Char('/'); }
    QString main() const { return tmp.filePath(QStringLiteral("lumo4.mdb")); }
    QString backups() const { return tmp.filePath(QStringLiteral("Backup")); }
    std::unique_ptr<Database> create(const QString& tag = QString())
    {
        Status st;
        auto db = Database::create(main(), FileKind::Main, &st);
        if (db) fillPractice(*db, tag);
        return db;
    }
    std::unique_ptr<Database> open(const QString& path) const
    {
        Status st;
        return Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
    }
};

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

int modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

void addSubject(Database& db, const QString& no)
{
    SubjectRow s;
    s.CUSTNO = no;
    s.NAME = no;
    QVERIFY(SubjectStore(db).append(s).ok);
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT
private slots:
    // pg_dump's argument never carries the password, in either form of a connection string.
    void dumpArgumentWithoutPassword_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("password");
        QTest::newRow("keywords") << "host=h dbname=lumo password='s3 cr:et' user=room1"
                                  << "s3 cr:et";
        QTest::newRow("URI") << "postgresql://room1:s3cret@h/lumo"
                             << "s3cret";
        QTest::newRow("none") << "host=h dbname=lumo"
                              << "";
    }
    void dumpArgumentWithoutPassword()
    {
        QFETCH(QString, conninfo);
        QFETCH(QString, password);
        QString taken;
        const QString argument = withoutPassword(conninfo, &taken);
        QCOMPARE(taken, password);
        QVERIFY(password.isEmpty() || !argument.contains(password));
        QVERIFY2(argument.contains(QLatin1String("dbname='lumo'")), qPrintable(argument));
    }

    void copyHoldsEveryRowWhileTheDatabaseIsInUse()
    {
        DataDir d;
        auto db = d.create();
        QVERIFY(db);
        // Another workstation is in the middle of a change: the copy is of what was committed.
        Transaction open(*db);
        addSubject(*db, QStringLiteral("uncommitted"));
        const QString to = d.tmp.filePath(QStringLiteral("copy.mdb"));
        QVector<qint64> rows;
        const Status s = copyDatabase(d.main(), to, &rows);
        QVERIFY2(s, qPrintable(s.error));
        QCOMPARE(rows, (QVector<qint64>{3, 6, 3, 6}));
        QVERIFY(!QFile::exists(to + QStringLiteral("-wal")));
        QCOMPARE(modeOf(to), 0600);
        auto copy = d.open(to);
        QVERIFY(copy);
        QVERIFY(!everyRow(*copy).join('\n').contains(QStringLiteral("uncommitted")));
        QCOMPARE(countOf(*copy, "ZUCUST"), 3);
        QCOMPARE(countOf(*copy, "ZUDATA"), 6);
    }

    void copyRefusesWhatIsNotADatabaseOfOurs_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text") << QByteArray("not a database\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("a SQLite header and nothing more") << QByteArray("SQLite format 3\0", 16);
    }
    void copyRefusesWhatIsNotADatabaseOfOurs()
    {
        QFETCH(QByteArray, content);
        DataDir d;
        const QString from = d.tmp.filePath(QStringLiteral("in.mdb"));
        QFile f(from);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        const QString to = d.tmp.filePath(QStringLiteral("copy.mdb"));
        QVERIFY(!copyDatabase(from, to));
        QVERIFY(!QFile::exists(to));
    }

    void oneCopyADayNamedByTheDay()
    {
        DataDir d;
        auto db = d.create();
        const QDate day(2026, 12, 9);
        BackupResult r = runDailyBackup(d.dir(), day);
        QVERIFY2(r.status, qPrintable(r.status.error));
        QCOMPARE(r.path, d.backups() + QStringLiteral("/lumo4-20261209.mdb"));
        QCOMPARE(modeOf(d.backups()), 0700);
        const QByteArray first = hashOf(r.path);
        addSubject(*db, QStringLiteral("later"));
        // Closed again that day: the morning's copy stays.
        r = runDailyBackup(d.dir(), day);
        QVERIFY(r.skipped);
        QCOMPARE(hashOf(d.backups() + QStringLiteral("/lumo4-20261209.mdb")), first);
        r = runDailyBackup(d.dir(), day.addDays(1));
        QVERIFY2(r.status, qPrintable(r.status.error));
        auto copy = d.open(r.path);
        QCOMPARE(countOf(*copy, "ZUCUST"), 4);
        // Beside it, its SHA-256 (taken before the copy was opened here).
        QFile manifest(r.path + QStringLiteral(".json"));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        const QJsonObject m = QJsonDocument::fromJson(manifest.readAll()).object();
        QCOMPARE(m.value(QStringLiteral("file")).toString(), QStringLiteral("lumo4-20261210.mdb"));
        QCOMPARE(m.value(QStringLiteral("rows")).toObject().value(QStringLiteral("ZUCUST")).toInt(), 4);
        QVERIFY(m.value(QStringLiteral("sha256")).toString().size() == 64);
    }

    // After the clock was set back the newest dates are older copies': the
    // copy just made stays all the same, and its manifest with it.
    void theCopyJustMadeStays()
    {
        DataDir d;
        auto db = d.create();
        for (int day = 2; day <= 20; ++day)
            QVERIFY(makeBackup(d.main(), d.backups(), QDate(2026, 12, day), true).status);
        // Its day, week and month all have newer copies.
        const BackupResult r = makeBackup(d.main(), d.backups(), QDate(2026, 12, 1), true);
        QVERIFY2(r.status, qPrintable(r.status.error));
        QVERIFY(QFile::exists(r.path));
        QVERIFY(QFile::exists(r.path + QStringLiteral(".json")));
        QVERIFY(!r.pruned.contains(QStringLiteral("lumo4-20261201.mdb")));
        // Pruned copies take their manifests with them.
        for (const QString& name : QDir(d.backups()).entryList({QStringLiteral("*.json")}))
            QVERIFY2(QFile::exists(d.backups() + QLatin1Char('/') + name.chopped(5)), qPrintable(name));
    }

    // Only folders the program makes are made private; a folder that is there
    // (the operator's, /tmp) and what a link points to keep their modes.
    void backupFoldersKeepTheirModes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("mode"); // of the folder named, after the copy
        QTest::newRow("an existing folder") << "existing" << 0755;
        QTest::newRow("a link to a folder") << "link" << 0750;
        QTest::newRow("new folders two deep") << "new" << 0700;
    }
    void backupFoldersKeepTheirModes()
    {
        QFETCH(QString, kind);
        QFETCH(int, mode);
        DataDir d;
        auto db = d.create();
        const QString target = d.tmp.filePath(QStringLiteral("shared"));
        QString named = target;
        if (kind == QLatin1String("new")) {
            named = target + QStringLiteral("/inner");
        } else {
            QVERIFY(QDir().mkpath(target));
            QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode_t(mode)), 0);
            if (kind == QLatin1String("link")) {
                named = d.tmp.filePath(QStringLiteral("link"));
                QVERIFY(QFile::link(target, named));
            }
        }
        const BackupResult r = makeBackup(d.main(), named, QDate(2026, 12, 9), false);
        QVERIFY2(r.status, qPrintable(r.status.error));
        QCOMPARE(modeOf(target), kind == QLatin1String("new") ? 0700 : mode);
        QCOMPARE(modeOf(named), mode);
        QVERIFY(QFile::exists(named + QStringLiteral("/lumo4-20261209.mdb")));
    }

    // A restored copy's programs come without their external commands unless
    // they are wanted, as an import's do: the buttons' flags and hints go too.
    void restoredCommandsOnlyWhenWanted_data()
    {
        QTest::addColumn<bool>("wanted");
        QTest::newRow("not wanted") << false;
        QTest::newRow("wanted") << true;
    }
    void restoredCommandsOnlyWhenWanted()
    {
        QFETCH(bool, wanted);
        DataDir d;
        d.create();
        const QString copy = runDailyBackup(d.dir(), QDate(2026, 12, 9)).path;
        QVERIFY(QFile::remove(copy + QStringLiteral(".json"))); // a copy from elsewhere
        const RestoreResult r = restoreBackup(copy, d.dir(), wanted);
        QVERIFY2(r.status, qPrintable(r.status.error));
        QVERIFY(!r.manifestMatched);
        QCOMPARE(r.commands.size(), 1);
        QCOMPARE(r.commands.first().program, QStringLiteral("/usr/bin/xdg-open"));
        QCOMPARE(r.commandsKept, wanted);
        auto db = d.open(d.main());
        for (const auto& pc : ProgramStore(*db).loadAll()) {
            const bool kept = wanted && pc.program.ProNo == QLatin1String("P2");
            QCOMPARE(pc.program.ProPrg[0], kept ? QStringLiteral("/usr/bin/xdg-open") : QString());
            QCOMPARE(pc.program.ProFN, wanted ? QStringLiteral("1010") : QString());
            QCOMPARE(pc.program.ProScrp[0], wanted ? u("說明一") : QString());
        }
    }

    void closingDailyPrunesTheFolder()
    {
        DataDir d;
        auto db = d.create();
        QDate day(2026, 1, 1);
        for (int i = 0; i < 40; ++i, day = day.addDays(1))
            QVERIFY(runDailyBackup(d.dir(), day).status);
        const QStringList left = QDir(d.backups()).entryList(QDir::Files);
        // 1 January to 9 February: the days 3 to 9 February, the newest of older weeks and of January.
        QVERIFY(left.size() < 40);
        QVERIFY(left.size() <= KeepDaily + KeepWeekly + KeepMonthly);
        for (int i = 1; i <= KeepDaily; ++i)
            QVERIFY(left.contains(backupFileName(day.addDays(-i))));
        QVERIFY(left.contains(QStringLiteral("lumo4-20260131.mdb"))); // January's newest
        QVERIFY(!left.contains(QStringLiteral("lumo4-20260101.mdb")));
    }

    void aFailedCopyLeavesNothingAndSaysWhy()
    {
        DataDir d;
        auto db = d.create();
        // Backup is a file here, so the folder cannot be made.
        QFile block(d.backups());
        QVERIFY(block.open(QIODevice::WriteOnly));
        block.close();
        const BackupResult r = runDailyBackup(d.dir(), QDate(2026, 12, 9));
        QVERIFY(!r.status);
        QVERIFY(r.status.error.contains(QStringLiteral("Backup")));
        QVERIFY(backupFailureMessage(r.status.error).startsWith(QString::fromUtf8("備份資料庫失敗")));
        QVERIFY(QFileInfo(d.backups()).isFile());
    }

    void restorePutsTheCopyInPlaceAndKeepsTheOld()
    {
        DataDir d;
        auto db = d.create();
        const QString copy = runDailyBackup(d.dir(), QDate(2026, 12, 9)).path;
        QVERIFY(!copy.isEmpty());
        addSubject(*db, QStringLiteral("after the copy"));
        const QStringList before = everyRow(*db);
        db.reset();
        const RestoreResult r = restoreBackup(copy, d.dir());
        QVERIFY2(r.status, qPrintable(r.status.error));
        QVERIFY(r.manifestMatched);
        // No log of the old file may meet the new one.
        QVERIFY(!QFile::exists(d.main() + QStringLiteral("-wal")));
        QVERIFY(!QFile::exists(d.main() + QStringLiteral("-shm")));
        auto restored = d.open(d.main());
        QVERIFY(restored);
        QCOMPARE(countOf(*restored, "ZUCUST"), 3);
        auto kept = d.open(d.tmp.filePath(QStringLiteral("lumo4_before_restore.mdb")));
        QVERIFY(kept);
        QCOMPARE(everyRow(*kept), before);
        QVERIFY(!QFile::exists(d.tmp.filePath(QStringLiteral("lumo4_restoring.mdb"))));
    }

    void restoreRefusals_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not a database") << "text" << u("不符");
        QTest::newRow("a SQLite file of another program") << "foreign" << u("資料表 notes");
        QTest::newRow("an earlier restore's file is still there") << "kept" << u("已存在");
        QTest::newRow("another workstation has the database open") << "open" << u("其他工作站");
        QTest::newRow("a memo changed after the copy")
            << "UPDATE ZUDATA SET MEMO1 = 'changed' WHERE MKEY = 1" << u("SHA-256");
        // A copy from elsewhere (no manifest) that carries code of its own.
        QTest::newRow("a trigger")
            << "-CREATE TRIGGER wipe AFTER INSERT ON ZUDATA BEGIN DELETE FROM ZUCUST; END"
            << u("觸發程序 wipe");
        QTest::newRow("a view") << "-CREATE VIEW v AS SELECT * FROM ZUCUST" << u("檢視表 v");
        QTest::newRow("a generated column")
            << "-ALTER TABLE ZUCUST ADD COLUMN X TEXT AS (zeroblob(1e9))" << u("資料表 ZUCUST");
    }
    void restoreRefusals()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        DataDir d;
        d.create();
        QString file = runDailyBackup(d.dir(), QDate(2026, 12, 9)).path;
        if (kind.contains(QLatin1Char(' '))) {
            if (kind.startsWith(QLatin1Char('-'))) QVERIFY(QFile::remove(file + QStringLiteral(".json")));
            auto copy = d.open(file);
            QVERIFY(QSqlQuery(copy->sql()).exec(kind.mid(kind.startsWith(QLatin1Char('-')) ? 1 : 0)));
        } else if (kind == QLatin1String("text")) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("hello");
        } else if (kind == QLatin1String("foreign")) {
            file = d.tmp.filePath(QStringLiteral("other.db"));
            {
                QSqlDatabase other =
                    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
                other.setDatabaseName(file);
                QVERIFY(other.open());
                QSqlQuery(other).exec(QStringLiteral("CREATE TABLE notes (a TEXT)"));
                other.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
        } else if (kind == QLatin1String("kept")) {
            QVERIFY(QFile::copy(d.main(), d.tmp.filePath(QStringLiteral("lumo4_before_restore.mdb"))));
        }
        std::unique_ptr<Database> holder;
        if (kind == QLatin1String("open")) holder = d.open(d.main());
        {
            auto db = d.open(d.main());
            addSubject(*db, QStringLiteral("newest"));
        }
        const QByteArray mainBefore = hashOf(d.main());
        const Status s = restoreBackup(file, d.dir()).status;
        QVERIFY(!s);
        QVERIFY2(s.error.contains(expected), qPrintable(s.error));
        if (kind != QLatin1String("open")) QCOMPARE(hashOf(d.main()), mainBefore);
        auto db = d.open(d.main());
        QVERIFY(db);
        QCOMPARE(countOf(*db, "ZUCUST"), 4);
        if (kind != QLatin1String("kept"))
            QVERIFY(!QFile::exists(d.tmp.filePath(QStringLiteral("lumo4_before_restore.mdb"))));
        QVERIFY(!QFile::exists(d.tmp.filePath(QStringLiteral("lumo4_restoring.mdb"))));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
