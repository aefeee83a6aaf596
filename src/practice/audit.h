#pragma once
// The audit log's one door: every screen and command that reads or changes a
// subject's records, and every login, lock, print, export, import, backup,
// setting and operator change, records it here. Outside practice mode nothing
// is written. The operator and workstation come from the session.

#include "base/status.h"
#include "practice/auditlog.h"

#include <QString>
#include <functional>

namespace lumo {

class Database;
struct OperatorSession;
struct SharedState;

struct AuditEntry
{
    QString action;  // a short stable key, e.g. "login", "subject.delete"
    QString custNo;  // the subject concerned, if any
    qint64 mkey = 0; // the measurement (ZUDATA MKEY) concerned, if any
    QString detail;  // what was done: a file, the old and new values of the fields changed
    // Who did it, when not the session's operator: an admin who takes away
    // another operator's lock.
    QString operatorName = {};
};

// Appends the entry, chained to the last row, in a transaction of its own
// (or in the caller's, when one is open: then the row stands or goes with the
// caller's change). A failure comes back as the status; the caller decides
// whether the operation may stand without its entry. `appended`, when given,
// receives the row as stored (its MKEY and HASH); it stays empty when nothing
// was written (outside practice mode).
Status audit(SharedState& state, const AuditEntry& entry, AuditRow* appended = nullptr);
// The same for a database that is not the state's main one (the receiving end of a move).
Status audit(const OperatorSession& session, Database& db, const AuditEntry& entry,
             AuditRow* appended = nullptr);

// A change to the main database and its entry as one transaction: `change`
// runs inside it (its own transactions join it) and may complete the entry
// with what it did; the entry is appended after it, and both are committed
// together or neither is. So a kill, a full disk or a log that refuses the
// row never leaves a change without its entry. Outside practice mode only
// the change runs.
Status auditedChange(SharedState& state, AuditEntry entry, const std::function<Status(AuditEntry&)>& change);

// For a screen whose operation stands already: the entry, and when the log
// did not take it, the reason in the message dialog (once).
void auditOrReport(SharedState& state, const AuditEntry& entry);

} // namespace lumo
