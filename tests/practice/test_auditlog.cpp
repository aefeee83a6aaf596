// The audit log on both engines: its chain found whole or broken where it was
// tampered with, its rows refused to UPDATE and DELETE, nothing written
// outside practice mode, and an entry that goes with its caller's transaction.
#include "practice/audit.h"
#include "practice/auditlog.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <QRegularExpression>

using namespace lumo;
using TestEngine = lumo::test::Engine;

namespace {

SqlRows auditRows(Database& db)
{
    SqlRows rows;
    db.run(QStringLiteral("SELECT MKEY, ATIME, OPERATOR, WORKSTATION, ACTION, CUSTNO, DETAIL FROM LUMOAUDIT "
                          "ORDER BY MKEY"),
           {}, &rows);
    return rows;
}

// The state of a practice with an operator logged in at a workstation.
void inPracticeMode(SharedState& state)
{
    QVERIFY(
        state.MainDatabase->run(QStringLiteral("INSERT INTO LUMOOPER (NAME, ROLE) VALUES ('amy', 'admin')")));
    state.Session.practiceMode = true;
    state.Session.name = QStringLiteral("amy");
    state.Session.workstation = QStringLiteral("front-desk");
}

// What a tamperer runs once the guard is gone, on either engine.
QStringList dropGuard(TestEngine engine)
{
    if (engine == TestEngine::Postgres)
        return {QStringLiteral("DROP TRIGGER LUMOAUDIT_APPEND_ONLY ON LUMOAUDIT")};
    return {QStringLiteral("DROP TRIGGER LUMOAUDIT_NO_UPDATE"),
            QStringLiteral("DROP TRIGGER LUMOAUDIT_NO_DELETE")};
}

} // namespace

class TestAuditLog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase_data() { lumo::test::bothEngines(); }

    void chainIsChecked_data()
    {
        QTest::addColumn<QStringList>("tamper"); // run after four rows, with the guard dropped
        QTest::addColumn<qint64>("broken");      // the MKEY --verify names; 0: whole
        QTest::newRow("whole") << QStringList() << qint64(0);
        QTest::newRow("detail changed")
            << QStringList{"UPDATE LUMOAUDIT SET DETAIL = 'x' WHERE MKEY = 2"} << qint64(2);
        QTest::newRow("operator changed")
            << QStringList{"UPDATE LUMOAUDIT SET OPERATOR = 'bob' WHERE MKEY = 4"} << qint64(4);
        QTest::newRow("row deleted") << QStringList{"DELETE FROM LUMOAUDIT WHERE MKEY = 2"} << qint64(3);
        QTest::newRow("first row deleted")
            << QStringList{"DELETE FROM LUMOAUDIT WHERE MKEY = 1"} << qint64(2);
        QTest::newRow("row inserted")
            << QStringList{"INSERT INTO LUMOAUDIT (MKEY, ATIME, ACTION, HASH) SELECT 9, ATIME, 'print', HASH "
                           "FROM LUMOAUDIT WHERE MKEY = 4"}
            << qint64(9);
    }
    void chainIsChecked()
    {
        QFETCH(QStringList, tamper);
        QFETCH(qint64, broken);
        LUMO_FRESH_MAIN(db, m_dir);
        for (int i = 1; i <= 4; ++i) {
            AuditRow r;
            r.time = QStringLiteral("2026-12-10T08:00:0%1.000Z").arg(i);
            r.operatorName = QStringLiteral("amy");
            r.action = QStringLiteral("subject.view");
            r.custNo = QStringLiteral("C%1").arg(i);
            r.detail = QStringLiteral("a:1,b");
            const Status appended = appendAuditRow(*db, &r);
            QVERIFY2(appended, qPrintable(appended.error));
            QCOMPARE(r.mkey, qint64(i));
        }
        if (!tamper.isEmpty())
            for (const QString& sql : dropGuard(engine) + tamper)
                QVERIFY2(db->run(sql), qPrintable(sql));
        AuditCheck check;
        QVERIFY(verifyAuditChain(*db, &check));
        QCOMPARE(check.brokenKey, broken);
        QCOMPARE(check.why.isEmpty(), broken == 0);
        if (!broken) QCOMPARE(check.rows, qint64(4));
    }

    void changesAreRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("update") << "UPDATE LUMOAUDIT SET DETAIL = 'x'";
        QTest::newRow("update of no row") << "UPDATE LUMOAUDIT SET DETAIL = 'x' WHERE MKEY = 99";
        QTest::newRow("delete") << "DELETE FROM LUMOAUDIT WHERE MKEY = 1";
        QTest::newRow("truncate") << "TRUNCATE LUMOAUDIT";
    }
    void changesAreRefused()
    {
        QFETCH(QString, sql);
        LUMO_FRESH_MAIN(db, m_dir);
        if (engine == TestEngine::Sqlite && sql.startsWith(QLatin1String("TRUNCATE")))
            return; // no such statement
        AuditRow r;
        r.action = QStringLiteral("login");
        QVERIFY(appendAuditRow(*db, &r));
        const bool matchesRow = !sql.contains(QLatin1String("99"));
        // SQLite's row triggers fire only for rows the statement touches.
        if (matchesRow || engine == TestEngine::Postgres) QVERIFY(!db->run(sql));
        QCOMPARE(auditRows(*db).size(), 1);
        AuditCheck check;
        QVERIFY(verifyAuditChain(*db, &check));
        QCOMPARE(check.brokenKey, qint64(0));
    }

    void writtenOnlyInPracticeMode_data()
    {
        QTest::addColumn<bool>("practice");
        QTest::newRow("alone at home") << false;
        QTest::newRow("practice mode") << true;
    }
    void writtenOnlyInPracticeMode()
    {
        QFETCH(bool, practice);
        LUMO_FRESH_MAIN(db, m_dir);
        SharedState state;
        state.MainDatabase = std::move(db);
        if (practice) inPracticeMode(state);
        QVERIFY(
            audit(state, {QStringLiteral("subject.delete"), QStringLiteral("A001"), 7, QStringLiteral("d")}));
        const SqlRows rows = auditRows(*state.MainDatabase);
        QCOMPARE(rows.size(), practice ? 1 : 0);
        if (!practice) return;
        const SqlRow& r = rows.first();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"))
                     .match(r.value(1).toString())
                     .hasMatch(),
                 qPrintable(r.value(1).toString()));
        QCOMPARE(r.value(2).toString(), QStringLiteral("amy"));
        QCOMPARE(r.value(3).toString(), QStringLiteral("front-desk"));
        QCOMPARE(r.value(4).toString(), QStringLiteral("subject.delete"));
        QCOMPARE(r.value(5).toString(), QStringLiteral("A001"));
    }

    void entryGoesWithTheCallersTransaction_data()
    {
        QTest::addColumn<bool>("commit");
        QTest::newRow("committed") << true;
        QTest::newRow("rolled back") << false;
    }
    void entryGoesWithTheCallersTransaction()
    {
        QFETCH(bool, commit);
        LUMO_FRESH_MAIN(db, m_dir);
        SharedState state;
        state.MainDatabase = std::move(db);
        inPracticeMode(state);
        {
            Transaction t(*state.MainDatabase);
            QVERIFY(t.active());
            QVERIFY(audit(state, {QStringLiteral("subject.add"), QStringLiteral("A1"), 0, {}}));
            QVERIFY(audit(state, {QStringLiteral("subject.add"), QStringLiteral("A2"), 0, {}}));
            if (commit) QVERIFY(t.commit());
        }
        QCOMPARE(auditRows(*state.MainDatabase).size(), commit ? 2 : 0);
        QVERIFY(audit(state, {QStringLiteral("print"), {}, 0, {}}));
        AuditCheck check;
        QVERIFY(verifyAuditChain(*state.MainDatabase, &check));
        QCOMPARE(check.brokenKey, qint64(0));
        QCOMPARE(check.rows, qint64(commit ? 3 : 1));
    }
};

QTEST_MAIN(TestAuditLog)
#include "test_auditlog.moc"
