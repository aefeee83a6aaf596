#pragma once
// How a measurement was taken travels with it in the transfer file: the side
// rows (ZUQUAL, ZUCOND) of the measurements that travel, keyed by the keys
// the measurements get in the file they arrive in. The earlier program reads
// the file's four tables and never looks at these; a file without them (an
// older one, an Access file) brings measurements without side rows.

#include "records/database.h"
#include "records/legacysource.h"

namespace lumo {

// The side tables, in the order they travel.
const QStringList& measurementSideTables(); // ZUQUAL, ZUCOND

// After ZUDATA was exported in MKEY order into the empty transfer file: the
// side rows of the exported measurements, inside the export's transaction.
Status exportMeasurementExtras(Database& main, Database& transfer);

// The main database's measurement keys above `after`, in order: the rows an
// import just appended.
QVector<qint64> keysAfter(Database& main, qint64 after, Status* status);
qint64 largestMeasurementKey(Database& main, Status* status);

// After ZUDATA was imported: `appended` are the main database's new keys in
// the order the file's ZUDATA rows were read. A side row whose measurement is
// not in the file, a damaged blob or an answer out of range is left out.
Status importMeasurementExtras(Database& main, LegacySource& source, const QVector<qint64>& appended);

// Replacing the records empties the side tables with ZUDATA.
Status clearMeasurementExtras(Database& main);

} // namespace lumo
