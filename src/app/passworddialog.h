#pragma once
// The question for the database server's password at start-up, when libpq has
// none for it (no ~/.pgpass entry, no PGPASSFILE). The answer is kept in
// memory by the caller and never written anywhere.

#include <QDialog>
#include <optional>

class QLineEdit;

namespace lumo {

class PasswordDialog : public QDialog
{
    Q_OBJECT
public:
    // server: which server and user it is for; again: the last one was refused.
    PasswordDialog(const QString& server, bool again, QWidget* parent = nullptr);
    QString password() const;

private:
    QLineEdit* m_password;
};

// Shows the question modally; nothing when the operator leaves it.
std::optional<QString> askServerPassword(const QString& server, bool again);

} // namespace lumo
