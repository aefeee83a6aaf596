#pragma once
// The audit log's one door: every screen and command that reads or changes a
// subject's records, and every login, lock, print, export, import, backup,
// setting and operator change, records it here. Outside practice mode nothing
// is written. The operator and workstation come from the session.

#include "base/status.h"

#include <QString>

namespace lumo {

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
// (or in the caller's, when one is open). A failure comes back as the status;
// the caller decides whether the operation may stand without its entry.
Status audit(SharedState& state, const AuditEntry& entry);

// For a screen whose operation stands already: the entry, and when the log
// did not take it, the reason in the message dialog (once).
void auditOrReport(SharedState& state, const AuditEntry& entry);

} // namespace lumo
