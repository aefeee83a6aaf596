#pragma once
// The lock over the open screens: they stay as they were beneath it, and it
// goes only with the password of the operator who was working or of an
// admin. It fills the screen, so that nothing of the screens beneath shows.
// Esc and the window's close do nothing.

#include "base/clock.h"
#include "practice/unlockcheck.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace lumo {

struct SharedState;

class LockScreen : public QDialog
{
public:
    LockScreen(SharedState& state, UnlockCheck check, QWidget* parent = nullptr, WallClock now = wallClockMs);

    // 解除鎖定: the check, the log's entry, and the lock gone or a word why not.
    void tryUnlock();

protected:
    void reject() override {} // only a password takes the lock away
    void closeEvent(QCloseEvent* e) override;

private:
    // After five wrong passwords the seconds left count down, as at the login,
    // and 解除鎖定 waits with them.
    void showWait(qint64 until);
    void tick();

    SharedState& m_state;
    UnlockCheck m_check;
    QLineEdit* m_name;
    QLineEdit* m_password;
    QLabel* m_result;
    QPushButton* m_unlock;
    QTimer* m_timer;
    WallClock m_now;
    qint64 m_waitUntil = 0;
};

} // namespace lumo
