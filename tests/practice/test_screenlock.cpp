// The lock over the open screens: it covers the screen on top, fills the
// screen and holds every window while it is up, and the unlock gives the keys back to the field they
// were typed in.
#include "base/clock.h"
#include "practice/ui/lockscreen.h"
#include "practice/ui/screenlock.h"
#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

using namespace lumo;

class TestScreenLock : public QObject
{
    Q_OBJECT
private slots:
    void lockCoversTheTopScreen_data()
    {
        QTest::addColumn<bool>("screenOpen"); // a screen runs modal over the main window
        QTest::newRow("main window alone") << false;
        QTest::newRow("a screen over it") << true;
    }
    void lockCoversTheTopScreen()
    {
        QFETCH(bool, screenOpen);
        SharedState state;
        state.Session.practiceMode = true;
        state.Session.name = QStringLiteral("amy");
        VirtualClock clock;
        QWidget window;
        new QVBoxLayout(&window);
        window.layout()->addWidget(new QLineEdit(&window));
        window.layout()->addWidget(new QLineEdit(&window));
        QDialog screen(&window);
        new QVBoxLayout(&screen);
        screen.layout()->addWidget(new QLineEdit(&screen));
        screen.layout()->addWidget(new QLineEdit(&screen));
        QWidget* top = screenOpen ? static_cast<QWidget*>(&screen) : &window;
        auto* typedIn = top->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)
                            .last(); // not the first: the focus is not where it starts
        ScreenLock lock(
            state, clock,
            [](const QString&, const QString&) {
                return UnlockVerdict{true, {}};
            },
            &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        bool covered = false, held = false, backInField = false;
        auto whileLocked = [&] {
            auto* shown = dynamic_cast<LockScreen*>(QApplication::activeModalWidget());
            covered = shown && shown->parentWidget() == top;
            // Modal to every window, and over all of the screen.
            held = shown && shown->windowModality() == Qt::ApplicationModal &&
                   shown->windowState().testFlag(Qt::WindowFullScreen);
            if (shown) shown->tryUnlock();
        };
        auto lockNow = [&] {
            if (!QTest::qWaitForWindowActive(top)) return; // then nothing is covered
            typedIn->setFocus();
            QTimer::singleShot(0, whileLocked);
            lock.lock(QStringLiteral("screensaver"));
            backInField = QTest::qWaitFor([&] { return QApplication::focusWidget() == typedIn; }, 2000);
            if (screenOpen) screen.reject();
        };
        if (screenOpen) {
            QTimer::singleShot(0, lockNow);
            execModal(screen);
        } else {
            lockNow();
        }
        QVERIFY(covered);
        QVERIFY(held);
        QVERIFY(backInField);
    }

    // Five wrong passwords: the seconds left count down and 解除鎖定 waits
    // with them; when they are gone the button takes a try again.
    void waitCountsDown()
    {
        SharedState state;
        VirtualClock clock;
        const WallClock now = [&clock] { return clock.nowMs(); };
        const qint64 until = clock.nowMs() + 3000;
        LockScreen screen(
            state,
            [&](const QString&, const QString&) {
                return UnlockVerdict{false, QString(), until};
            },
            nullptr, now);
        auto* button = screen.findChild<QPushButton*>(QStringLiteral("UnlockButton"));
        auto* result = screen.findChild<QLabel*>(QStringLiteral("LockResult"));
        screen.tryUnlock();
        QVERIFY(!button->isEnabled());
        QCOMPARE(result->text(), waitMessage(3));
        clock.advance(1000);
        QTRY_COMPARE_WITH_TIMEOUT(result->text(), waitMessage(2), 3000);
        clock.advance(2000);
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 3000);
    }
};

QTEST_MAIN(TestScreenLock)
#include "test_screenlock.moc"
