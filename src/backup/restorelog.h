#pragma once
// The audit log across a restore. The log is the practice's history, not
// the copy's: what happened after the copy was made (and the restore itself)
// happened all the same, and the log must never lose a row. So a restore
// puts the copy's records in place under the log of the database it replaces.

#include "base/status.h"

#include <QString>

namespace lumo {

// Replaces the log of `incoming` (a restored copy not yet in place) with the
// log of `live` (the database it is about to replace), every row as it is,
// chain intact, in one transaction; the table is made anew from the schema
// definition, so the triggers that refuse changes and removals hold on the
// result. Without a live database, or one without a log (a file of an
// earlier version), the copy's log stays: it is then the only history there
// is. copyLastHash receives the HASH the copy's own log ended at (empty when
// it had none), read before the log is replaced.
Status keepLiveAuditLog(const QString& incoming, const QString& live, QString* copyLastHash);

// The restore row's detail: the copy, and where its own log ended, so the
// copy's history can still be checked against its file.
QString restoreAuditDetail(const QString& copy, const QString& copyLastHash);

} // namespace lumo
