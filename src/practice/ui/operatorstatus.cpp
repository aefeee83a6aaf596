#include "practice/ui/operatorstatus.h"

#include "practice/audit.h"
#include "practice/operators.h"
#include "practice/ui/screenlock.h"
#include "shell/sharedstate.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QToolButton* statusButton(QMainWindow& window, QAction* action)
{
    auto* b = new QToolButton(&window);
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    window.statusBar()->addPermanentWidget(b);
    return b;
}

} // namespace

QString operatorStatusText(bool practiceMode, const QString& name, const QString& roleLabel)
{
    if (!practiceMode || name.isEmpty()) return {};
    return u("操作人員：%1（%2）").arg(name, roleLabel);
}

OperatorStatus::OperatorStatus(QMainWindow& window, QMenu& support, QAction* before, SharedState& state,
                               ScreenLock& lock)
    : QObject(&window), m_state(state), m_screenLock(lock)
{
    m_lock = new QAction(u("鎖定畫面"), &window);
    m_lock->setObjectName(QStringLiteral("LockAction"));
    m_lock->setToolTip(u("離開座位時鎖定畫面，輸入密碼後回到目前的畫面"));
    m_lock->setStatusTip(m_lock->toolTip());
    m_logOut = new QAction(u("登出"), &window);
    m_logOut->setObjectName(QStringLiteral("LogOutAction"));
    m_logOut->setToolTip(u("結束這位操作人員的工作，讓另一位登入"));
    m_logOut->setStatusTip(m_logOut->toolTip());
    support.insertAction(before, m_lock);
    support.insertAction(before, m_logOut);
    connect(m_lock, &QAction::triggered, this, [this] { m_screenLock.lock(QStringLiteral("operator")); });
    connect(m_logOut, &QAction::triggered, this, &OperatorStatus::logOut);

    m_label = new QLabel(&window);
    m_label->setObjectName(QStringLiteral("OperatorStatus"));
    m_label->setStyleSheet(QStringLiteral("padding: 0 6px;"));
    window.statusBar()->addPermanentWidget(m_label);
    m_lockButton = statusButton(window, m_lock);
    m_logOutButton = statusButton(window, m_logOut);
    refresh();
}

void OperatorStatus::refresh()
{
    const OperatorSession& s = m_state.Session;
    const QString text = operatorStatusText(s.practiceMode, s.name, roleLabel(s.role));
    m_label->setText(text);
    for (QWidget* w : std::initializer_list<QWidget*>{m_label, m_lockButton, m_logOutButton})
        w->setVisible(!text.isEmpty());
    m_lock->setVisible(!text.isEmpty());
    m_logOut->setVisible(!text.isEmpty());
}

void OperatorStatus::logOut()
{
    if (!m_state.Session.loggedIn()) return;
    if (!m_state.ShowMessageDialog(AskQuestion, u("確定要登出 %1 嗎？").arg(m_state.Session.name))) return;
    auditOrReport(m_state, {QStringLiteral("logout"), {}, 0, {}});
    m_state.Session.name.clear();
    refresh();
    if (logInAgain) logInAgain();
    refresh();
}

} // namespace lumo
