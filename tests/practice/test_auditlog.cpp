// The audit log on both engines: its chain found whole or broken where it was
// tampered with, its rows refused to UPDATE and DELETE, nothing written
// outside practice mode, an entry that goes with its caller's transaction, and
// the operations on records that the role table allows or refuses.
#include "practice/audit.h"
#include "practice/auditexport.h"
#include "practice/auditlog.h"
#include "records/operationhook.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <ctime>

#include <QRegularExpression>

Q_DECLARE_METATYPE(lumo::Role)
Q_DECLARE_METATYPE(lumo::RecordOperation)

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

// Five rows: subjects A, B, A, B, A; views and exports taking turns; the
// third row's detail looks like a spreadsheet formula.
void fiveRows(Database& db)
{
    for (int i = 1; i <= 5; ++i) {
        AuditRow r;
        r.time = QStringLiteral("2026-12-0%1T08:00:00.000Z").arg(i);
        r.action = i % 2 ? QStringLiteral("subject.view") : QStringLiteral("export.subject");
        r.custNo = i % 2 ? QStringLiteral("A") : QStringLiteral("B");
        r.detail = i == 3 ? QStringLiteral("=HYPERLINK(\"x\"),1") : QStringLiteral("d%1").arg(i);
        QVERIFY(appendAuditRow(db, &r));
    }
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
        QTest::newRow("last rows deleted")
            << QStringList{"DELETE FROM LUMOAUDIT WHERE MKEY >= 3"} << qint64(3);
    }
    void chainIsChecked()
    {
        QFETCH(QStringList, tamper);
        QFETCH(qint64, broken);
        LUMO_FRESH_MAIN(db, m_dir);
        if (engine == TestEngine::Postgres && QByteArray(QTest::currentDataTag()) == "last rows deleted")
            QSKIP("a server's sequence moves on for rolled-back rows too, so a shorter log is no proof");
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

    // A log cut at either end is found, even with a row appended after the
    // cut (the check's own login row is one).
    void cutLogIsFound_data()
    {
        QTest::addColumn<QString>("tamper"); // with the guard dropped, after four rows
        QTest::addColumn<qint64>("broken");
        QTest::newRow("last rows removed") << "DELETE FROM LUMOAUDIT WHERE MKEY >= 3" << qint64(5);
        QTest::newRow("every row removed") << "DELETE FROM LUMOAUDIT" << qint64(5);
        QTest::newRow("first rows removed") << "DELETE FROM LUMOAUDIT WHERE MKEY <= 2" << qint64(3);
    }
    void cutLogIsFound()
    {
        QFETCH(QString, tamper);
        QFETCH(qint64, broken);
        LUMO_FRESH_MAIN(db, m_dir);
        if (engine == TestEngine::Postgres && broken == 5 && tamper.contains(QLatin1String(">=")))
            QSKIP("a server's keys may skip; its own log holds the rows");
        QVERIFY(db->run(QStringLiteral("INSERT INTO LUMOOPER (NAME, ROLE) VALUES ('amy', 'admin')")));
        for (const char* action : {"operator.add", "login", "subject.view", "print", "login"}) {
            AuditRow r;
            r.action = QLatin1String(action);
            QVERIFY(appendAuditRow(*db, &r));
            if (r.mkey == 4)
                for (const QString& sql : dropGuard(engine) + QStringList{tamper})
                    QVERIFY2(db->run(sql), qPrintable(sql));
        }
        AuditCheck check;
        QVERIFY(verifyAuditChain(*db, &check));
        QCOMPARE(check.brokenKey, broken);
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
        QVERIFY(audit(state, {QStringLiteral("operator.add"), {}, 0, {}})); // where practice mode starts
        {
            Transaction t(*state.MainDatabase);
            QVERIFY(t.active());
            QVERIFY(audit(state, {QStringLiteral("subject.add"), QStringLiteral("A1"), 0, {}}));
            QVERIFY(audit(state, {QStringLiteral("subject.add"), QStringLiteral("A2"), 0, {}}));
            if (commit) QVERIFY(t.commit());
        }
        QCOMPARE(auditRows(*state.MainDatabase).size(), commit ? 3 : 1);
        QVERIFY(audit(state, {QStringLiteral("print"), {}, 0, {}}));
        AuditCheck check;
        QVERIFY(verifyAuditChain(*state.MainDatabase, &check));
        QCOMPARE(check.brokenKey, qint64(0));
        QCOMPARE(check.rows, qint64(commit ? 4 : 2));
    }

    // The workstation's days, not UTC's: in Taipei 16:00 UTC is the next day's
    // midnight, so the filter's bounds fall between these two rows.
    void daysAreTheWorkstationsOwn_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("keys");
        QTest::newRow("from the 5th") << "2026-12-05"
                                      << ""
                                      << "2";
        QTest::newRow("to the 4th") << ""
                                    << "2026-12-04"
                                    << "1";
        QTest::newRow("the 4th alone") << "2026-12-04"
                                       << "2026-12-04"
                                       << "1";
    }
    void daysAreTheWorkstationsOwn()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, keys);
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Asia/Taipei");
        tzset();
        LUMO_FRESH_MAIN(db, m_dir);
        for (const char* time : {"2026-12-04T15:59:59.999Z", "2026-12-04T16:00:00.000Z"}) {
            AuditRow r;
            r.time = QString::fromLatin1(time);
            r.action = QStringLiteral("subject.view");
            QVERIFY(appendAuditRow(*db, &r));
        }
        QStringList found;
        const Status s = readAuditRows(*db, AuditFilter{{}, from, to, {}, 0}, [&](const AuditRow& r) {
            found << QString::number(r.mkey);
            return true;
        });
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        tzset();
        QVERIFY(s);
        QCOMPARE(found.join(','), keys);
    }

    void pageAndExportFindTheFilteredRows_data()
    {
        QTest::addColumn<QString>("custNo");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("newest");
        QTest::addColumn<QString>("keys"); // the page's rows, in its order
        QTest::addColumn<int>("matching"); // the rows of the file: all the filter finds
        QTest::newRow("whole log") << ""
                                   << ""
                                   << "" << 0 << "1,2,3,4,5" << 5;
        QTest::newRow("newest two") << ""
                                    << ""
                                    << "" << 2 << "5,4" << 5;
        QTest::newRow("newest of B") << "B"
                                     << ""
                                     << "" << 1 << "4" << 2;
        QTest::newRow("newest of export") << ""
                                          << "export"
                                          << "" << 5 << "4,2" << 2;
        QTest::newRow("newest since a day") << "A"
                                            << ""
                                            << "2026-12-03" << 9 << "5,3" << 2;
    }
    void pageAndExportFindTheFilteredRows()
    {
        QFETCH(QString, custNo);
        QFETCH(QString, action);
        QFETCH(QString, from);
        QFETCH(int, newest);
        QFETCH(QString, keys);
        QFETCH(int, matching);
        LUMO_FRESH_MAIN(db, m_dir);
        fiveRows(*db);
        AuditFilter filter{custNo, from, {}, action, newest};
        QStringList page;
        QVERIFY(readAuditRows(*db, filter, [&](const AuditRow& r) {
            page << QString::number(r.mkey);
            return true;
        }));
        QCOMPARE(page.join(','), keys);
        // The file has every row the filter finds, oldest first, whatever the page shows.
        for (const auto format : {AuditExportFormat::JsonLines, AuditExportFormat::Csv}) {
            const QString file = m_dir.filePath(QStringLiteral("audit.out"));
            qint64 rows = 0;
            QVERIFY(exportAuditRows(*db, filter, file, format, &rows));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QList<QByteArray> lines = f.readAll().split('\n');
            QCOMPARE(lines.takeLast(), QByteArray()); // ends with its line break
            if (format == AuditExportFormat::Csv)
                QVERIFY(lines.takeFirst().startsWith("\xEF\xBB\xBFMKEY,ATIME,OPERATOR"));
            QCOMPARE(rows, qint64(matching));
            QCOMPARE(lines.size(), matching);
            QVERIFY(lines.first() < lines.last() || matching == 1);
            // A formula never reaches a spreadsheet as one.
            for (const QByteArray& line : lines)
                if (format == AuditExportFormat::Csv && line.startsWith("3,"))
                    QVERIFY2(line.contains(",\"'=HYPERLINK"), line);
        }
    }

    void failedExportLeavesNoFile()
    {
        LUMO_FRESH_MAIN(db, m_dir);
        fiveRows(*db);
        const QString file = m_dir.filePath(QStringLiteral("no-such-folder/audit.csv"));
        qint64 rows = 0;
        const Status s = exportAuditRows(*db, {}, file, AuditExportFormat::Csv, &rows);
        QVERIFY(!s);
        QVERIFY(s.error.contains(file));
        QVERIFY(!QFile::exists(file));
    }

    void recordOperationFollowsTheRole_data()
    {
        QTest::addColumn<QString>("who"); // "" before the login, "-" outside practice mode
        QTest::addColumn<Role>("role");
        QTest::addColumn<RecordOperation>("op");
        QTest::addColumn<bool>("workFails");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<QString>("logged"); // ACTION|CUSTNO of the one row; "" for none
        const auto ex = RecordOperation::ExportSubject, im = RecordOperation::ImportSubjects,
                   me = RecordOperation::MergeSubjects, un = RecordOperation::UndoMerge;
        QTest::newRow("assistant export") << "amy" << Role::Assistant << ex << false << false << "";
        QTest::newRow("assistant import") << "amy" << Role::Assistant << im << false << false << "";
        QTest::newRow("assistant merge") << "amy" << Role::Assistant << me << false << false << "";
        QTest::newRow("assistant undo") << "amy" << Role::Assistant << un << false << false << "";
        QTest::newRow("nobody logged in") << "" << Role::Admin << ex << false << false << "";
        QTest::newRow("practitioner merge")
            << "amy" << Role::Practitioner << me << false << true << "merge|A001";
        QTest::newRow("practitioner undo")
            << "amy" << Role::Practitioner << un << false << true << "merge.undo|A001";
        QTest::newRow("practitioner import")
            << "amy" << Role::Practitioner << im << false << true << "import.subjects|";
        QTest::newRow("admin export fails")
            << "amy" << Role::Admin << ex << true << true << "export.subject|A001";
        QTest::newRow("alone at home") << "-" << Role::Assistant << ex << false << true << "";
    }
    void recordOperationFollowsTheRole()
    {
        QFETCH(QString, who);
        QFETCH(Role, role);
        QFETCH(RecordOperation, op);
        QFETCH(bool, workFails);
        QFETCH(bool, runs);
        QFETCH(QString, logged);
        LUMO_FRESH_MAIN(db, m_dir);
        SharedState state;
        state.MainDatabase = std::move(db);
        if (who != QLatin1String("-")) inPracticeMode(state);
        state.Session.name = who == QLatin1String("-") ? QString() : who;
        state.Session.role = role;
        bool ran = false;
        const Status s = runRecordOperation(state, op, QStringLiteral("A001"), [&](AuditEntry&) {
            ran = true;
            return workFails ? Status::failure(QStringLiteral("disk full")) : Status::success();
        });
        QCOMPARE(ran, runs);
        QCOMPARE(bool(s), runs && !workFails);
        if (!runs) QVERIFY2(s.error.startsWith(QString::fromUtf8("權限不足")), qPrintable(s.error));
        if (workFails) QCOMPARE(s.error, QStringLiteral("disk full"));
        const SqlRows rows = auditRows(*state.MainDatabase);
        QCOMPARE(rows.size(), logged.isEmpty() ? 0 : 1);
        if (logged.isEmpty()) return;
        QCOMPARE(rows.first().value(4).toString() + '|' + rows.first().value(5).toString(), logged);
        QCOMPARE(rows.first().value(6).toString().contains(QString::fromUtf8("失敗")), workFails);
    }
};

QTEST_MAIN(TestAuditLog)
#include "test_auditlog.moc"
