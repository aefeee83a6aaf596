#pragma once
// A practice that copied its folder from the earlier Windows program brings
// its main database as an Access file. This program keeps its data in SQLite,
// so such a lumo4.mdb is copied, every row with its MKEY, into a new one; the
// original stays beside it as lumo4_jet.mdb.

#include "records/legacysource.h"

#include <functional>

namespace lumo {

inline constexpr const char* JetMainBackupFile = "lumo4_jet.mdb";

// True when the data directory's lumo4.mdb is an Access file.
bool mainDatabaseIsJet(const QString& dataDir);

// "偵測到舊版資料庫，是否轉換為新版格式？原始檔案將保留為 lumo4_jet.mdb。"
QString migrationQuestion();
// Why the program ends when the operator declines.
QString migrationDeclinedMessage();

// Copies the four tables of source into a new SQLite file written beside
// lumo4.mdb, in one transaction, then renames the Access file to
// lumo4_jet.mdb and the new file to lumo4.mdb. On any failure every file is
// as it was and the message says why.
Status migrateJetMainDatabase(const QString& dataDir, LegacySource& source);

// The start-up step: nothing when lumo4.mdb is not an Access file; otherwise
// asks (ask returns the answer) and migrates. A declined or failed migration
// is an error: the program cannot open the file.
Status migrateWaitingJetDatabase(const QString& dataDir, const std::function<bool(const QString&)>& ask);

} // namespace lumo
