// The log anchored in the system journal: a committed row's hash is sent, a
// rolled-back one never; the check finds rows removed or changed since, and
// tells rows the journal never heard of apart from them.
#include "practice/auditanchor.h"
#include "practice/auditlog.h"
#include "records/database.h"
#include "support/journald.h"

#include <QElapsedTimer>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

class TestAuditAnchor : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    test::JournalForTest m_journal;
    int m_file = 0;

    // The journal's rows of the log, once journald has taken the `expected` ones.
    int anchorsOf(Database& db, int expected)
    {
        int n = 0;
        QElapsedTimer t;
        t.start();
        do {
            n = 0;
            readAnchors(anchorIdentity(db), [&n](qint64, const QByteArray&) { ++n; });
        } while (n < expected && t.elapsed() < 5000 && (QThread::msleep(50), true));
        return n;
    }

private slots:
    void initTestCase() { QVERIFY2(m_journal.running(), "no journald could be started"); }

    void journalVouches_data()
    {
        QTest::addColumn<QString>("tamper"); // with the guard dropped
        QTest::addColumn<QList<qint64>>("missing");
        QTest::addColumn<QList<qint64>>("changed");
        QTest::addColumn<QList<qint64>>("unanchored");
        const QList<qint64> none;
        QTest::newRow("as written") << QString() << none << none << none;
        QTest::newRow("a row removed")
            << "DELETE FROM LUMOAUDIT WHERE MKEY = 2" << QList<qint64>{2} << none << none;
        QTest::newRow("a hash rewritten")
            << "UPDATE LUMOAUDIT SET HASH = 'x' WHERE MKEY = 3" << none << QList<qint64>{3} << none;
        QTest::newRow("a row added outside the program")
            << "INSERT INTO LUMOAUDIT (ACTION, WORKSTATION, HASH) VALUES ('login', '%1', 'y')" << none << none
            << QList<qint64>{4};
    }
    void journalVouches()
    {
        QFETCH(QString, tamper);
        QFETCH(QList<qint64>, missing);
        QFETCH(QList<qint64>, changed);
        QFETCH(QList<qint64>, unanchored);
        Status st;
        const QString path = m_dir.filePath(QStringLiteral("anchor%1.mdb").arg(++m_file));
        Database::create(path, FileKind::Main, &st).reset();
        auto db = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        QVERIFY2(db, qPrintable(st.error));
        for (int i = 0; i < 3; ++i) {
            AuditRow r;
            r.action = QStringLiteral("login");
            r.workstation = QSysInfo::machineHostName();
            QVERIFY(appendAuditRow(*db, &r));
        }
        {
            // Rolled back with its change: the journal never hears of it.
            Transaction t(*db);
            AuditRow r;
            r.action = QStringLiteral("print");
            QVERIFY(appendAuditRow(*db, &r));
        }
        QCOMPARE(anchorsOf(*db, 3), 3);
        if (!tamper.isEmpty())
            for (const QString& sql : {QStringLiteral("DROP TRIGGER LUMOAUDIT_NO_UPDATE"),
                                       QStringLiteral("DROP TRIGGER LUMOAUDIT_NO_DELETE"),
                                       tamper.arg(QSysInfo::machineHostName())})
                QVERIFY2(db->run(sql), qPrintable(sql));
        AnchorCheck check;
        QVERIFY(checkAnchors(*db, QSysInfo::machineHostName(), &check));
        QVERIFY(check.journal);
        QCOMPARE(QList<qint64>(check.missing.begin(), check.missing.end()), missing);
        QCOMPARE(QList<qint64>(check.changed.begin(), check.changed.end()), changed);
        QCOMPARE(QList<qint64>(check.unanchored.begin(), check.unanchored.end()), unanchored);
    }
};

QTEST_GUILESS_MAIN(TestAuditAnchor)
#include "test_auditanchor.moc"
