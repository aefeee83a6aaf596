#pragma once
// Moving a practice between the engines: the main database file of the data
// directory to an empty database on a server, and a server's main database
// into a new file. Every row keeps its MKEY (measurements, treatment records
// and anything else that names a row by its key still find it) and every
// field its value; the copy is one transaction of the target and is compared
// with its source row by row and field by field before it is committed, so a
// practice moves whole or not at all.

#include "records/database.h"

#include <functional>

namespace lumo {

// Rows moved per table, in the order the tables were copied.
struct MovedRows
{
    QStringList tables;
    QVector<qint64> rows;
    QString summary() const; // "ZUCUST 12, ZUDATA 340, ..."
};

// Runs on the receiving end inside the copy's transaction, after every row
// was checked: what it writes (the audit log's entry of the move) arrives
// with the rows or not at all.
using MoveHook = std::function<Status(Database& target, const MovedRows& moved)>;

// The file must be this program's (an older version is read as it is) and no
// other workstation may have it open; the server's database must hold no rows
// of the program's tables yet (its schema is created when it has none).
Status migrateFileToServer(const QString& file, Database& server, MovedRows* moved,
                           const MoveHook& beforeCommit = {});

// The file must not exist yet; it is written beside its place and renamed
// into it when the copy is complete and checked.
Status migrateServerToFile(Database& server, const QString& file, MovedRows* moved,
                           const MoveHook& beforeCommit = {});

// "伺服器上的資料庫已有資料..." and friends, for the command's messages.
QString serverNotEmptyMessage(const QString& server);

} // namespace lumo
