#pragma once
// The start-up notice of a practice whose data directory is not on an
// encrypted file system: health records on a plain disk can be read by anyone
// who takes the machine or its disk. Told once a day (the day is kept in
// lumo_encryption_notice of the data directory), in practice mode only, and
// never for a main database on a server, which is not this machine's disk.

#include "practice/encryptedfs.h"

#include <QDate>
#include <QString>

namespace lumo {

struct SharedState;
class Database;

inline constexpr const char* EncryptionNoticeFile = "lumo_encryption_notice";

// Whether the main database holds an operator (practice mode before the login).
bool hasOperators(Database& db);

// "資料目錄 ... 不在加密的檔案系統上..." with the one-line advice.
QString unencryptedDataMessage(const QString& dataDir);

// The notice to tell at this start, empty when there is none; a notice
// returned is remembered as told today.
QString encryptionNoticeDue(SharedState& state, QDate today, const EncryptionProbe& probe = {});

// On a server, in practice mode: the notice that the connected login owns the
// audit log, which then only its trigger keeps (records/serverroles.h). Once
// a day, as above, remembered in lumo_audit_owner_notice.
inline constexpr const char* AuditOwnerNoticeFile = "lumo_audit_owner_notice";
QString auditOwnerNoticeDue(SharedState& state, QDate today);

} // namespace lumo
