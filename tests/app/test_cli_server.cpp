// lumo-cli with the main database on a server, as a practice moving to one
// runs it: --database, init, migrate in both directions (every field of every
// row compared here once more), backup and restore.
#include "clirunner.h"

#include "practice/auditlog.h"
#include "practice/operators.h"
#include "records/measurements.h"
#include "records/programs.h"
#include "records/schema.h"
#include "records/subjects.h"
#include "support/engines.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Every table the migration carries (the kept counts are the triggers' own),
// every column of the definition, in key order.
SqlRows rowsOf(Database& db, const TableDef& t)
{
    QStringList columns;
    for (const ColumnDef& c : t.columns)
        columns << c.name;
    SqlRows rows;
    db.run(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
               .arg(columns.join(QStringLiteral(", ")), t.name, keyColumnOf(FileKind::Main, t.name)),
           {}, &rows);
    return rows;
}

// The first difference between two tables' rows, or nothing.
QString difference(Database& a, Database& b)
{
    for (const TableDef& t : tablesOf(FileKind::Main)) {
        if (t.name == QLatin1String(KeptCountTable)) continue;
        const SqlRows x = rowsOf(a, t), y = rowsOf(b, t);
        if (x.size() != y.size())
            return QStringLiteral("%1: %2 rows, then %3").arg(t.name).arg(x.size()).arg(y.size());
        for (int r = 0; r < x.size(); ++r)
            for (int c = 0; c < t.columns.size(); ++c) {
                const QVariant& v = x[r][c];
                const QVariant& w = y[r][c];
                const bool same = v.isNull() || w.isNull()              ? v.isNull() == w.isNull()
                                  : v.typeId() == QMetaType::Double     ? v.toDouble() == w.toDouble()
                                  : v.typeId() == QMetaType::QByteArray ? v.toByteArray() == w.toByteArray()
                                                                        : v.toString() == w.toString();
                if (!same)
                    return QStringLiteral("%1 row %2 %3: %4 / %5")
                        .arg(t.name)
                        .arg(r)
                        .arg(t.columns[c].name, v.toString(), w.toString());
            }
    }
    return {};
}

// A practice with every kind of value: texts in two scripts, blanks and
// NULLs, line breaks, a picture with every byte, numbers with all their digits,
// keys with gaps.
void seed(Database& db)
{
    for (int i = 0; i < 4; ++i) {
        SubjectRow s;
        s.CUSTNO = i % 2 ? QStringLiteral("a%1").arg(i) : QStringLiteral("A%1").arg(i);
        s.NAME = u("王小明 %1").arg(i);
        s.SEX = i % 2;
        s.DBIRTH = i ? 21916.75 + i : 0;
        s.ADDR = u("台北市\r\n中山路");
        s.MEMO = QStringLiteral("line 1\r\nline 2\ttab");
        s.BTYPE = QStringLiteral("AB");
        s.HEIGHT = 172.123456789012;
        s.WEIGHT = 1e-7 * i;
        s.CUSTCAT = QStringLiteral("'quoted' \\ back");
        s.PrtFG = true;
        QVERIFY(SubjectStore(db).append(s).ok);
        MeasurementRow m;
        m.CUSTNO = s.CUSTNO;
        m.ZUDATE = 45678.123456789;
        m.ZUVOTA = i % 2;
        for (int p = 0; p < 24; ++p)
            m.ZU[size_t(p)] = 0.1 * p + i / 3.0;
        m.MEMO1 = u("處置\r\n記錄");
        m.MEMO2 = QStringLiteral("two");
        m.AutoKey = QStringLiteral("K-%1").arg(i);
        QVERIFY(MeasurementStore(db).append(m).ok);
    }
    QByteArray picture;
    for (int b = 0; b < 256; ++b)
        picture.append(char(b));
    ProgramRow p;
    p.ProNo = QStringLiteral("P1");
    p.ProName = u("療程");
    p.ProPict = picture;
    p.ProScal = true;
    p.ProFN = QStringLiteral("1010");
    p.ProPrg[0] = QStringLiteral("/usr/bin/true");
    QVERIFY(ProgramStore(db).append(p).ok);
    ConditionRow c;
    c.ProNo = QStringLiteral("p1");
    c.ProCond = QStringLiteral("100000000000000000000000");
    c.ProAGL = -3;
    c.ProAGH = 120;
    c.ProEng = 55.5;
    c.ProFlg = true;
    QVERIFY(ProgramStore(db).appendCondition(c).ok);
    QVERIFY(db.run(QStringLiteral("INSERT INTO LUMOCONV (SOURCEHASH, CONVDATE) VALUES ('abc', 45000.5)")).ok);
    QVERIFY(db.run(QStringLiteral("UPDATE ZUCUST SET TEL = NULL, EMAIL = '' WHERE MKEY = 2")).ok);
    QVERIFY(db.run(QStringLiteral("DELETE FROM ZUDATA WHERE MKEY = 3")).ok); // a gap in the keys
    // How measurements were taken (a blob, answers left NULL) and a calibration.
    QVERIFY(
        db.run(QStringLiteral("INSERT INTO ZUQUAL (DATAKEY, GRADES, QUALITY) VALUES (2, 'AB', ?)"), {picture})
            .ok);
    QVERIFY(db.run(QStringLiteral(
                       "INSERT INTO ZUCOND (DATAKEY, RESTMIN, EXERCISE, OPNOTE) VALUES (4, 7.5, 2, ?)"),
                   {u("飯後")})
                .ok);
    QVERIFY(
        db.run(QStringLiteral("INSERT INTO CALIBLOG (CALTIME, CALSTD, CALHIGH, PREVSTD, PREVHIGH, SUCCESS, "
                              "APPLIED) VALUES (45000.25, 1, 2, 3, 4, 0, 0)"))
            .ok);
}

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

} // namespace

class TestCliServer : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString dataDir(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void connectionStringsOnTheCommandLine_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "--database needs";
        QTest::newRow("semicolon") << "host=x;dbname=y" << u("分號");
        QTest::newRow("no server there") << "host=/nonexistent/socket dbname=x" << u("LUMO 資料庫啟動錯誤！");
    }
    void connectionStringsOnTheCommandLine()
    {
        QFETCH(QString, conninfo);
        QFETCH(QString, message);
        const CliRun r = runCli({"--data-dir", dataDir("bad"), "--database", conninfo, "init"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void initCreatesTheSchema()
    {
        const QString conninfo = newServerDatabase();
        for (int run = 0; run < 2; ++run) { // a second init finds it up to date
            const CliRun r = runCli({"--data-dir", dataDir("init"), "--database", conninfo, "init"});
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        }
        Status st;
        auto db = Database::connect({conninfo, {}}, &st);
        QVERIFY(db);
        int version = 0;
        QVERIFY(db->engine().schemaVersion(&version).ok);
        QCOMPARE(version, SchemaVersion);
        QVERIFY(!QFileInfo::exists(dataDir("init") + QStringLiteral("/lumo4.mdb")));
    }

    // The file to the server and back into a new file: every field of every
    // row as it was, the keys included; new rows get keys after them.
    void migrationBothWays()
    {
        const QString from = dataDir("from");
        QVERIFY(runCli({"--data-dir", from, "init"}).exitCode == 0);
        Status st;
        {
            auto file = Database::open(from + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                                       Database::Access::ReadWrite, &st);
            QVERIFY(file);
            seed(*file);
        }
        const QString conninfo = newServerDatabase();
        CliRun r = runCli({"--data-dir", from, "migrate", "--to", conninfo});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("ZUDATA 3")), qPrintable(r.out));
        auto file = Database::open(from + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                                   Database::Access::ReadOnly, &st);
        auto server = Database::connect({conninfo, {}}, &st);
        QVERIFY(file && server);
        QCOMPARE(difference(*file, *server), QString());

        const QString back = dataDir("back");
        r = runCli({"--data-dir", back, "migrate", "--from", conninfo});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        auto copy = Database::open(back + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                                   Database::Access::ReadWrite, &st);
        QVERIFY(copy);
        QCOMPARE(difference(*file, *copy), QString());

        for (Database* db : {server.get(), copy.get()}) {
            SubjectRow s;
            s.CUSTNO = QStringLiteral("NEW");
            QVERIFY(SubjectStore(*db).append(s).ok);
            QCOMPARE(s.MKEY, 5);
            QCOMPARE(SubjectStore(*db).count(), 5);
        }
    }

    // In practice mode each end logs the move: an export where the rows left,
    // an import where they arrived, both naming the two ends.
    void migrationLoggedAtBothEnds()
    {
        const QString from = dataDir("logged"), back = dataDir("logged-back");
        QVERIFY(runCli({"--data-dir", from, "init"}).exitCode == 0);
        Status st;
        {
            auto file = Database::open(from + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                                       Database::Access::ReadWrite, &st);
            QVERIFY(file &&
                    OperatorStore(*file).add(QStringLiteral("amy"), Role::Admin, QStringLiteral("pw")));
        }
        const QString conninfo = newServerDatabase();
        qputenv("LUMO_PASSWORD", "pw");
        const auto lastRow = [](const QString& dir, const QString& server) {
            Status s;
            auto db = server.isEmpty() ? Database::open(dir + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                                                        Database::Access::ReadOnly, &s)
                                       : Database::connect({server, {}}, &s);
            AuditRow last;
            if (db)
                readAuditRows(*db, {}, [&last](const AuditRow& r) {
                    last = r;
                    return true;
                });
            return last;
        };
        // Each step: the command's direction and data directory; the source's, then the target's last row.
        struct Step
        {
            const char* direction;
            QString dir, source, target;
        };
        for (const Step& step : {Step{"--to", from, from, {}}, Step{"--from", back, {}, back}}) {
            const CliRun r =
                runCli({"--data-dir", step.dir, "--operator", "amy", "migrate", step.direction, conninfo});
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
            const AuditRow out = lastRow(step.source, step.source.isEmpty() ? conninfo : QString());
            const AuditRow in = lastRow(step.target, step.target.isEmpty() ? conninfo : QString());
            QCOMPARE(out.action, QStringLiteral("export"));
            QCOMPARE(in.action, QStringLiteral("import"));
            QCOMPARE(out.detail, in.detail);
            QVERIFY2(in.detail.contains(u("lumo4.mdb → PostgreSQL")) == (step.target.isEmpty()) &&
                         in.detail.contains(QStringLiteral("PostgreSQL")) &&
                         in.detail.contains(QStringLiteral("lumo4.mdb")),
                     qPrintable(in.detail));
            QVERIFY(!in.detail.contains(QStringLiteral("password")));
            QCOMPARE(in.operatorName, QStringLiteral("amy"));
        }
        // The server is in practice mode now: moving it off into an empty
        // folder asks for the login the server's own commands ask for.
        const QString anonymous = dataDir("logged-anonymous");
        const CliRun r = runCli({"--data-dir", anonymous, "migrate", "--from", conninfo});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(u("需要登入")), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(anonymous + QStringLiteral("/lumo4.mdb")));
        qunsetenv("LUMO_PASSWORD");
    }

    // Nothing is overwritten: a server that holds rows, a file that exists.
    void migrationRefusals()
    {
        const QString data = dataDir("refusals");
        QVERIFY(runCli({"--data-dir", data, "init"}).exitCode == 0);
        const QString conninfo = newServerDatabase();
        Status st;
        {
            auto server = Database::connect({conninfo, {}}, &st);
            SubjectRow s;
            s.CUSTNO = QStringLiteral("THERE");
            QVERIFY(SubjectStore(*server).append(s).ok);
        }
        const QByteArray file = hashOf(data + QStringLiteral("/lumo4.mdb"));
        CliRun r = runCli({"--data-dir", data, "migrate", "--to", conninfo});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(u("已有本系統的資料")), qPrintable(r.err));
        r = runCli({"--data-dir", data, "migrate", "--from", conninfo});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(u("已經存在")), qPrintable(r.err));
        QCOMPARE(hashOf(data + QStringLiteral("/lumo4.mdb")), file);
        auto server = Database::connect({conninfo, {}}, &st);
        QCOMPARE(SubjectStore(*server).count(), 1);
    }

    // The server's backup is pg_dump's custom format; restore is the server's own.
    void backupAndRestoreOnTheServer()
    {
        const QString data = dataDir("backup");
        const QString conninfo = newServerDatabase();
        CliRun r = runCli({"--data-dir", data, "--database", conninfo, "init"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        r = runCli({"--data-dir", data, "--database", conninfo, "backup"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains(u("主資料庫在資料庫伺服器上")), qPrintable(r.err));
        QFile dump(r.out.trimmed());
        QVERIFY2(dump.open(QIODevice::ReadOnly), qPrintable(r.out));
        QCOMPARE(dump.read(5), QByteArray("PGDMP"));
        QVERIFY(dump.fileName().startsWith(data + QStringLiteral("/Backup/")));
        r = runCli({"--data-dir", data, "--database", conninfo, "restore", dump.fileName()});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("pg_restore")), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestCliServer)
#include "test_cli_server.moc"
