#include "practice/audit.h"
#include "practice/auditactions.h"
#include "practice/auditlog.h"
#include "shell/sharedstate.h"

#include <QDateTime>

namespace lumo {

// Outside practice mode there is nothing to write: a practitioner alone has
// no operators and no log. In practice mode a database that cannot take the
// row makes this fail, and the caller decides what that means.
Status audit(SharedState& state, const AuditEntry& entry)
{
    if (!state.Session.practiceMode) return Status::success();
    if (!state.MainDatabase) return Status::failure(QString::fromUtf8("稽核紀錄無法寫入：主資料庫未開啟"));
    // A key the screens cannot name would leave a row nobody can read.
    if (!isAuditAction(entry.action))
        return Status::failure(QString::fromUtf8("稽核紀錄無法寫入：未知的動作 %1").arg(entry.action));
    AuditRow row;
    row.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    row.operatorName = entry.operatorName.isEmpty() ? state.Session.name : entry.operatorName;
    row.workstation = state.Session.workstation;
    row.action = entry.action;
    row.custNo = entry.custNo;
    row.dataKey = entry.mkey;
    row.detail = entry.detail;
    const Status s = appendAuditRow(*state.MainDatabase, &row);
    if (s) return s;
    return Status::failure(QString::fromUtf8("稽核紀錄無法寫入：") + s.error);
}

void auditOrReport(SharedState& state, const AuditEntry& entry)
{
    if (const Status s = audit(state, entry); !s) state.reportError(s.error);
}

} // namespace lumo
