#pragma once
// One open database file. Main files are shared between workstations, so they
// run with synchronous commits and wait for each other's locks: in WAL mode on
// a local disk, with the rollback journal in a network folder (the log needs
// memory shared on one machine). The delivered knowledge and master files are
// only ever read.

#include "records/schema.h"
#include "base/status.h"

#include <QHash>
#include <QPair>
#include <QSqlDatabase>
#include <QVector>
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
    // per-value cost of the SQL module matters (the driver uses the same library).
    ::sqlite3* handle();

    // The number of rows of a table, counted once and then kept: it is
    // counted again only after another connection committed a change to the
    // file, or after this one changed rows without noting it below. Counting
    // ten million measurements takes seconds; the screens show the count on
    // every opening.
    qint64 rowCount(const QString& table);
    // After a committed change of this connection: how many rows it changed
    // in all and how each table's count moved. Changes made inside a
    // transaction that is still open are not noted (they may roll back), so
    // the next rowCount counts again.
    void noteRowsChanged(qint64 rowsChanged, const QVector<QPair<QString, qint64>>& moved);

    // Does the table of this file have the column? (Older files may lack optional ones.)
    bool hasColumn(const QString& table, const QString& column);

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

private:
    Database(const QString& connection, const QString& path, FileKind kind, Access access);
    bool readableInPlace();
    QString m_connection;
    QString m_path;
    FileKind m_kind;
    Access m_access;
    QSqlDatabase m_db;
    struct KeptCount
    {
        qint64 rows;
        qint64 dataVersion; // another connection's commit changes it
        qint64 changes;     // rows this connection changed, when counted
    };
    QHash<QString, KeptCount> m_counts;
    qint64 dataVersion();
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
    // Why it did not begin: databaseBusyMessage() when another workstation
    // held the lock longer than the wait. Callers stop there, writing nothing.
    const Status& begun() const { return m_begun; }
    // A transaction that never began commits nothing and returns begun().
    Status commit();

private:
    QSqlDatabase& m_db;
    bool m_active = false;
    Status m_begun;
};

// "資料庫正由其他工作站使用中，請稍後再試。"
QString databaseBusyMessage();
// A write refused because the file or its folder is read-only, and one
// refused for want of disk space: SQLite's own texts are English.
QString databaseReadOnlyMessage();
QString diskFullMessage();

// The last error text of a query or database, for messages; a lock held by
// another workstation beyond the wait reads as databaseBusyMessage(), a
// read-only file or a full disk as the two messages above.
QString sqlError(const class QSqlQuery& q);
QString sqlError(const class QSqlError& e);

} // namespace lumo
