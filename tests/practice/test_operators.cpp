// The operator accounts on both engines: the first admin, unique names
// without regard to case, the last admin, password changes, and the wait
// after five wrong passwords (on a virtual clock).

#include "base/clock.h"
#include "practice/operators.h"
#include "support/engines.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

Q_DECLARE_METATYPE(lumo::LoginVerdict::Outcome)

class TestOperators : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    static QString pw(const char* s) { return QString::fromLatin1(s); }

private slots:
    void initTestCase_data() { test::bothEngines(); }

    void accounts()
    {
        LUMO_FRESH_MAIN(db, m_dir);
        VirtualClock clock;
        OperatorStore store(*db, [&clock] { return clock.nowMs(); });
        QVERIFY(!store.practiceMode());
        // The first account must be an admin, and only then is practice mode on.
        QVERIFY(!store.add(QStringLiteral("amy"), Role::Practitioner, pw("secret")));
        QVERIFY(!store.practiceMode());
        QVERIFY(!store.add(QStringLiteral("  "), Role::Admin, pw("secret")));
        QVERIFY(!store.add(QStringLiteral("amy"), Role::Admin, QString()));
        QVERIFY(store.add(QStringLiteral("Amy"), Role::Admin, pw("secret")));
        QVERIFY(store.practiceMode());
        QVERIFY(!store.add(QStringLiteral("AMY"), Role::Assistant, pw("x")));
        QVERIFY(store.add(QStringLiteral("bob"), Role::Assistant, pw("bobpw")));
        Status st;
        const QVector<OperatorRow> rows = store.list(&st);
        QVERIFY(st);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1).role, Role::Assistant);

        // The hash, never the password; the encoded form names its parameters.
        QSqlQuery q(db->sql());
        QVERIFY(q.exec(QStringLiteral("SELECT PWHASH FROM LUMOOPER WHERE NAME = 'Amy'")) && q.next());
        const QString hash = q.value(0).toString();
        QVERIFY(!hash.contains(QStringLiteral("secret")));
        QVERIFY2(hash.startsWith(QStringLiteral("$argon2id$v=19$m=19456,t=2,p=1$")), qPrintable(hash));

        // The last enabled admin stays; with a second one, one may go.
        QVERIFY(!store.disable(QStringLiteral("amy")));
        QVERIFY(store.add(QStringLiteral("carl"), Role::Admin, pw("c")));
        QVERIFY(store.disable(QStringLiteral("AMY")));
        QVERIFY(!store.disable(QStringLiteral("carl")));
        QVERIFY(!store.disable(QStringLiteral("nobody")));
        QCOMPARE(store.verify(QStringLiteral("amy"), pw("secret")).outcome, LoginVerdict::WrongPassword);

        QVERIFY(store.passwd(QStringLiteral("BOB"), pw("new")));
        QVERIFY(!store.passwd(QStringLiteral("nobody"), pw("new")));
        QCOMPARE(store.verify(QStringLiteral("bob"), pw("bobpw")).outcome, LoginVerdict::WrongPassword);
        const LoginVerdict v = store.verify(QStringLiteral("Bob"), pw("new"));
        QCOMPARE(v.outcome, LoginVerdict::Accepted);
        QCOMPARE(v.name, QStringLiteral("bob"));
        QCOMPARE(v.role, Role::Assistant);
    }

    // Each step: the password tried, the time moved on before it, the outcome.
    void lockout_data()
    {
        QTest::addColumn<QStringList>("tries");
        QTest::addColumn<QList<qint64>>("advance");
        QTest::addColumn<QList<int>>("outcomes");
        const int W = LoginVerdict::WrongPassword, A = LoginVerdict::Accepted, T = LoginVerdict::Waiting;
        const QStringList five(5, QStringLiteral("bad"));
        QTest::newRow("four wrong, then right")
            << (QStringList(4, QStringLiteral("bad")) << QStringLiteral("good")) << QList<qint64>(5, 0)
            << QList<int>{W, W, W, W, A};
        QTest::newRow("five wrong: the right one waits")
            << (five + QStringList{QStringLiteral("good")}) << QList<qint64>(6, 0)
            << QList<int>{W, W, W, W, W, T};
        QTest::newRow("a moment before the end still waits")
            << (five + QStringList{QStringLiteral("good")}) << (QList<qint64>(5, 0) << 29999)
            << QList<int>{W, W, W, W, W, T};
        QTest::newRow("after 30 s it is checked")
            << (five + QStringList{QStringLiteral("good")}) << (QList<qint64>(5, 0) << 30000)
            << QList<int>{W, W, W, W, W, A};
        QTest::newRow("a success ends the row")
            << QStringList{QStringLiteral("bad"), QStringLiteral("bad"),  QStringLiteral("bad"),
                           QStringLiteral("bad"), QStringLiteral("good"), QStringLiteral("bad"),
                           QStringLiteral("good")}
            << QList<qint64>(7, 0) << QList<int>{W, W, W, W, A, W, A};
    }
    void lockout()
    {
        QFETCH(QStringList, tries);
        QFETCH(QList<qint64>, advance);
        QFETCH(QList<int>, outcomes);
        LUMO_FRESH_MAIN(db, m_dir);
        if (engine == test::Engine::Postgres && advance.last() > 0)
            QSKIP("the server's waits run on its own clock, which no room (nor a test) can move");
        VirtualClock clock;
        OperatorStore store(*db, [&clock] { return clock.nowMs(); });
        QVERIFY(store.add(QStringLiteral("amy"), Role::Admin, QStringLiteral("good")));
        for (int i = 0; i < tries.size(); ++i) {
            clock.advance(advance.at(i));
            const LoginVerdict v = store.verify(QStringLiteral("amy"), tries.at(i));
            QVERIFY2(v.status, qPrintable(v.status.error));
            QCOMPARE(int(v.outcome), outcomes.at(i));
            if (v.outcome == LoginVerdict::Waiting) QVERIFY(v.waitUntil > clock.nowMs());
        }
    }

    // A hash made at a lower cost than the program's is made again at the
    // next successful login, and only then.
    void rehashedWhenStronger()
    {
        LUMO_FRESH_MAIN(db, m_dir);
        OperatorStore store(*db);
        QVERIFY(store.add(QStringLiteral("amy"), Role::Admin, pw("pw")));
        const auto hash = [&db] {
            SqlRows rows;
            db->run(QStringLiteral("SELECT PWHASH FROM LUMOOPER"), {}, &rows);
            return rows.value(0).value(0).toString();
        };
        const QString floor = QStringLiteral("$argon2id$v=19$m=19456,t=2,p=1$");
        setPasswordCost({24576, 3});
        QCOMPARE(store.verify(QStringLiteral("amy"), pw("bad")).outcome, LoginVerdict::WrongPassword);
        QVERIFY(hash().startsWith(floor));
        const LoginVerdict v = store.verify(QStringLiteral("amy"), pw("pw"));
        setPasswordCost(floorPasswordCost());
        QCOMPARE(v.outcome, LoginVerdict::Accepted);
        QVERIFY2(hash().startsWith(QStringLiteral("$argon2id$v=19$m=24576,t=3,p=1$")), qPrintable(hash()));
        QCOMPARE(v.proof, hash());
        // A weaker program leaves the stronger hash, which still lets her in.
        QCOMPARE(store.verify(QStringLiteral("amy"), pw("pw")).outcome, LoginVerdict::Accepted);
        QVERIFY(!hash().startsWith(floor));
    }
};

QTEST_GUILESS_MAIN(TestOperators)
#include "test_operators.moc"
