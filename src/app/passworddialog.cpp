#include "app/passworddialog.h"

#include "widgets/modal.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

PasswordDialog::PasswordDialog(const QString& server, bool again, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(u("資料庫伺服器登入"));
    auto* question = new QLabel(
        again ? u("密碼不正確，請重新輸入資料庫伺服器的密碼：") : u("請輸入資料庫伺服器的密碼："), this);
    question->setObjectName(QStringLiteral("PasswordQuestion"));
    auto* where = new QLabel(server, this);
    where->setObjectName(QStringLiteral("ServerName"));
    where->setWordWrap(true);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("PasswordBox"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(u("密碼"));
    auto* ok = new QPushButton(u("確  定"), this);
    ok->setObjectName(QStringLiteral("BitBtnOk"));
    ok->setDefault(true);
    auto* leave = new QPushButton(u("離  開"), this);
    leave->setObjectName(QStringLiteral("BitBtnLeave"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(leave, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(leave);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(where);
    layout->addWidget(m_password);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    m_password->setFocus();
}

QString PasswordDialog::password() const
{
    return m_password->text();
}

std::optional<QString> askServerPassword(const QString& server, bool again)
{
    PasswordDialog dialog(server, again);
    if (execModal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.password();
}

} // namespace lumo
