// Transfer files as others hand them over: left by a crash with a journal or
// a log beside them, carrying code of their own or dates without bounds, a
// link named like a journal in the folder, temporary files of a killed
// export, a folder the operator may not write. The operator's files are only
// read; every import is all or nothing.
#include "records/transferflow.h"
#include "support/permissions.h"
#include "transferfixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <sys/stat.h>

using namespace lumo;
using namespace lumo::test;

namespace {

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray("absent");
}

int modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

QStringList namesOf(Database& db)
{
    QStringList names;
    QSqlQuery q(db.sql());
    q.exec(QStringLiteral("SELECT NAME FROM ZUCUST ORDER BY MKEY"));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

// A scratch connection that writes the way another program (or a crash) leaves a file.
struct Writer
{
    QString name;
    QSqlDatabase db;
    explicit Writer(const QString& path, const QString& tag) : name(QStringLiteral("writer-") + tag)
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Writer()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    bool exec(const QString& sql) { return QSqlQuery(db).exec(sql); }
};

// The transfer file in `folder` as a crash leaves it: `how` is "journal" (an
// unfinished change whose pages already reached the file, its rollback
// journal beside it) or "log" (committed rows still only in the write-ahead log).
void leaveAsACrashWould(const QString& exported, const QString& folder, const QString& how)
{
    const QString scratch = exported + QStringLiteral(".scratch");
    QVERIFY(QFile::copy(exported, scratch));
    const QString target = folder + QStringLiteral("/ZuTran.mdb");
    QFile::remove(target);
    {
        Writer w(scratch, how);
        if (how == QLatin1String("journal")) {
            // A small cache: the change's pages go to the file before its commit.
            QVERIFY(w.exec(QStringLiteral("PRAGMA cache_size = 10")));
            QVERIFY(w.exec(QStringLiteral("BEGIN")));
            QVERIFY(w.exec(QStringLiteral("UPDATE ZUCUST SET NAME = 'uncommitted'")));
            for (int i = 0; i < 200; ++i)
                QVERIFY(
                    w.exec(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('U%1', 'uncommitted' || "
                                          "hex(randomblob(1000)))")
                               .arg(i)));
            QVERIFY(hashOf(scratch) != hashOf(exported)); // the pages are in the file
        } else {
            QVERIFY(w.exec(QStringLiteral("PRAGMA journal_mode = WAL")));
            QVERIFY(w.exec(QStringLiteral("PRAGMA wal_autocheckpoint = 0")));
            QVERIFY(w.exec(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('L1', 'in the log')")));
        }
        const QString companion =
            how == QLatin1String("journal") ? QStringLiteral("-journal") : QStringLiteral("-wal");
        QVERIFY(QFile::exists(scratch + companion));
        QVERIFY(QFile::copy(scratch, target));
        QVERIFY(QFile::copy(scratch + companion, target + companion));
        if (how == QLatin1String("journal")) w.exec(QStringLiteral("ROLLBACK"));
    }
    QFile::remove(scratch);
}

// A super-journal record at the journal's end: its name is a file SQLite
// deletes after rolling the journal back.
void nameASuperJournal(const QString& journal, const QString& victim)
{
    QFile f(journal);
    QVERIFY(f.open(QIODevice::Append));
    const QByteArray name = QFile::encodeName(victim);
    auto be32 = [](quint32 v) {
        const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(b, 4);
    };
    quint32 sum = 0;
    for (char c : name)
        sum += quint32(quint8(c));
    f.write(be32(262145) + name + be32(quint32(name.size())) + be32(sum) +
            QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8));
}

} // namespace

class TestTransferFiles : public QObject
{
    Q_OBJECT
private slots:
    void readAsSqlitePresentsItAfterACrash_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("names");
        const QStringList practice{u("陳志明 C1"), u("陳志明 C2"), u("陳志明 C3")}; // exported by CUSTNO
        QTest::newRow("an unfinished change and its journal") << "journal" << practice;
        QTest::newRow("committed rows in the log") << "log" << (practice + QStringList{u("in the log")});
    }
    void readAsSqlitePresentsItAfterACrash()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, names);
        TransferPractice source;
        fillPractice(*source.main);
        const QString stick = source.folder(QStringLiteral("stick"));
        QCOMPARE(source.flow().runExport(ExportRequest{stick, {true, true}, false, false}),
                 TransferOutcome::Done);
        leaveAsACrashWould(stick + QStringLiteral("/ZuTran.mdb"), stick, how);
        QStringList files = QDir(stick).entryList(QDir::Files);
        QVector<QByteArray> before;
        for (const QString& f : files)
            before << hashOf(QDir(stick).filePath(f));

        TransferPractice p;
        QCOMPARE(p.flow().runImport(ImportRequest{stick, {false, true}, false}), TransferOutcome::Done);
        QCOMPARE(namesOf(*p.main), names);
        // The operator's files as they were: nothing rolled back or folded in there.
        QCOMPARE(QDir(stick).entryList(QDir::Files), files);
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(hashOf(QDir(stick).filePath(files[i])), before[i]);
    }

    void aJournalNamingAnotherFileIsRefused()
    {
        TransferPractice source;
        fillPractice(*source.main);
        const QString stick = source.folder(QStringLiteral("stick"));
        source.flow().runExport(ExportRequest{stick, {true, true}, false, false});
        leaveAsACrashWould(stick + QStringLiteral("/ZuTran.mdb"), stick, QStringLiteral("journal"));
        const QString victim = source.dir.filePath(QStringLiteral("victim.txt"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("the operator's file\n");
        v.close();
        nameASuperJournal(stick + QStringLiteral("/ZuTran.mdb-journal"), victim);
        TransferPractice p;
        const QStringList before = everyRow(*p.main);
        QCOMPARE(p.flow().runImport(ImportRequest{stick, {true, true}, false}), TransferOutcome::Failed);
        QVERIFY2(p.shownTexts().last().contains(u("交易記錄指向其他檔案")),
                 qPrintable(p.shownTexts().last()));
        QVERIFY(QFile::exists(victim));
        QCOMPARE(everyRow(*p.main), before);
    }

    void refusedBeforeAnythingChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a trigger that wipes the subjects")
            << "CREATE TRIGGER wipe AFTER INSERT ON ZUDATA BEGIN DELETE FROM ZUCUST; END"
            << u("觸發程序 wipe");
        QTest::newRow("a generated column of 2 GB a row")
            << "ALTER TABLE ZUDATA ADD COLUMN BIG BLOB AS (zeroblob(2000000000))" << u("資料表 ZUDATA");
        QTest::newRow("a view") << "CREATE VIEW v AS SELECT * FROM ZUCUST" << u("檢視表 v");
        QTest::newRow("a measurement dated 1e16") << "UPDATE ZUDATA SET ZUDATE = 1e16 WHERE MKEY = 4"
                                                  << u("測量日期 1e+16 不在 1900/01/01 至 2100/12/31 之間");
        QTest::newRow("a measurement dated 1e300")
            << "UPDATE ZUDATA SET ZUDATE = 1e300 WHERE MKEY = 6" << u("測量日期 1e+300");
        QTest::newRow("a day before 1900")
            << "UPDATE ZUDATA SET ZUDATE = 1.999 WHERE MKEY = 1" << u("測量日期 1.999");
        QTest::newRow("the first day of 2101")
            << "UPDATE ZUDATA SET ZUDATE = 73416 WHERE MKEY = 1" << u("測量日期 73416");
    }
    void refusedBeforeAnythingChanges()
    {
        QFETCH(QString, change);
        QFETCH(QString, expected);
        TransferPractice source;
        fillPractice(*source.main);
        const QString stick = source.folder(QStringLiteral("stick"));
        source.flow().runExport(ExportRequest{stick, {true, true}, false, false});
        {
            Writer w(stick + QStringLiteral("/ZuTran.mdb"), QStringLiteral("change"));
            QVERIFY(w.exec(change));
        }
        TransferPractice p;
        fillPractice(*p.main, QStringLiteral("own"));
        const QStringList before = everyRow(*p.main);
        QCOMPARE(p.flow().runImport(ImportRequest{stick, {true, true}, true}), TransferOutcome::Failed);
        QVERIFY2(p.shownTexts().last().contains(expected), qPrintable(p.shownTexts().last()));
        QCOMPARE(everyRow(*p.main), before);
    }

    // 1900-01-01 00:00 and 2100-12-31 23:59:59 are the bounds, both inside.
    void datesAtTheBoundsArrive()
    {
        TransferPractice source;
        fillPractice(*source.main);
        QSqlQuery q(source.main->sql());
        QVERIFY(q.exec(QStringLiteral("UPDATE ZUDATA SET ZUDATE = 2 WHERE MKEY = 1")));
        QVERIFY(q.exec(QStringLiteral("UPDATE ZUDATA SET ZUDATE = 73415 + 86399.0 / 86400 WHERE MKEY = 2")));
        const QString stick = source.folder(QStringLiteral("stick"));
        source.flow().runExport(ExportRequest{stick, {false, true}, false, false});
        TransferPractice p;
        QCOMPARE(p.flow().runImport(ImportRequest{stick, {false, true}, false}), TransferOutcome::Done);
        QCOMPARE(countOf(*p.main, "ZUDATA"), 6);
    }

    // A link named like the transfer file's journal is removed as a link: what
    // it points to keeps its mode and its content. Temporary files a killed
    // export left go; a file of the operator's with a like name stays.
    void theExportFolderAsTheOperatorLeftIt()
    {
        TransferPractice p;
        fillPractice(*p.main);
        const QString stick = p.folder(QStringLiteral("stick"));
        const QString elsewhere = p.dir.filePath(QStringLiteral("notes.txt"));
        QFile notes(elsewhere);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("keep\n");
        notes.close();
        QVERIFY(QFile::setPermissions(elsewhere, QFile::ReadOwner));
        QVERIFY(QFile::link(elsewhere, stick + QStringLiteral("/ZuTran.mdb-journal")));
        for (const char* name : {"ZuTran.mdb.Ab3dE9", "ZuTran.mdb.lumo-x1Y2z3", "ZuTran.mdb.backup"})
            QFile(stick + QLatin1Char('/') + QLatin1String(name)).open(QIODevice::WriteOnly);
        QCOMPARE(p.flow().runExport(ExportRequest{stick, {true, true}, false, false}), TransferOutcome::Done);
        QCOMPARE(modeOf(elsewhere), 0400);
        QCOMPARE(hashOf(elsewhere), QCryptographicHash::hash("keep\n", QCryptographicHash::Sha256));
        QCOMPARE(sorted(QDir(stick).entryList(QDir::Files | QDir::Hidden | QDir::System)),
                 (QStringList{QStringLiteral("ZuTran.mdb"), QStringLiteral("ZuTran.mdb.backup")}));
        // Nothing of the operation's own stays in the data directory.
        QCOMPARE(sorted(QDir(p.dataDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)),
                 (QStringList{QStringLiteral("Zuspa.mdb"), QStringLiteral("lumo4.mdb"),
                              QStringLiteral("lumo4.mdb-shm"), QStringLiteral("lumo4.mdb-wal")}));
    }

    void exportToAReadOnlyDirectory()
    {
        TransferPractice p;
        fillPractice(*p.main);
        const QString dir = p.folder(QStringLiteral("locked"));
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                               QFile::ExeOther));
        TransferOutcome outcome;
        {
            PermissionsEnforced enforced;
            QVERIFY2(enforced.ok(), "the permission-overriding capabilities could not be dropped");
            outcome = p.flow().runExport(ExportRequest{dir, {true, true}, true, false});
        }
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(outcome, TransferOutcome::Failed);
        QCOMPARE(p.shownTexts().last(), u("磁片或檔案是唯讀格式 !! 請排除問題後重新匯出資料。"));
        QCOMPARE(p.tones.last(), 2);
        QVERIFY(QDir(dir).entryList(QDir::Files | QDir::Hidden).isEmpty()); // not even a partial file
        QVERIFY(!QFile::exists(p.dataDir + QStringLiteral("ZuTran.mdb")));
    }
};

QTEST_MAIN(TestTransferFiles)
#include "test_transfer_files.moc"
