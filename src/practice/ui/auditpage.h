#pragma once
// 稽核紀錄: the audit log on a page for the practice's admin, reached from
// 系統支援. The newest rows a filter finds (subject number, days, action) in a
// table, exported to a file or printed. The page reads a bounded number of
// rows, never the whole log.

#include "practice/auditlog.h"
#include "practice/session.h"

#include <QDialog>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableWidget;

namespace lumo {

struct SharedState;

class AuditPage : public QDialog
{
    Q_OBJECT
public:
    static constexpr int PageRows = 1000; // the newest rows shown; the export has all of them

    explicit AuditPage(SharedState& state, QWidget* parent = nullptr);

private:
    // The typed filter; false (and said why) when a date is not one.
    bool typedFilter(AuditFilter* filter);
    void applyFilter();
    void exportRows();
    void printRows();
    QString filterText() const;

    SharedState& m_state;
    QLineEdit* m_custNo;
    QLineEdit* m_from;
    QLineEdit* m_to;
    QComboBox* m_action;
    QTableWidget* m_table;
    QLabel* m_note;
    AuditFilter m_shown; // the filter whose rows the table shows
};

// The entry under 系統支援. It stays hidden until showAuditLogEntry: outside
// practice mode there is no log to show.
QAction* addAuditLogEntry(QMenu* menu, SharedState& state, QWidget* window);
// After the login: shown in practice mode, disabled with the reason for any
// role but the admin's.
void showAuditLogEntry(QAction* entry, const OperatorSession& session);

} // namespace lumo
