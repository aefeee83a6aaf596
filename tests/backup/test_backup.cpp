// Copies of the main database: made while it is in use, checked, kept by the
// day, and put back in place as a whole.
#include "backup/backup.h"
#include "backup/retention.h"

#include "../records/transferfixture.h"

#include <QCryptographicHash>
#include <QFile>
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
        const Status s = restoreBackup(copy, d.dir());
        QVERIFY2(s, qPrintable(s.error));
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
        QTest::newRow("not a database") << "text";
        QTest::newRow("a SQLite file of another program") << "foreign";
        QTest::newRow("an earlier restore's file is still there") << "kept";
        QTest::newRow("another workstation has the database open") << "open";
    }
    void restoreRefusals()
    {
        QFETCH(QString, kind);
        DataDir d;
        d.create();
        QString file = runDailyBackup(d.dir(), QDate(2026, 12, 9)).path;
        if (kind == QLatin1String("text")) {
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
        const Status s = restoreBackup(file, d.dir());
        QVERIFY(!s);
        QVERIFY(!s.error.isEmpty());
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
