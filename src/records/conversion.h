#pragma once
// Conversion of a database of an earlier version (lumo.mdb, a file of this
// program or an Access file of the earlier Windows program) into the main
// database: every row of the four tables is appended with a new key.

#include "records/database.h"

#include <functional>

namespace lumo {

// All rows are appended in one transaction, together with a record of the
// old file's content (LUMOCONV): a file whose record is there already is not
// appended again (*alreadyConverted is set). On any error nothing is appended
// and the error is returned. advance(n) moves a progress bar by n.
Status convertOldDatabase(Database& main, const QString& oldPath, const std::function<void(int)>& advance,
                          bool* alreadyConverted = nullptr);

// Where a test stops the conversion: after its rows are committed and before
// the old file is renamed (a crash there is what the record guards against).
struct ConversionHooks
{
    std::function<void()> afterCommit;
};

// The whole step: convert, then set the old file aside as lumo_BAK.mdb
// (replacing an older backup). The old file keeps its name on any error; a
// file converted by an earlier start that ended before the rename is only
// renamed now, so its rows are never appended twice.
// *alreadyConverted is set when the file was found converted before (a copy
// put back, or a start that ended before the rename): nothing was appended.
Status convertWaitingDatabase(Database& main, const QString& dataDir, const std::function<void(int)>& advance,
                              const ConversionHooks& hooks = {}, bool* alreadyConverted = nullptr);

// What the start-up status tells when lumo.mdb was set aside without appending.
QString alreadyConvertedMessage();

} // namespace lumo
