#pragma once
// The operator at the keyboard, in the main window's status bar: the name and
// the role, with 鎖定畫面 and 登出 beside them (also under 系統支援). Shown in
// practice mode once an operator has logged in; outside it nothing shows, as
// a practitioner alone at home has no operator.

#include <QObject>
#include <functional>

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QToolButton;

namespace lumo {

class ScreenLock;
struct SharedState;

class OperatorStatus : public QObject
{
public:
    // The entries go in above `before` in the menu (at its end without one).
    OperatorStatus(QMainWindow& window, QMenu& support, QAction* before, SharedState& state,
                   ScreenLock& lock);

    // After each login: the name, the role and whether anything shows.
    void refresh();
    // Logs the operator out (asked first, written to the log) and calls
    // `logInAgain`, which shows the login; the caller ends the program when
    // nobody logs in.
    void logOut();
    std::function<void()> logInAgain;

    QAction* lockAction() const { return m_lock; }
    QAction* logOutAction() const { return m_logOut; }

private:
    SharedState& m_state;
    ScreenLock& m_screenLock;
    QLabel* m_label;
    QToolButton* m_lockButton;
    QToolButton* m_logOutButton;
    QAction* m_lock;
    QAction* m_logOut;
};

// "操作人員：王小明（管理者）"; empty outside practice mode or before a login.
QString operatorStatusText(bool practiceMode, const QString& name, const QString& roleLabel);

} // namespace lumo
