// Taking the lock away: the working operator or an admin, and the tries
// counted as at the login, so that the lock screen is no way round the wait
// after five wrong passwords (on a virtual clock, on both engines).

#include "base/clock.h"
#include "practice/unlockcheck.h"
#include "records/database.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

class TestUnlockCheck : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase_data() { test::bothEngines(); }

    // The session is bob's (a practitioner). Each try is "name/password"
    // ("@" first: at the login, through the store);
    // the clock moves on `later` ms before the last one, whose outcome is
    // checked: unlocked, or refused with the message shown.
    void tries_data()
    {
        QTest::addColumn<QStringList>("tries");
        QTest::addColumn<qint64>("later");
        QTest::addColumn<QString>("message"); // empty: unlocked
        const QString wrong = unlockRefusedMessage();
        const QStringList fiveWrong(5, QStringLiteral("bob/bad"));
        const auto plus = [](QStringList l, const char* t) { return l << QString::fromLatin1(t); };
        QTest::newRow("own password") << QStringList{"bob/bobpw"} << qint64(0) << QString();
        QTest::newRow("an admin's") << QStringList{"AMY/amypw"} << qint64(0) << QString();
        QTest::newRow("another practitioner's") << QStringList{"carl/carlpw"} << qint64(0) << wrong;
        QTest::newRow("wrong password") << QStringList{"bob/bad"} << qint64(0) << wrong;
        QTest::newRow("four wrong, then right")
            << plus(QStringList(4, "bob/bad"), "bob/bobpw") << qint64(0) << QString();
        QTest::newRow("the fifth wrong starts the wait") << fiveWrong << qint64(0) << waitMessage(30);
        QTest::newRow("the right one waits")
            << plus(fiveWrong, "bob/bobpw") << qint64(10000) << waitMessage(20);
        QTest::newRow("after 30 s it is checked")
            << plus(fiveWrong, "bob/bobpw") << qint64(30000) << QString();
        QTest::newRow("a wait set at the login holds here")
            << plus(QStringList(5, "@bob/bad"), "bob/bobpw") << qint64(0) << waitMessage(30);
    }
    void tries()
    {
        QFETCH(QStringList, tries);
        QFETCH(qint64, later);
        QFETCH(QString, message);
        const QString wrong = unlockRefusedMessage();
        SharedState state;
        LUMO_FRESH_MAIN(db, m_dir);
        if (engine == test::Engine::Postgres && later > 0)
            QSKIP("the server's waits run on its own clock, which no room (nor a test) can move");
        state.MainDatabase = std::move(db);
        VirtualClock clock;
        const WallClock now = [&clock] { return clock.nowMs(); };
        OperatorStore store(*state.MainDatabase, now);
        QVERIFY(store.add(QStringLiteral("amy"), Role::Admin, QStringLiteral("amypw")));
        QVERIFY(store.add(QStringLiteral("bob"), Role::Practitioner, QStringLiteral("bobpw")));
        QVERIFY(store.add(QStringLiteral("carl"), Role::Practitioner, QStringLiteral("carlpw")));
        state.Session = {true, QStringLiteral("bob"), Role::Practitioner, QStringLiteral("ws")};
        const UnlockCheck check = unlockCheck(state, now);
        UnlockVerdict v;
        for (int i = 0; i < tries.size(); ++i) {
            if (i == tries.size() - 1) clock.advance(later);
            QString t = tries.at(i);
            const bool atLogin = t.startsWith(QLatin1Char('@'));
            const QStringList p = t.remove(QLatin1Char('@')).split(QLatin1Char('/'));
            if (atLogin)
                store.verify(p.at(0), p.at(1));
            else
                v = check(p.at(0), p.at(1));
        }
        QCOMPARE(v.unlocked, message.isEmpty());
        QCOMPARE(v.message, message);
        // A wait tells when it ends, so that the lock screen counts it down.
        QCOMPARE(v.waitUntil > clock.nowMs(), !message.isEmpty() && message != wrong);
    }
};

QTEST_GUILESS_MAIN(TestUnlockCheck)
#include "test_unlockcheck.moc"
