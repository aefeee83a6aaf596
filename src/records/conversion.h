#pragma once
// Conversion of a database of an earlier version (lumo.mdb) into the main
// database: every row of the four tables is appended with a new key.

#include "records/database.h"

#include <functional>

namespace lumo {

// All rows are appended in one transaction: on any error nothing is appended
// and the error is returned. advance(n) moves a progress bar by n.
Status convertOldDatabase(Database& main, const QString& oldPath, const std::function<void(int)>& advance);

// The whole step: convert, then set the old file aside as lumo_BAK.mdb
// (replacing an older backup). The old file keeps its name on any error.
Status convertWaitingDatabase(Database& main, const QString& dataDir, const std::function<void(int)>& advance);

} // namespace lumo
