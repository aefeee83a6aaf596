// The 操作人員 page: the first account turns practice mode on with the one
// who made it at the keyboard, and the log's rows of that run name the machine
// as a login's do.
#include "base/messages.h"
#include "practice/auditlog.h"
#include "practice/operators.h"
#include "practice/ui/operatorspage.h"
#include "records/database.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

class TestOperatorsPage : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // `before`: the session's workstation before the add (empty: no operator yet).
    void addedOperatorIsLoggedWithTheMachine_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("workstation");
        QTest::newRow("the first operator") << QString() << QSysInfo::machineHostName();
        QTest::newRow("by an admin logged in") << QStringLiteral("desk-2") << QStringLiteral("desk-2");
    }
    void addedOperatorIsLoggedWithTheMachine()
    {
        QFETCH(QString, before);
        QFETCH(QString, workstation);
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        state.MainDatabase = test::freshMain(test::Engine::Sqlite, m_dir);
        QVERIFY(state.MainDatabase);
        if (!before.isEmpty()) {
            QVERIFY(OperatorStore(*state.MainDatabase)
                        .add(QStringLiteral("root"), Role::Admin, QStringLiteral("pw")));
            state.Session = {true, QStringLiteral("root"), Role::Admin, before};
        }
        OperatorsPage page(state);
        for (QLineEdit* e : page.findChildren<QLineEdit*>())
            e->setText(e->accessibleName() == QString::fromUtf8("新操作人員名稱") ? QStringLiteral("amy")
                                                                                  : QStringLiteral("secret"));
        for (QPushButton* b : page.findChildren<QPushButton*>())
            if (b->text() == QString::fromUtf8("新增操作人員")) b->click();
        QStringList rows;
        readAuditRows(*state.MainDatabase, {}, [&rows](const AuditRow& r) {
            rows << r.action + QLatin1Char(' ') + r.workstation;
            return true;
        });
        QCOMPARE(rows, QStringList{QStringLiteral("operator.add ") + workstation});
    }
};

QTEST_MAIN(TestOperatorsPage)
#include "test_operatorspage.moc"
