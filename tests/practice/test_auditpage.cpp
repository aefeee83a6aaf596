// The admin's page of the audit log: its entry under 系統支援 follows practice
// mode and the role, and the page holds the newest rows only, saying when
// there are more.
#include "practice/auditlog.h"
#include "practice/ui/auditpage.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>

using namespace lumo;

Q_DECLARE_METATYPE(lumo::Role)

class TestAuditPage : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void entryFollowsTheSession_data()
    {
        QTest::addColumn<bool>("practice");
        QTest::addColumn<Role>("role");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");
        // A hidden action cannot be triggered either, not even by a shortcut.
        QTest::newRow("alone at home") << false << Role::Admin << false << false;
        QTest::newRow("admin") << true << Role::Admin << true << true;
        QTest::newRow("practitioner") << true << Role::Practitioner << true << false;
        QTest::newRow("assistant") << true << Role::Assistant << true << false;
    }
    void entryFollowsTheSession()
    {
        QFETCH(bool, practice);
        QFETCH(Role, role);
        QFETCH(bool, visible);
        QFETCH(bool, enabled);
        SharedState state;
        QWidget window;
        QMenu menu;
        QAction* entry = addAuditLogEntry(&menu, state, &window);
        QVERIFY(!entry->isVisible()); // until the login
        state.Session = {practice, QStringLiteral("amy"), role, QStringLiteral("desk")};
        showAuditLogEntry(entry, state.Session);
        QCOMPARE(entry->isVisible(), visible);
        QCOMPARE(entry->isEnabled(), enabled);
        QCOMPARE(entry->toolTip().startsWith(QString::fromUtf8("權限不足")), visible && !enabled);
    }

    void pageHoldsTheNewestRows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("more"); // the note says that only the newest are shown
        QTest::newRow("empty log") << 0 << false;
        QTest::newRow("a few") << 3 << false;
        QTest::newRow("exactly a page") << AuditPage::PageRows << false;
        QTest::newRow("one more than a page") << AuditPage::PageRows + 1 << true;
    }
    void pageHoldsTheNewestRows()
    {
        QFETCH(int, rows);
        QFETCH(bool, more);
        QString why;
        SharedState state;
        state.MainDatabase = test::freshMain(test::Engine::Sqlite, m_dir, &why);
        QVERIFY2(state.MainDatabase, qPrintable(why));
        {
            Transaction t(*state.MainDatabase);
            for (int i = 1; i <= rows; ++i) {
                AuditRow r;
                r.time = QStringLiteral("2026-12-10T08:00:00.000Z");
                r.action = QStringLiteral("subject.view");
                r.custNo = QStringLiteral("N%1").arg(i);
                QVERIFY(appendAuditRow(*state.MainDatabase, &r));
            }
            QVERIFY(t.commit());
        }
        AuditPage page(state);
        auto* table = page.findChild<QTableWidget*>(QStringLiteral("AuditGrid"));
        QCOMPARE(table->rowCount(), qMin(rows, int(AuditPage::PageRows)));
        if (rows) QCOMPARE(table->item(0, 4)->text(), QStringLiteral("N%1").arg(rows));
        const QString note = page.findChild<QLabel*>(QStringLiteral("AuditNote"))->text();
        QCOMPARE(note.contains(QString::fromUtf8("只列出最新的")), more);
    }
};

QTEST_MAIN(TestAuditPage)
#include "test_auditpage.moc"
