#pragma once
// The workstations' own logins on a server. The login that created the
// schema owns every table, and an owner keeps every privilege whatever is
// revoked and may drop or disable the audit log's trigger. So the practice's
// owner login makes the schema and grants each workstation's login what its
// work needs: reading and writing the records, reading and appending the log.

#include "base/status.h"

#include <QString>

namespace lumo {

class Database;

// "資料庫結構需要建立或更新..." naming the schema's owner (empty: none yet).
QString schemaOwnerFirstMessage(const QString& owner);

// Whether the connected login holds the rights of LUMOAUDIT's owner (its
// owner, a member of that role, or a superuser): then only the trigger keeps
// the log. False on a file or where the table is not there.
Status loginOwnsAuditLog(Database& db, bool* owns);

// The start-up's one line for that case.
QString auditOwnerNotice();

// Grants role the workstation's privileges, in one transaction, as the
// schema's owner; idempotent. Refused when this login lacks the owner's
// rights, when role does not exist or holds the owner's rights itself.
Status grantWorkstationLogin(Database& db, const QString& role);

} // namespace lumo
