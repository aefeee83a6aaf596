// Files with objects of their own (triggers, views, generated columns,
// defaults and checks that run code) are refused before a row is read, by
// every door a file comes in through: the main database, a transfer file, an
// older database waiting to be converted. This program's files of this and
// earlier versions are accepted.
#include "records/caliblog.h"
#include "records/database.h"
#include "records/legacysource.h"
#include "records/schemaobjects.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

// The CREATE TABLE of the definition with one column's declaration replaced.
QString tableWith(QSqlDatabase& db, const QString& table, const QString& from, const QString& to)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(table));
    q.next();
    QString sql = q.value(0).toString();
    if (!sql.contains(from)) return QStringLiteral("SELECT 'no %1'").arg(from);
    return sql.replace(from, to);
}

// A file of this program's layout, changed by `change` (SQL statements
// between "&&", or the named steps below).
QString makeFile(const QTemporaryDir& dir, const QString& change)
{
    const QString path = dir.filePath(QStringLiteral("ZuTran.mdb"));
    Status st;
    auto db = Database::create(path, FileKind::Main, &st);
    if (!db) return {};
    QSqlQuery q(db->sql());
    q.exec(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('C1', 'One')"));
    QStringList steps = change.split(QStringLiteral("&&"), Qt::SkipEmptyParts);
    for (QString step : steps) {
        step = step.trimmed();
        if (step.startsWith(QLatin1String("rebuild "))) {
            // rebuild TABLE|FROM|TO: the table made again with a declaration changed
            const QStringList a = step.mid(8).split(QLatin1Char('|'));
            const QString sql = tableWith(db->sql(), a[0], a[1], a[2]);
            q.exec(QStringLiteral("DROP TABLE %1").arg(a[0]));
            if (!q.exec(sql)) qWarning() << sql << q.lastError().text();
        } else if (step == QLatin1String("calibration log")) {
            CalibrationLog(*db).append(CalibrationEntry{QDateTime::currentDateTime(), 1, 2, 3, 4, true});
        } else if (!q.exec(step)) {
            qWarning() << step << q.lastError().text();
        }
    }
    db.reset();
    Database::settle(path);
    return path;
}

} // namespace

class TestSchemaObjects : public QObject
{
    Q_OBJECT
private slots:
    void thisProgramsFilesAreAccepted_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("this version") << "";
        QTest::newRow("version 1: no record of conversions")
            << "DROP TABLE LUMOCONV && PRAGMA user_version = 1";
        QTest::newRow("an index still to be made") << "DROP INDEX ZUCUST_NAME";
        QTest::newRow("the calibration log an earlier version made") << "calibration log";
        QTest::newRow("SQLite's statistics") << "ANALYZE";
        QTest::newRow("a column added as the definition declares it")
            << "ALTER TABLE ZUCUST DROP COLUMN CUSTCAT && ALTER TABLE ZUCUST ADD COLUMN CUSTCAT TEXT DEFAULT "
               "''";
    }
    void thisProgramsFilesAreAccepted()
    {
        QFETCH(QString, change);
        QTemporaryDir dir;
        const QString path = makeFile(dir, change);
        Status st;
        QVERIFY2(Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st),
                 qPrintable(st.error));
        QVERIFY2(openSqliteSource(path, &st), qPrintable(st.error));
    }

    void foreignObjectsAreRefused_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("named");
        QTest::newRow("a trigger")
            << "CREATE TRIGGER wipe AFTER INSERT ON ZUDATA BEGIN DELETE FROM ZUCUST; END"
            << u("觸發程序 wipe");
        QTest::newRow("a view") << "CREATE VIEW everyone AS SELECT * FROM ZUCUST" << u("檢視表 everyone");
        QTest::newRow("a view in a table's place")
            << "DROP TABLE ZUPRDT && CREATE VIEW ZUPRDT AS SELECT * FROM ZUPRO" << u("檢視表 ZUPRDT");
        QTest::newRow("a generated column")
            << "rebuild ZUCUST|NAME TEXT DEFAULT ''|NAME TEXT GENERATED ALWAYS AS (zeroblob(2000000000))"
            << u("NAME TEXT GENERATED");
        QTest::newRow("a generated column added")
            << "ALTER TABLE ZUDATA ADD COLUMN BIG BLOB AS (zeroblob(2000000000))" << u("BIG BLOB AS");
        QTest::newRow("a default that runs code")
            << "rebuild ZUCUST|MEMO TEXT DEFAULT ''|MEMO TEXT DEFAULT (randomblob(900000000))" << u("MEMO");
        QTest::newRow("another collation")
            << "rebuild ZUPRO|ProNo TEXT COLLATE NOCASE|ProNo TEXT COLLATE BINARY" << u("ProNo");
        QTest::newRow("a check") << "rebuild ZUCUST|PrtFG INTEGER DEFAULT 0|PrtFG INTEGER DEFAULT 0 CHECK "
                                    "(length(NAME) < 1000000000)"
                                 << u("CHECK");
        QTest::newRow("a table of another program") << "CREATE TABLE notes (a TEXT)" << u("資料表 notes");
        QTest::newRow("an index of another program")
            << "CREATE INDEX memos ON ZUCUST (MEMO)" << u("索引 memos");
        QTest::newRow("an index of ours on other columns")
            << "DROP INDEX ZUCS1 && CREATE INDEX ZUCS1 ON ZUCUST (lower(NAME))" << u("索引 ZUCS1");
        QTest::newRow("a name that hides itself") << "CREATE TRIGGER \"x\n\n\n\u202Eevil\" AFTER DELETE ON "
                                                     "ZUCUST BEGIN SELECT 1; END"
                                                  << u("x⟨換行×3⟩⟨U+202E⟩evil");
    }
    void foreignObjectsAreRefused()
    {
        QFETCH(QString, change);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QString path = makeFile(dir, change);
        const QByteArray before = hashOf(path);
        Status st;
        // The main database, read and written.
        QVERIFY(!Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st));
        QVERIFY2(st.error.contains(named), qPrintable(st.error));
        QVERIFY2(st.error.contains(u("不予使用")), qPrintable(st.error));
        // A transfer file or an older database, only read.
        QVERIFY(!openSqliteSource(path, &st));
        QVERIFY2(st.error.contains(named), qPrintable(st.error));
        QCOMPARE(hashOf(path), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    }
};

QTEST_GUILESS_MAIN(TestSchemaObjects)
#include "test_schemaobjects.moc"
