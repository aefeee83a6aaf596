#pragma once
// The login of practice mode: after the start-up status, before the main
// window can be used. A wrong password says so; after five in a row the wait
// is shown counting down. Esc or closing the window ends the program.

#include "practice/operators.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace lumo {

struct SharedState;

class LoginScreen : public QDialog
{
    Q_OBJECT
public:
    LoginScreen(SharedState& state, QWidget* parent = nullptr, WallClock now = wallClockMs);

private:
    void tryLogin();
    void showWait(qint64 until);
    void tick();

    SharedState& m_state;
    WallClock m_now;
    QLineEdit* m_name;
    QLineEdit* m_password;
    QLabel* m_message;
    QPushButton* m_login;
    QTimer* m_timer;
    qint64 m_waitUntil = 0;
};

// In practice mode: the login screen until an operator logs in (true), or the
// operator quits (false). Outside practice mode true at once, with the session
// marked so.
// `lockedOut` (when given) is set for a database without an enabled admin:
// the refusal was shown and the program ends without another question.
bool logInIfNeeded(SharedState& state, QWidget* parent, bool* lockedOut = nullptr);

} // namespace lumo
