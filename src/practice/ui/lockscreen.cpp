#include "practice/ui/lockscreen.h"

#include "practice/audit.h"
#include "shell/sharedstate.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

LockScreen::LockScreen(SharedState& state, UnlockCheck check, QWidget* parent, WallClock now)
    : QDialog(parent), m_state(state), m_check(std::move(check)), m_now(std::move(now))
{
    setObjectName(QStringLiteral("LockScreen"));
    setWindowTitle(u("畫面已鎖定"));
    setModal(true);
    setWindowModality(Qt::ApplicationModal);
    m_name = new QLineEdit(state.Session.name, this);
    m_name->setObjectName(QStringLiteral("LockName"));
    m_name->setAccessibleName(u("操作人員"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("LockPassword"));
    m_password->setAccessibleName(u("密碼"));
    m_password->setEchoMode(QLineEdit::Password);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("LockResult"));
    m_result->setStyleSheet(QStringLiteral("color: rgb(160,0,0);"));
    m_unlock = new QPushButton(u("解除鎖定"), this);
    m_unlock->setObjectName(QStringLiteral("UnlockButton"));
    m_unlock->setDefault(true);
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &LockScreen::tick);

    auto* form = new QFormLayout;
    form->addRow(u("操作人員(&O)"), m_name);
    form->addRow(u("密碼(&P)"), m_password);
    // The form in the middle of a lock that fills the screen: the subjects'
    // data on the screens beneath stay out of sight of whoever passes by.
    auto* panel = new QWidget(this);
    panel->setMaximumWidth(520);
    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(new QLabel(u("畫面已鎖定。請由原操作人員或管理者輸入密碼解除。"), panel));
    layout->addLayout(form);
    layout->addWidget(m_result);
    layout->addWidget(m_unlock);
    auto* outer = new QGridLayout(this);
    outer->addWidget(panel, 1, 1);
    outer->setRowStretch(0, 1);
    outer->setRowStretch(2, 1);
    outer->setColumnStretch(0, 1);
    outer->setColumnStretch(2, 1);
    connect(m_unlock, &QPushButton::clicked, this, &LockScreen::tryUnlock);
    setWindowState(Qt::WindowFullScreen);
    m_password->setFocus();
}

void LockScreen::tryUnlock()
{
    const QString name = m_name->text().trimmed();
    const UnlockVerdict v =
        m_check ? m_check(name, m_password->text()) : UnlockVerdict{false, unlockRefusedMessage()};
    m_password->clear();
    if (!v.unlocked) {
        // Every refused try is logged, a try during a wait included.
        audit(m_state, {QStringLiteral("login.failed"), {}, 0, u("解除鎖定：") + name});
        m_result->setText(v.message);
        if (v.waitUntil > 0) showWait(v.waitUntil);
        m_password->setFocus();
        return;
    }
    // The row names who took the lock away: an admin for another operator
    // is that admin, and the detail says whose screens they were.
    const bool other = name.compare(m_state.Session.name, Qt::CaseInsensitive) != 0;
    audit(m_state, {QStringLiteral("unlock"),
                    {},
                    0,
                    other ? u("解除 %1 的鎖定").arg(m_state.Session.name) : name,
                    other ? name : QString()});
    accept();
}

void LockScreen::showWait(qint64 until)
{
    m_waitUntil = until;
    m_unlock->setEnabled(false);
    tick();
    m_timer->start();
}

void LockScreen::tick()
{
    const qint64 left = (m_waitUntil - m_now() + 999) / 1000;
    if (left > 0) {
        m_result->setText(waitMessage(left));
        return;
    }
    m_timer->stop();
    m_unlock->setEnabled(true);
    m_result->setText(u("請再試一次。"));
}

void LockScreen::closeEvent(QCloseEvent* e)
{
    e->ignore();
}

} // namespace lumo
