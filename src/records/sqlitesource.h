#pragma once
// Rows of an open database of this program (a file or the server) as a
// LegacyCursor, so that the export copies them the way the import copies the
// rows of a file.

#include "records/database.h"
#include "records/legacysource.h"

struct sqlite3;

namespace lumo {

// The rows of a query on the connection, in the query's order.
std::unique_ptr<LegacyCursor> queryCursor(Database& db, const QString& sql, Status* status);

// Reads of several tables in one snapshot of the database, so that rows another
// workstation adds meanwhile do not arrive without their subject or program.
class ReadSnapshot
{
public:
    explicit ReadSnapshot(Database& db);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    Database& m_db;
    bool m_open = false;
};

} // namespace lumo
