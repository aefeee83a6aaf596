#pragma once
// The audit log across a restore. The log is the practice's history, not
// the copy's: what happened after the copy was made (and the restore itself)
// happened all the same, and the log must never lose a row. So a restore
// puts the copy's records in place under the log of the database it replaces,
// and under its operator accounts: who may log in is decided now, not by an
// old copy.

#include "base/status.h"

#include <QString>

namespace lumo {

// Replaces the log of `incoming` (a restored copy not yet in place) with the
// log of `live` (the database it is about to replace), every row as it is,
// chain intact, in one transaction; the table is made anew from the schema
// definition, so the triggers that refuse changes and removals hold on the
// result. The live operator accounts replace the copy's in the same
// transaction when there are any. Without a live database, or one without a log (a file of an
// earlier version), the copy's log stays: it is then the only history there
// is. A restore is what a damaged database is repaired with, so a live log
// that cannot be read does not stop it: the copy's log stays, the reason goes
// to liveLogLost, and the live file, kept by the restore beside the new one,
// still holds its rows. copyLastHash receives the HASH the copy's own log
// ended at (empty when it had none), read before the log is replaced. A
// failure is the restored file's own (it cannot be opened or written).
Status keepLiveAuditLog(const QString& incoming, const QString& live, QString* copyLastHash,
                        QString* liveLogLost);

// The restore row's detail: the copy, where its own log ended (so the copy's
// history can still be checked against its file), and why the log in place
// was not kept when it was not.
QString restoreAuditDetail(const QString& copy, const QString& copyLastHash, const QString& liveLogLost = {});

// Said once on the command line when the log in place could not be kept.
QString liveLogLostMessage(const QString& keptAs, const QString& why);

} // namespace lumo
