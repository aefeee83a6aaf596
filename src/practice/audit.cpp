#include "practice/audit.h"
#include "practice/auditactions.h"
#include "practice/auditlog.h"
#include "records/database.h"
#include "shell/sharedstate.h"

#include <QDateTime>

namespace lumo {

// Outside practice mode there is nothing to write: a practitioner alone has
// no operators and no log. In practice mode a database that cannot take the
// row makes this fail, and the caller decides what that means.
Status audit(const OperatorSession& session, Database& db, const AuditEntry& entry, AuditRow* appended)
{
    if (!session.practiceMode) return Status::success();
    // A key the screens cannot name would leave a row nobody can read.
    if (!isAuditAction(entry.action))
        return Status::failure(QString::fromUtf8("稽核紀錄無法寫入：未知的動作 %1").arg(entry.action));
    AuditRow row;
    row.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    row.operatorName = entry.operatorName.isEmpty() ? session.name : entry.operatorName;
    row.workstation = session.workstation;
    row.action = entry.action;
    row.custNo = entry.custNo;
    row.dataKey = entry.mkey;
    row.detail = entry.detail;
    const Status s = appendAuditRow(db, &row);
    if (!s) return Status::failure(QString::fromUtf8("稽核紀錄無法寫入：") + s.error);
    if (appended) *appended = row;
    return s;
}

Status audit(SharedState& state, const AuditEntry& entry, AuditRow* appended)
{
    if (!state.Session.practiceMode) return Status::success();
    if (!state.MainDatabase) return Status::failure(QString::fromUtf8("稽核紀錄無法寫入：主資料庫未開啟"));
    return audit(state.Session, *state.MainDatabase, entry, appended);
}

Status auditedChange(SharedState& state, AuditEntry entry, const std::function<Status(AuditEntry&)>& change)
{
    if (!state.Session.practiceMode || !state.MainDatabase) return change(entry);
    Transaction t(*state.MainDatabase);
    if (!t.active()) return t.begun();
    if (Status s = change(entry); !s) return s;
    // Last, after the change's own row locks: the log's lock is then held only
    // for the commit, and two changes never wait for each other in turn.
    if (Status s = audit(state, entry); !s) return s;
    return t.commit();
}

void auditOrReport(SharedState& state, const AuditEntry& entry)
{
    if (const Status s = audit(state, entry); !s) state.reportError(s.error);
}

} // namespace lumo
