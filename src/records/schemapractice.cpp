// The tables of practice mode. Both live in the main database, on either
// engine, so every workstation of a practice shares the operators and writes
// into one log.
#include "records/schema.h"

namespace lumo {
namespace {

ColumnDef column(const char* name, ColumnType type, const char* declaration)
{
    return {QLatin1String(name), type, QLatin1String(declaration), PracticeSince};
}

} // namespace

// One row per operator account. The password only as its Argon2id hash
// (the encoded form that carries its own salt and parameters); FAILS counts
// the wrong passwords in a row and WAITUNTIL (ms since the epoch, UTC) is when
// the next try is taken after five of them. Accounts are disabled, never
// deleted, so the log's names keep meaning someone.
TableDef operatorTable()
{
    return {QStringLiteral("LUMOOPER"),
            PracticeSince,
            {column("MKEY", ColumnType::Key, "INTEGER PRIMARY KEY AUTOINCREMENT"),
             column("NAME", ColumnType::Text, "TEXT COLLATE NOCASE NOT NULL DEFAULT ''"),
             column("ROLE", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("PWHASH", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("DISABLED", ColumnType::Integer, "INTEGER NOT NULL DEFAULT 0"),
             column("FAILS", ColumnType::Integer, "INTEGER NOT NULL DEFAULT 0"),
             column("WAITUNTIL", ColumnType::Integer, "INTEGER NOT NULL DEFAULT 0"),
             column("CREATED", ColumnType::Text, "TEXT NOT NULL DEFAULT ''")}};
}

// The audit log, append-only: MKEY is the order of the rows; ATIME the UTC
// time as ISO 8601 with milliseconds; CUSTNO and DATAKEY (a ZUDATA MKEY) name
// the subject and the measurement where one is concerned; HASH is the SHA-256
// (hex) over the previous row's HASH and this row's content, so a changed,
// removed or inserted row breaks the chain from there on.
TableDef auditTable()
{
    return {QStringLiteral("LUMOAUDIT"),
            PracticeSince,
            {column("MKEY", ColumnType::Key, "INTEGER PRIMARY KEY AUTOINCREMENT"),
             column("ATIME", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("OPERATOR", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("WORKSTATION", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("ACTION", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("CUSTNO", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("DATAKEY", ColumnType::Integer, "INTEGER NOT NULL DEFAULT 0"),
             column("DETAIL", ColumnType::Text, "TEXT NOT NULL DEFAULT ''"),
             column("HASH", ColumnType::Text, "TEXT NOT NULL DEFAULT ''")}};
}

} // namespace lumo
