// Every action the log takes has a Chinese name that leads back to its key,
// and the log's door refuses a key without one, so no screen or command can
// write a row the audit page cannot name.
#include "practice/audit.h"
#include "practice/auditactions.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

using namespace lumo;

class TestAuditActions : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void everyActionIsNamed_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("listed");
        for (const AuditAction& a : auditActions())
            QTest::newRow(a.key) << QString::fromLatin1(a.key) << true;
        QTest::newRow("unlisted key") << QStringLiteral("subject.peek") << false;
        QTest::newRow("a label is no key") << QString::fromUtf8("登入") << false;
    }
    void everyActionIsNamed()
    {
        QFETCH(QString, key);
        QFETCH(bool, listed);
        if (listed) {
            const QString label = auditActionLabel(key);
            QVERIFY2(!label.isEmpty() && label != key, qPrintable(key));
            QVERIFY2(label.contains(QRegularExpression(QStringLiteral("\\p{Han}"))), qPrintable(label));
            QCOMPARE(auditActionKey(label), key); // names are distinct: the filter finds the key again
        }
        QString why;
        SharedState state;
        state.MainDatabase = test::freshMain(test::Engine::Sqlite, m_dir, &why);
        QVERIFY2(state.MainDatabase, qPrintable(why));
        state.Session = {true, QStringLiteral("amy"), Role::Admin, QStringLiteral("desk")};
        const Status s = audit(state, {key, {}, 0, {}});
        QCOMPARE(bool(s), listed);
        SqlRows rows;
        QVERIFY(state.MainDatabase->run(QStringLiteral("SELECT ACTION FROM LUMOAUDIT"), {}, &rows));
        QCOMPARE(rows.size(), listed ? 1 : 0);
    }
};

QTEST_MAIN(TestAuditActions)
#include "test_auditactions.moc"
