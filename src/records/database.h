#pragma once
// One open database file. Main files are shared between workstations, so they
// run in WAL mode with synchronous commits and wait for each other's locks;
// the delivered knowledge and master files are only ever read.

#include "records/schema.h"
#include "base/status.h"

#include <QSqlDatabase>
#include <QString>
#include <memory>

struct sqlite3;

namespace lumo {

class Database
{
public:
    enum class Access { ReadWrite, ReadOnly };

    // Opens an existing file. A missing file, a file that is not a database of
    // the kind, or an unreadable one is an error; the file is left untouched.
    static std::unique_ptr<Database> open(const QString& path, FileKind kind, Access access, Status* status);

    // Creates a new, empty file of the kind (used by the build and by export).
    static std::unique_ptr<Database> create(const QString& path, FileKind kind, Status* status);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QSqlDatabase& sql() { return m_db; }
    const QString& path() const { return m_path; }
    FileKind kind() const { return m_kind; }
    bool readOnly() const { return m_access == Access::ReadOnly; }

    // Folds a write-ahead log back into the file and closes it, so the file can
    // be copied or renamed on its own (used before the start-up file swaps).
    static void settle(const QString& path);

    // The connection's own SQLite handle, for the few read paths where the
    // per-value cost of the SQL module matters (the driver uses the same library).
    ::sqlite3* handle();

    // Does the table of this file have the column? (Older files may lack optional ones.)
    bool hasColumn(const QString& table, const QString& column);

    // Milliseconds a writer waits for another workstation's lock.
    static constexpr int BusyTimeoutMs = 10000;

private:
    Database(const QString& connection, const QString& path, FileKind kind, Access access);
    QString m_connection;
    QString m_path;
    FileKind m_kind;
    Access m_access;
    QSqlDatabase m_db;
};

// Every multi-row change runs inside one of these: it rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool active() const { return m_active; }
    Status commit();

private:
    QSqlDatabase& m_db;
    bool m_active = false;
};

// The last error text of a query or database, for messages.
QString sqlError(const class QSqlQuery& q);

} // namespace lumo
