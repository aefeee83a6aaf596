#pragma once
// 操作人員: the accounts of practice mode on a page of the user settings
// (admins only, or anyone before the first account exists): add, change a
// password, disable. Every change is written to the log.

#include "base/status.h"
#include "practice/operators.h"

#include <QWidget>
#include <functional>

class QComboBox;
class QLineEdit;
class QTableWidget;

namespace lumo {

struct SharedState;

class OperatorsPage : public QWidget
{
    Q_OBJECT
public:
    explicit OperatorsPage(SharedState& state, QWidget* parent = nullptr);

private:
    void reload();
    void add();
    void changePassword();
    void disableSelected();
    QString selectedName() const;
    // The two password fields, when they match and are not empty (else said, and empty).
    QString typedPassword();
    std::function<Status()> entry(const char* action, const QString& detail);
    OperatorStore store();

    SharedState& m_state;
    QTableWidget* m_table;
    QLineEdit* m_name;
    QComboBox* m_role;
    QLineEdit* m_password;
    QLineEdit* m_again;
};

} // namespace lumo
