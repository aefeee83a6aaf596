#include "practice/ui/loginscreen.h"

#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

LoginScreen::LoginScreen(SharedState& state, QWidget* parent, WallClock now)
    : QDialog(parent), m_state(state), m_now(std::move(now))
{
    setObjectName(QStringLiteral("LoginScreen"));
    setWindowTitle(u("操作人員登入"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("LoginName"));
    m_name->setAccessibleName(u("操作人員"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("LoginPassword"));
    m_password->setAccessibleName(u("密碼"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(u("操作人員(&N)："), m_name);
    form->addRow(u("密碼(&P)："), m_password);
    layout->addLayout(form);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("LoginMessage"));
    m_message->setStyleSheet(QStringLiteral("color: rgb(160,0,0);"));
    m_message->setWordWrap(true);
    layout->addWidget(m_message);
    auto* buttons = new QDialogButtonBox(this);
    m_login = buttons->addButton(u("登入"), QDialogButtonBox::AcceptRole);
    m_login->setDefault(true);
    buttons->addButton(u("離開系統"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &LoginScreen::tryLogin);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &LoginScreen::tick);
    setMinimumWidth(420);
    m_name->setFocus();
}

void LoginScreen::tryLogin()
{
    if (m_name->text().trimmed().isEmpty()) {
        m_message->setText(u("請輸入操作人員名稱。"));
        m_name->setFocus();
        return;
    }
    const LoginVerdict v =
        logIn(m_state, m_name->text().trimmed(), m_password->text(), QSysInfo::machineHostName(), m_now);
    m_password->clear();
    switch (v.outcome) {
    case LoginVerdict::Accepted:
        accept();
        return;
    case LoginVerdict::Failed:
        m_message->setText(v.status.error);
        break;
    case LoginVerdict::Waiting:
        showWait(v.waitUntil);
        break;
    case LoginVerdict::WrongPassword:
        if (v.waitUntil > 0)
            showWait(v.waitUntil);
        else
            m_message->setText(wrongPasswordMessage());
        break;
    }
    m_password->setFocus();
}

void LoginScreen::showWait(qint64 until)
{
    m_waitUntil = until;
    m_login->setEnabled(false);
    tick();
    m_timer->start();
}

void LoginScreen::tick()
{
    const qint64 left = (m_waitUntil - m_now() + 999) / 1000;
    if (left > 0) {
        m_message->setText(waitMessage(left));
        return;
    }
    m_timer->stop();
    m_login->setEnabled(true);
    m_message->setText(u("請再試一次。"));
}

bool logInIfNeeded(SharedState& state, QWidget* parent, bool* lockedOut)
{
    // A file of an older version opened for reading only has no operators.
    if (!state.MainDatabase) return true;
    Status st;
    if (OperatorStore(*state.MainDatabase).lockedOut(&st)) {
        state.ShowMessageDialog(NoteAttention, noEnabledAdminMessage(state.MainDatabase->onServer()));
        if (lockedOut) *lockedOut = true;
        return false;
    }
    if (!st) {
        state.reportError(st.error);
        return false;
    }
    if (!state.MainDatabase->hasTable(QStringLiteral("LUMOOPER"))) return true;
    state.Session.practiceMode = OperatorStore(*state.MainDatabase).practiceMode(&st);
    // Practice mode cannot be told: nobody is let in unchecked.
    if (!st) {
        state.reportError(st.error);
        return false;
    }
    if (!state.Session.practiceMode) return true;
    LoginScreen screen(state, parent);
    return execModal(screen) == QDialog::Accepted;
}

} // namespace lumo
