#pragma once
// The audit log's rows and their chain, over the records layer (either
// engine): appending a row chained to the last one, reading rows with
// filters, and checking the whole chain row by row.

#include "base/status.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace lumo {

class Database;

struct AuditRow
{
    qint64 mkey = 0;
    QString time; // UTC, ISO 8601 with milliseconds
    QString operatorName;
    QString workstation;
    QString action;
    QString custNo;
    qint64 dataKey = 0;
    QString detail;
    QString hash; // SHA-256, lower-case hexadecimal
};

// The SHA-256 (hex) that chains `row` to the row before it (`previous` is
// that row's HASH, empty for the first row).
QString auditHash(const QString& previous, const AuditRow& row);

// Appends the row (its MKEY and HASH are filled in), serialized against every
// other writer so the chain never forks. Joins the caller's open transaction;
// otherwise runs in one of its own.
Status appendAuditRow(Database& db, AuditRow* row);

// The HASH of the last row; empty when the log is empty or the database has
// no log (a file of an earlier version).
Status lastAuditHash(Database& db, QString* hash);

struct AuditFilter
{
    QString custNo;
    QString from; // YYYY-MM-DD, the first local day included; empty: no bound
    QString to;   // YYYY-MM-DD, the last local day included
    QString action;
    int newest = 0; // when > 0: only that many rows, the newest first (a screen's page of the log)
};

// The rows the filter finds, oldest first (or its newest ones, newest first),
// one at a time (`each` returns false to stop).
Status readAuditRows(Database& db, const AuditFilter& filter,
                     const std::function<bool(const AuditRow&)>& each);

struct AuditCheck
{
    qint64 rows = 0;      // rows checked
    qint64 brokenKey = 0; // MKEY of the first row that breaks the chain; 0 when whole
    QString why;          // what is wrong with it
    QString lastHash;
};

// Checks every row against its content and the row before it, reading them
// one at a time. The status fails only when the log cannot be read.
Status verifyAuditChain(Database& db, AuditCheck* check);

// One row as a JSON object, every column by its name.
QByteArray auditRowJson(const AuditRow& row);

} // namespace lumo
