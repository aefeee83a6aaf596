// The screen lock's triggers: the idle time read from an injected clock (the
// set time, the bounds, a run in progress, practice mode off, input starting
// the time again) and the desktop's D-Bus signals' handlers.
#include "practice/idlelock.h"
#include "practice/sessionsignals.h"

#include <QKeyEvent>
#include <QSignalSpy>
#include <QtTest>

using namespace lumo;

class TestIdleLock : public QObject
{
    Q_OBJECT
private slots:
    void idle_data()
    {
        QTest::addColumn<int>("minutes");   // as set
        QTest::addColumn<bool>("practice"); // practice mode
        QTest::addColumn<bool>("run");      // a measuring run in progress
        QTest::addColumn<qint64>("idleMs");
        QTest::addColumn<bool>("locks");
        const qint64 min = 60 * 1000;
        QTest::newRow("default, just before") << 10 << true << false << 10 * min - 1 << false;
        QTest::newRow("default, at the time") << 10 << true << false << 10 * min << true;
        QTest::newRow("not outside practice mode") << 10 << false << false << 60 * min << false;
        QTest::newRow("not during a run") << 10 << true << true << 60 * min << false;
        QTest::newRow("below the bound counts as 1") << 0 << true << false << 1 * min << true;
        QTest::newRow("above the bound counts as 120") << 500 << true << false << 120 * min - 1 << false;
        QTest::newRow("120 minutes") << 500 << true << false << 120 * min << true;
    }
    void idle()
    {
        QFETCH(int, minutes);
        QFETCH(bool, practice);
        QFETCH(bool, run);
        QFETCH(qint64, idleMs);
        QFETCH(bool, locks);
        VirtualClock clock;
        IdleLock idle(
            clock, [&] { return practice; }, [&] { return run; });
        idle.setLimitMinutes(minutes);
        QSignalSpy due(&idle, &IdleLock::lockDue);
        clock.advance(idleMs);
        idle.check();
        QCOMPARE(due.count(), int(locks));
    }

    // Key and mouse events anywhere start the time again; so does a run's end
    // and the unlock; while locked no second lock is asked for.
    void timeStartsAgain()
    {
        VirtualClock clock;
        bool run = false;
        IdleLock idle(
            clock, [] { return true; }, [&] { return run; });
        idle.setLimitMinutes(1);
        QSignalSpy due(&idle, &IdleLock::lockDue);
        QObject target;
        target.installEventFilter(&idle);
        clock.advance(59 * 1000);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
        QCoreApplication::sendEvent(&target, &key);
        clock.advance(59 * 1000);
        idle.check();
        QCOMPARE(due.count(), 0); // the key pressed 59 s ago
        run = true;
        clock.advance(10 * 60 * 1000);
        idle.check();
        run = false;
        clock.advance(59 * 1000);
        idle.check();
        QCOMPARE(due.count(), 0); // the run ended 59 s ago
        clock.advance(1000);
        idle.check();
        QCOMPARE(due.count(), 1);
        idle.setLocked(true);
        clock.advance(60 * 60 * 1000);
        idle.check();
        QCOMPARE(due.count(), 1);
        idle.setLocked(false);
        idle.check();
        QCOMPARE(due.count(), 1); // the unlock started the time again
    }

    void desktop_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<bool>("value");
        QTest::addColumn<QString>("why"); // empty: no lock
        QTest::newRow("going to sleep") << "sleep" << true << "sleep";
        QTest::newRow("waking") << "sleep" << false << "";
        QTest::newRow("session locked") << "lock" << true << "session";
        QTest::newRow("screen saver on") << "saver" << true << "screensaver";
        QTest::newRow("screen saver off") << "saver" << false << "";
    }
    void desktop()
    {
        QFETCH(QString, signal);
        QFETCH(bool, value);
        QFETCH(QString, why);
        SessionSignals s;
        QSignalSpy asked(&s, &SessionSignals::lockRequested);
        if (signal == "sleep") s.prepareForSleep(value);
        if (signal == "lock") s.sessionLock();
        if (signal == "saver") s.screenSaverActiveChanged(value);
        QCOMPARE(asked.count(), why.isEmpty() ? 0 : 1);
        if (!why.isEmpty()) QCOMPARE(asked.front().front().toString(), why);
    }
};

QTEST_GUILESS_MAIN(TestIdleLock)
#include "test_idlelock.moc"
