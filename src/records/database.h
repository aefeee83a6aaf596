#pragma once
// One open database: a file, or the main database on a server. Main files are
// shared between workstations, so they run with synchronous commits and wait
// for each other's locks: in WAL mode on a local disk, with the rollback
// journal in a network folder (the log needs memory shared on one machine).
// The delivered knowledge and master files are only ever read. What differs
// between SQLite and the server is the Engine's; every records operation goes
// through run(), cursor() or appender() here, which also notice a server that
// went away and connect again before the next operation.

#include "base/status.h"
#include "records/engine.h"
#include "records/schema.h"

#include <QSqlDatabase>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

struct sqlite3;

namespace lumo {

class DatabaseWatch;

// How to reach the main database on a server: a libpq connection string, and
// the password the operator typed at start-up (kept in memory only).
struct ServerLogin
{
    QString conninfo;
    QString password;
};

class Database
{
public:
    enum class Access
    {
        ReadWrite,
        ReadOnly
    };

    // Opens an existing file. A missing file, a file that is not a database of
    // the kind, or an unreadable one is an error; the file is left untouched.
    static std::unique_ptr<Database> open(const QString& path, FileKind kind, Access access, Status* status);

    // Creates a new, empty file of the kind (used by the build and by export).
    static std::unique_ptr<Database> create(const QString& path, FileKind kind, Status* status);

    // The main database on a PostgreSQL server: its schema is created on the
    // first connection and upgraded like a file's. The error is the driver's text.
    static std::unique_ptr<Database> connect(const ServerLogin& login, Status* status);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The connection for Qt's own queries (a lost server connection is opened again first).
    QSqlDatabase& sql();
    // The file, or "PostgreSQL host=... dbname=..." for a server (no password).
    const QString& path() const { return m_path; }
    FileKind kind() const { return m_kind; }
    bool readOnly() const { return m_access == Access::ReadOnly; }
    bool onServer() const { return m_engine->kind() == EngineKind::Postgres; }
    Engine& engine() { return *m_engine; }
    const ServerLogin& login() const { return m_login; }

    // A statement with ? placeholders (one round trip on a server); the rows
    // it returned and how many it changed. Errors come as the screens show
    // them: databaseBusyMessage() for another workstation's lock,
    // serverConnectionLostMessage() for a server that went away.
    Status run(const QString& sql, const QVariantList& binds = {}, SqlRows* rows = nullptr,
               qint64* affected = nullptr);
    // The rows of a query one at a time (an export, the research files).
    std::unique_ptr<LegacyCursor> cursor(const QString& sql, const QVariantList& binds, Status* status);
    // Appends many rows to one table (an import, a migration).
    std::unique_ptr<RowAppender> appender(const QString& table, const QStringList& columns, Status* status);

    // Tells open lists when another workstation changed the tables, and when
    // the connection came back after the server went away. Made when first
    // asked for (the screens do; the commands never wait for changes).
    DatabaseWatch& watch();
    bool inTransaction() const { return m_transactions > 0; }
    // Whether a write transaction is open (a read snapshot is none).
    bool writing() const { return m_writing > 0; }
    // Work that must happen only once the change is on the disk (the audit
    // log's anchor outside the database): run after the open transaction
    // commits, dropped when it rolls back; with no transaction open, at once.
    void afterCommit(std::function<void()> work);

    // Folds a write-ahead log back into the file and leaves it in rollback
    // mode, so the file is whole on its own. Fails while another process has
    // the file open (it holds the log then), and the file stays as it was.
    static Status settle(const QString& path);

    // Gives a database file a new name, with everything that belongs to it:
    // its log is folded in first, and the rename happens while this process
    // holds the file alone, so no other workstation can go on writing into a
    // file that has changed its name. While another process has it open the
    // files are left as they are and the message says so. Log files found
    // under the new name belong to no file (a crash left them after their file
    // went) and are removed, so they can never be replayed onto this one.
    static Status moveFile(const QString& from, const QString& to);

    // Puts `replacement` in the place of `path` in one rename and keeps the
    // file that was there as `keepAs`, all or nothing: both files are taken
    // for this process alone first (so no workstation holds either, and their
    // logs are folded in), the old one gets its second name by a hard link
    // before the rename, and the old file's log and shared memory are removed
    // before anything opens the new one. An existing `keepAs` is an error and
    // stays as it is; a failure leaves `path` as it was.
    static Status replaceFile(const QString& path, const QString& replacement, const QString& keepAs);

    // Removes the log, shared-memory and rollback-journal files of a database
    // file that is gone, before another file takes its name.
    static void removeOrphanedCompanions(const QString& path);

    // The connection's own SQLite handle, for the few read paths where the
    // per-value cost of the SQL module matters (the driver uses the same
    // library); null on a server.
    ::sqlite3* handle();

    // The number of rows of a table. ZUCUST and ZUDATA are counted by
    // triggers in the database itself (LUMOCOUNT), so the count is one row's
    // read whatever another workstation did; counting ten million
    // measurements takes seconds, and the screens show the count on every
    // opening. Other tables, and files too old to have the kept counts, are
    // counted. -1 when the database cannot be read.
    qint64 rowCount(const QString& table);

    // Does the table of this file have the column? (Older files may lack optional ones.)
    bool hasColumn(const QString& table, const QString& column);
    bool hasTable(const QString& table);

    // Milliseconds a writer waits for another workstation's lock.
    static constexpr int BusyTimeoutMs = 10000;
    // Milliseconds a rename waits for other processes to let go of a file.
    static constexpr int ClaimTimeoutMs = 2000;
    // Changes this connection's wait (tests shorten it).
    void setBusyTimeout(int ms);
    // SQLite's full check of the file; its findings as the error.
    Status checkIntegrity();
    // Whether a change would reach the disk: a write of the file's own
    // version number, committed, so that the journal or log, the directory
    // entry for it and the disk space are all tried. Nothing of the data
    // changes. A read-only connection, file or folder, or a full disk, fails
    // with the reason in the operator's words.
    Status checkWritable();
    // The log's guard was missing or disabled when this database was opened,
    // and was made again (with its own row in the log, in practice mode).
    bool auditGuardRecreated() const { return m_auditGuardRecreated; }

private:
    friend class Transaction;
    friend class ReadSnapshot;
    Database(const QString& connection, const QString& path, FileKind kind, Access access, EngineKind engine);
    // Opens a lost server connection again, unless a transaction is open (its
    // statements must fail rather than go on in a new session).
    Status ensureConnected();
    // A COMMIT whose answer the broken connection never brought: looked up on
    // a new connection, and told as done, not done, or not known.
    Status settleLostCommit(const Status& lost);
    Status bringSchemaUpToDate(bool created);
    bool readableInPlace();
    bool auditGuardIntact();
    Status recordAuditGuardRecreated();
    QString m_connection;
    QString m_path;
    FileKind m_kind;
    Access m_access;
    QSqlDatabase m_db;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<DatabaseWatch> m_watch;
    ServerLogin m_login;
    int m_transactions = 0;
    int m_writing = 0;     // the open write transaction and those that joined it
    bool m_doomed = false; // a joined transaction ended without its commit
    bool m_auditGuardRecreated = false;
    std::vector<std::function<void()>> m_afterCommit;
    int m_keepsCounts = -1; // LUMOCOUNT is there (1) or not (0); -1: not asked yet
};

// Every multi-row change runs inside one of these: it rolls back unless committed.
// One begun while a write transaction is open joins it: its commit commits
// nothing yet, and one that ends without its commit makes the open one roll
// back at its commit. A change made of several (a subject's removal and the
// audit log's entry of it) is so still one. Inside a read snapshot one fails
// to begin, on either engine.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool active() const { return m_active; }
    // Why it did not begin: databaseBusyMessage() when another workstation
    // held the lock longer than the wait. Callers stop there, writing nothing.
    const Status& begun() const { return m_begun; }
    // A transaction that never began commits nothing and returns begun().
    Status commit();

private:
    void end();
    Database& m_db;
    bool m_active = false;
    bool m_joined = false;
    bool m_committed = false;
    Status m_begun;
};

// The notice that the log's guard had to be made again.
QString auditGuardRecreatedMessage();

// "資料庫正由其他工作站使用中，請稍後再試。"
QString databaseBusyMessage();
// A write refused because the file or its folder is read-only, and one
// refused for want of disk space: SQLite's own texts are English.
QString databaseReadOnlyMessage();
QString diskFullMessage();

// A server database without this program's version that holds one of its
// tables all the same: another program's, left as it is.
QString foreignTableMessage(const QString& table);

// A change whose COMMIT reached the server when the connection broke, and
// whose outcome could not be looked up on a new connection either.
QString commitUnknownMessage();

// "這筆資料已被其他工作站修改，請重新載入後再修改。": a save of a row that
// another workstation changed (or deleted) since this one read it; nothing
// was written. The screens show it in the message dialog, not as an error.
QString rowConflictMessage();
bool isRowConflict(const Status& status);

// The last error text of a query or database, for messages; a lock held by
// another workstation beyond the wait reads as databaseBusyMessage(), a
// read-only file or a full disk as the two messages above.
QString sqlError(const class QSqlQuery& q);
QString sqlError(const class QSqlError& e);

} // namespace lumo
