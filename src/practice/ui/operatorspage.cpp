#include "practice/ui/operatorspage.h"

#include "practice/audit.h"
#include "practice/operators.h"
#include "shell/sharedstate.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtDebug>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QPushButton* button(QWidget* parent, const char* caption, QLayout* into)
{
    auto* b = new QPushButton(u(caption), parent);
    into->addWidget(b);
    return b;
}

} // namespace

OperatorsPage::OperatorsPage(SharedState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("OperatorsPage"));
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("OperatorGrid"));
    m_table->setHorizontalHeaderLabels({u("操作人員"), u("角色"), u("狀態")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    layout->addWidget(m_table);
    auto* form = new QFormLayout;
    m_name = new QLineEdit(this);
    m_role = new QComboBox(this);
    for (Role r : {Role::Admin, Role::Practitioner, Role::Assistant})
        m_role->addItem(roleLabel(r), int(r));
    m_password = new QLineEdit(this);
    m_again = new QLineEdit(this);
    for (QLineEdit* e : {m_password, m_again})
        e->setEchoMode(QLineEdit::Password);
    m_name->setAccessibleName(u("新操作人員名稱"));
    m_role->setAccessibleName(u("角色"));
    m_password->setAccessibleName(u("新密碼"));
    m_again->setAccessibleName(u("再輸入一次密碼"));
    form->addRow(u("名稱："), m_name);
    form->addRow(u("角色："), m_role);
    form->addRow(u("密碼："), m_password);
    form->addRow(u("再輸入一次："), m_again);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    connect(button(this, "新增操作人員", buttons), &QPushButton::clicked, this, &OperatorsPage::add);
    connect(button(this, "變更所選人員密碼", buttons), &QPushButton::clicked, this,
            &OperatorsPage::changePassword);
    connect(button(this, "停用所選人員", buttons), &QPushButton::clicked, this,
            &OperatorsPage::disableSelected);
    buttons->addStretch();
    layout->addLayout(buttons);
    reload();
}

void OperatorsPage::reload()
{
    if (!m_state.MainDatabase) return;
    Status st;
    const QVector<OperatorRow> rows = OperatorStore(*m_state.MainDatabase).list(&st);
    if (!st) m_state.reportError(st.error);
    m_table->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const OperatorRow& r = rows.at(i);
        m_table->setItem(i, 0, new QTableWidgetItem(r.name));
        m_table->setItem(i, 1, new QTableWidgetItem(roleLabel(r.role)));
        m_table->setItem(i, 2, new QTableWidgetItem(r.disabled ? u("停用") : u("啟用")));
    }
}

QString OperatorsPage::selectedName() const
{
    const int row = m_table->currentRow();
    return row >= 0 && m_table->item(row, 0) ? m_table->item(row, 0)->text() : QString();
}

QString OperatorsPage::typedPassword()
{
    const QString pw = m_password->text();
    const bool same = pw == m_again->text();
    m_password->clear();
    m_again->clear();
    if (pw.isEmpty() || !same) {
        m_state.ShowMessageDialog(NoteAttention,
                                  pw.isEmpty() ? passwordEmptyMessage() : u("兩次輸入的密碼不同。"));
        return {};
    }
    return pw;
}

// The entry goes with the change, in its transaction: a change the log
// cannot take is not made, and the dialog says why.
std::function<Status()> OperatorsPage::entry(const char* action, const QString& detail)
{
    return [this, action, detail] { return audit(m_state, {QLatin1String(action), {}, 0, detail}); };
}

OperatorStore OperatorsPage::store()
{
    OperatorStore s(*m_state.MainDatabase);
    s.setActor(m_state.Session);
    return s;
}

void OperatorsPage::add()
{
    const QString name = m_name->text().trimmed();
    const Role role = Role(m_role->currentData().toInt());
    const QString pw = typedPassword();
    if (pw.isEmpty() || !m_state.MainDatabase) return;
    // The first account turns practice mode on; the admin who made it is the
    // one at the keyboard, and its entry is the log's first.
    const OperatorSession before = m_state.Session;
    if (!m_state.Session.practiceMode) {
        m_state.Session.practiceMode = true;
        m_state.Session.name = name;
        m_state.Session.role = Role::Admin;
        // As the login sets it: every row of this run names the machine.
        m_state.Session.workstation = QSysInfo::machineHostName();
    }
    const Status st = store().add(name, role, pw,
                                  entry("operator.add", QStringLiteral("%1 (%2)").arg(name, roleKey(role))));
    if (!st) {
        m_state.Session = before;
        m_state.ShowMessageDialog(NoteAttention, st.error);
        return;
    }
    m_name->clear();
    reload();
}

void OperatorsPage::changePassword()
{
    const QString name = selectedName();
    if (name.isEmpty()) {
        m_state.ShowMessageDialog(NoteAttention, u("請先選取一位操作人員。"));
        return;
    }
    const QString pw = typedPassword();
    if (pw.isEmpty() || !m_state.MainDatabase) return;
    if (const Status st = store().passwd(name, pw, entry("operator.passwd", name)); !st) {
        m_state.ShowMessageDialog(NoteAttention, st.error);
        return;
    }
    m_state.ShowMessageDialog(NoteImportant, u("已變更 %1 的密碼。").arg(name));
    reload();
}

void OperatorsPage::disableSelected()
{
    const QString name = selectedName();
    if (name.isEmpty() || !m_state.MainDatabase) return;
    if (!m_state.ShowMessageDialog(AskAttention, u("確定要停用操作人員 %1 嗎？").arg(name))) return;
    if (const Status st = store().disable(name, entry("operator.disable", name)); !st) {
        m_state.ShowMessageDialog(NoteAttention, st.error);
        return;
    }
    reload();
}

} // namespace lumo
