#pragma once
// The audit log's rows that a filter finds, written to a file for the
// practice's records or an inspector: JSON lines (one object per row, as
// lumo-cli audit prints them) or CSV (UTF-8 with a byte-order mark, so that
// spreadsheet programs read the Chinese texts; the action's Chinese name in a
// last column beside its key).

#include "base/status.h"
#include "practice/auditlog.h"

namespace lumo {

enum class AuditExportFormat
{
    JsonLines,
    Csv
};

// The format a file name asks for: .csv is CSV, anything else JSON lines.
AuditExportFormat auditExportFormatOf(const QString& file);

// Streams the rows into `file`, oldest first, replacing it only once every row
// is written: a failure leaves what was there. `rows` is the count written.
Status exportAuditRows(Database& db, AuditFilter filter, const QString& file, AuditExportFormat format,
                       qint64* rows);

} // namespace lumo
