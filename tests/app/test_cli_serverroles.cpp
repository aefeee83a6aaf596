// The workstations' own logins on a server: the schema's owner grants a
// login what its work needs; that login does the practice's work, but the
// server refuses it every change of the audit log and of its guard.
#include "clirunner.h"

#include "practice/atrestnotice.h"
#include "practice/auditlog.h"
#include "practice/operators.h"
#include "records/serverroles.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Roles are the cluster's, shared by every database of this run.
QString roleName(const char* what)
{
    return QStringLiteral("lumo_%1_%2").arg(QLatin1String(what)).arg(QCoreApplication::applicationPid());
}

QString as(const QString& conninfo, const QString& role)
{
    const qsizetype at = conninfo.indexOf(QStringLiteral("user="));
    return conninfo.left(at) + QStringLiteral("user=") + role;
}

QString databaseOf(const QString& conninfo)
{
    return conninfo.section(QStringLiteral("dbname="), 1).section(QLatin1Char(' '), 0, 0);
}

std::unique_ptr<Database> connectAs(const QString& conninfo, const QString& role, Status* st)
{
    return Database::connect({as(conninfo, role), {}}, st);
}

} // namespace

class TestServerRoles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_owner = roleName("owner");
    QString m_room = roleName("room");
    QString m_deputy = roleName("deputy"); // a member of the owner's role

    // A database the owner made and granted to the room.
    QString grantedDatabase()
    {
        const QString conninfo = newServerDatabase(m_owner);
        const CliRun r =
            runCli({"--data-dir", m_dir.path(), "--database", conninfo, "server-grant", "--role", m_room});
        return r.exitCode == 0 ? conninfo : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& r : {m_owner, m_room, m_deputy})
            QCOMPARE(adminRun(QStringLiteral("CREATE ROLE %1 LOGIN").arg(r)), QString());
        QCOMPARE(adminRun(QStringLiteral("GRANT %1 TO %2").arg(m_owner, m_deputy)), QString());
    }

    void grantCommand_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("role");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("the owner grants") << "owner"
                                          << "room" << 0 << u("已授權登入角色");
        QTest::newRow("granted again") << "owner"
                                       << "room again" << 0 << u("已授權登入角色");
        QTest::newRow("a granted login is no owner") << "room"
                                                     << "room" << 2 << u("只有資料表的擁有者");
        QTest::newRow("a role that is not there") << "owner"
                                                  << "nobody" << 2 << u("沒有登入角色");
        QTest::newRow("the owner itself") << "owner"
                                          << "owner" << 2 << u("擁有資料表擁有者");
        QTest::newRow("a member of the owner's role") << "owner"
                                                      << "deputy" << 2 << u("擁有資料表擁有者");
        QTest::newRow("no server") << "file"
                                   << "room" << 2 << u("只用於伺服器");
        QTest::newRow("no role named") << "owner"
                                       << "" << 2 << u("usage:");
    }

    void grantCommand()
    {
        QFETCH(QString, login);
        QFETCH(QString, role);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const QString conninfo = newServerDatabase(m_owner);
        QVERIFY(!conninfo.isEmpty());
        const QHash<QString, QString> roles = {{"owner", m_owner},
                                               {"room", m_room},
                                               {"room again", m_room},
                                               {"deputy", m_deputy},
                                               {"nobody", roleName("nobody")}};
        QStringList args = {"--data-dir", m_dir.path()};
        if (login != QLatin1String("file")) args << "--database" << as(conninfo, roles.value(login));
        args << "server-grant";
        if (!role.isEmpty()) args << "--role" << roles.value(role);
        if (login == QLatin1String("room") || role == QLatin1String("room again")) {
            const CliRun first = runCli(
                {"--data-dir", m_dir.path(), "--database", conninfo, "server-grant", "--role", m_room});
            QVERIFY2(first.exitCode == 0, qPrintable(first.err));
        }
        const CliRun r = runCli(args);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
    }

    // In practice mode granting is an admin's act, and it is logged.
    void grantInPracticeMode_data()
    {
        QTest::addColumn<QString>("operatorName");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("an admin") << "boss" << 0;
        QTest::newRow("a practitioner") << "doc" << 2;
    }

    void grantInPracticeMode()
    {
        QFETCH(QString, operatorName);
        QFETCH(int, exitCode);
        const QString conninfo = newServerDatabase(m_owner);
        Status st;
        auto owner = Database::connect({conninfo, {}}, &st);
        QVERIFY2(owner, qPrintable(st.error));
        QVERIFY(OperatorStore(*owner).add(QStringLiteral("boss"), Role::Admin, QStringLiteral("pw")));
        QVERIFY(OperatorStore(*owner).add(QStringLiteral("doc"), Role::Practitioner, QStringLiteral("pw")));
        qputenv("LUMO_PASSWORD", "pw");
        const CliRun r = runCli({"--data-dir", m_dir.path(), "--database", conninfo, "--operator",
                                 operatorName, "server-grant", "--role", m_room});
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        AuditFilter granted;
        granted.action = QStringLiteral("server.grant");
        QStringList logged;
        QVERIFY(readAuditRows(*owner, granted, [&](const AuditRow& row) {
            logged << row.operatorName + QLatin1Char(' ') + row.detail;
            return true;
        }));
        QCOMPARE(logged,
                 exitCode == 0 ? QStringList{operatorName + QLatin1Char(' ') + m_room} : QStringList());
    }

    // What the room's login may do, and the server refusing what it may not.
    void workstationStatements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("read the log") << "SELECT COUNT(*) FROM LUMOAUDIT" << true;
        QTest::newRow("the append's lock") << "SELECT LUMO_AUDIT_LOCK()" << true;
        QTest::newRow("change a subject") << "UPDATE ZUCUST SET NAME = 'x'" << true;
        QTest::newRow("remove subjects") << "DELETE FROM ZUCUST" << true;
        QTest::newRow("change the log") << "UPDATE LUMOAUDIT SET DETAIL = 'x'" << false;
        QTest::newRow("remove from the log") << "DELETE FROM LUMOAUDIT" << false;
        QTest::newRow("empty the log") << "TRUNCATE LUMOAUDIT" << false;
        QTest::newRow("drop the guard") << "DROP TRIGGER LUMOAUDIT_APPEND_ONLY ON LUMOAUDIT" << false;
        QTest::newRow("disable the guard") << "ALTER TABLE LUMOAUDIT DISABLE TRIGGER ALL" << false;
        QTest::newRow("drop the log") << "DROP TABLE LUMOAUDIT" << false;
        QTest::newRow("disable the kept counts") << "ALTER TABLE ZUCUST DISABLE TRIGGER ALL" << false;
        // The accounts: names and roles read, nothing written, no hash read.
        QTest::newRow("read the names") << "SELECT NAME, ROLE, DISABLED FROM LUMOOPER" << true;
        QTest::newRow("read the hashes") << "SELECT PWHASH FROM LUMOOPER" << false;
        QTest::newRow("raise to admin") << "UPDATE LUMOOPER SET ROLE = 'admin'" << false;
        QTest::newRow("remove the accounts") << "DELETE FROM LUMOOPER" << false;
        QTest::newRow("add an account")
            << "INSERT INTO LUMOOPER (NAME, ROLE, PWHASH) VALUES ('eve', 'admin', 'x')" << false;
        QTest::newRow("empty the accounts") << "TRUNCATE LUMOOPER" << false;
        QTest::newRow("add through the function without proof")
            << "SELECT LUMO_OPER_ADD('boss', 'x', 'eve', 'admin', '$argon2id$x', '')" << false;
        QTest::newRow("a password through the function without proof")
            << "SELECT LUMO_OPER_PASSWD('boss', 'x', 'boss', '$argon2id$x')" << false;
        QTest::newRow("disable through the function without proof")
            << "SELECT LUMO_OPER_DISABLE('boss', 'x', 'boss')" << false;
        // The log: appended only through its function, its server columns not the room's.
        QTest::newRow("append a row of one's own")
            << "INSERT INTO LUMOAUDIT (ATIME, ACTION, HASH) VALUES ('2020-01-01', 'login', 'x')" << false;
        QTest::newRow("append through the function")
            << "SELECT LUMO_AUDIT_APPEND('t', 'o', 'w', 'login', '', 0, '', 'h')" << true;
        QTest::newRow("the server's stamp set by hand")
            << "INSERT INTO LUMOAUDIT (DBUSER, DBTIME) VALUES ('boss', now())" << false;
        QTest::newRow("replace the append function") << "CREATE OR REPLACE FUNCTION LUMO_AUDIT_APPEND(text, "
                                                        "text, text, text, text, bigint, text, text) "
                                                        "RETURNS bigint LANGUAGE sql AS 'SELECT 0::bigint'"
                                                     << false;
    }

    void workstationStatements()
    {
        QFETCH(QString, sql);
        QFETCH(bool, allowed);
        const QString conninfo = grantedDatabase();
        QVERIFY(!conninfo.isEmpty());
        Status st;
        auto room = connectAs(conninfo, m_room, &st);
        QVERIFY2(room, qPrintable(st.error));
        // The accounts' functions are tried on a practice that has its admin.
        if (sql.contains(QLatin1String("LUMO_OPER")))
            QVERIFY(OperatorStore(*connectAs(conninfo, m_owner, &st))
                        .add(QStringLiteral("boss"), Role::Admin, QStringLiteral("pw")));
        {
            Transaction t(*room);
            st = room->run(sql);
        }
        if (allowed) QVERIFY2(st, qPrintable(st.error));
        if (allowed) return;
        QVERIFY(!st);
        QVERIFY2(st.error.contains(QLatin1String("permission denied")) ||
                     st.error.contains(QLatin1String("must be owner")) || st.error.contains(u("只有管理者")),
                 qPrintable(st.error));
    }

    // The room's login does the accounts' work only with an admin's proof.
    void accountsThroughTheOwnersFunctions()
    {
        const QString conninfo = grantedDatabase();
        QVERIFY(!conninfo.isEmpty());
        Status st;
        auto room = connectAs(conninfo, m_room, &st);
        QVERIFY2(room, qPrintable(st.error));
        OperatorStore store(*room);
        QVERIFY(store.add(QStringLiteral("boss"), Role::Admin, QStringLiteral("pw")));
        // Without a login nobody may add a second account.
        QVERIFY(!store.add(QStringLiteral("eve"), Role::Admin, QStringLiteral("pw")));
        const LoginVerdict v = store.verify(QStringLiteral("boss"), QStringLiteral("pw"));
        QCOMPARE(v.outcome, LoginVerdict::Accepted);
        OperatorSession boss;
        boss.name = v.name;
        boss.proof = v.proof;
        store.setActor(boss);
        QVERIFY(store.add(QStringLiteral("amy"), Role::Assistant, QStringLiteral("a")));
        QVERIFY(store.passwd(QStringLiteral("amy"), QStringLiteral("b")));
        QCOMPARE(store.verify(QStringLiteral("amy"), QStringLiteral("b")).outcome, LoginVerdict::Accepted);
        QVERIFY(!store.disable(QStringLiteral("boss"))); // the last admin
        QVERIFY(store.disable(QStringLiteral("amy")));
    }

    // The practice's work through the program's own doors.
    void workstationWork()
    {
        const QString conninfo = grantedDatabase();
        QVERIFY(!conninfo.isEmpty());
        Status st;
        auto room = connectAs(conninfo, m_room, &st);
        QVERIFY2(room, qPrintable(st.error));
        SubjectRow s;
        s.CUSTNO = QStringLiteral("R1");
        s.NAME = u("王小明");
        QVERIFY2(SubjectStore(*room).append(s), "a subject added by the room");
        QCOMPARE(SubjectStore(*room).count(), 1); // the kept count, moved by the trigger
        // The room's row names the room and the server's time, whatever it wrote in its own fields.
        AuditRow row;
        row.action = QStringLiteral("login");
        row.operatorName = QStringLiteral("boss");
        row.time = QStringLiteral("2001-01-01T00:00:00.000Z"); // back-dated
        st = appendAuditRow(*room, &row);
        QVERIFY2(st, qPrintable(st.error));
        SqlRows rows;
        QVERIFY(room->run(QStringLiteral("SELECT DBUSER, DBTIME > now() - interval '1 hour' FROM LUMOAUDIT"),
                          {}, &rows));
        QCOMPARE(rows.value(0).value(0).toString(), m_room);
        QVERIFY(rows.value(0).value(1).toBool());
    }

    // A login without the owner's rights changes no schema; it is told who must connect first.
    void schemaChangesWaitForTheOwner_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("nothing made yet") << QString();
        QTest::newRow("an index missing") << "DROP INDEX ZUCUST_NAME";
        QTest::newRow("the lock missing") << "DROP FUNCTION LUMO_AUDIT_LOCK()";
    }

    void schemaChangesWaitForTheOwner()
    {
        QFETCH(QString, change);
        const QString conninfo = change.isEmpty() ? newServerDatabase(m_owner) : grantedDatabase();
        QVERIFY(!conninfo.isEmpty());
        Status st;
        if (!change.isEmpty()) {
            auto owner = connectAs(conninfo, m_owner, &st);
            QVERIFY2(owner && owner->run(change), qPrintable(st.error));
        }
        QVERIFY(!connectAs(conninfo, m_room, &st));
        QVERIFY2(st.error.contains(u("請先以")), qPrintable(st.error));
        // Nothing of the schema was made by the refused login.
        if (change.isEmpty())
            QVERIFY(!adminRun(QStringLiteral("SELECT 1 FROM LUMOVERSION"), databaseOf(conninfo)).isEmpty());
    }

    // The log's owner is told that only the trigger keeps the log.
    void ownerToldOnVerify_data()
    {
        QTest::addColumn<bool>("asOwner");
        QTest::newRow("the owner") << true;
        QTest::newRow("the room's login") << false;
    }

    void ownerToldOnVerify()
    {
        QFETCH(bool, asOwner);
        const QString conninfo = grantedDatabase();
        QVERIFY(!conninfo.isEmpty());
        Status st;
        {
            auto owner = connectAs(conninfo, m_owner, &st);
            // As the program adds the first account: its entry is the log's first row.
            QVERIFY(owner &&
                    OperatorStore(*owner).add(QStringLiteral("boss"), Role::Admin, QStringLiteral("pw"), [&] {
                        AuditRow first;
                        first.action = QStringLiteral("operator.add");
                        return appendAuditRow(*owner, &first);
                    }));
        }
        qputenv("LUMO_PASSWORD", "pw");
        const CliRun r =
            runCli({"--data-dir", m_dir.path(), "--database", as(conninfo, asOwner ? m_owner : m_room),
                    "--operator", "boss", "audit", "--verify"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.err.contains(auditOwnerNotice()), asOwner);
    }

    // The start-up's notice: to the owner in practice mode, once a day.
    void startupNotice_data()
    {
        QTest::addColumn<bool>("asOwner");
        QTest::addColumn<bool>("practiceMode");
        QTest::addColumn<bool>("told");
        QTest::newRow("the owner in practice mode") << true << true << true;
        QTest::newRow("the room's login") << false << true << false;
        QTest::newRow("outside practice mode") << true << false << false;
    }

    void startupNotice()
    {
        QFETCH(bool, asOwner);
        QFETCH(bool, practiceMode);
        QFETCH(bool, told);
        const QString conninfo = grantedDatabase();
        QVERIFY(!conninfo.isEmpty());
        QTemporaryDir data;
        SharedState state;
        state.DataDirectory = data.path();
        Status st;
        state.MainDatabase = connectAs(conninfo, asOwner ? m_owner : m_room, &st);
        QVERIFY2(state.MainDatabase, qPrintable(st.error));
        if (practiceMode)
            QVERIFY(OperatorStore(*state.MainDatabase)
                        .add(QStringLiteral("boss"), Role::Admin, QStringLiteral("pw")));
        const QDate today(2026, 12, 10);
        QCOMPARE(auditOwnerNoticeDue(state, today) == auditOwnerNotice(), told);
        QCOMPARE(auditOwnerNoticeDue(state, today), QString());
        QCOMPARE(auditOwnerNoticeDue(state, today.addDays(1)) == auditOwnerNotice(), told);
    }
};

QTEST_MAIN(TestServerRoles)
#include "test_cli_serverroles.moc"
