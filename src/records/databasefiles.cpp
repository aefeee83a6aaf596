// The operations on database files as files: folding a log in, renaming a
// file with everything that belongs to it, and clearing what a gone file left.
// They speak to SQLite directly, because they must hold the file's own lock
// across a rename, which no connection of the SQL module can be asked to do.
#include "records/database.h"

#include "base/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sqlite3.h>
#include <unistd.h>

namespace lumo {
namespace {

// The files SQLite keeps beside a database under its name.
const char* const kCompanions[] = {"-wal", "-shm", "-journal"};

QString inUseMessage(const QString& path)
{
    return QString::fromUtf8(
               "%1 正由其他工作站或程式開啟中，檔案維持原狀；請先關閉其他工作站的 LUMO，再重新啟動。")
        .arg(QFileInfo(path).fileName());
}

class Connection
{
public:
    ~Connection()
    {
        if (m_db) sqlite3_close_v2(m_db);
    }
    int open(const QString& path)
    {
        const int rc =
            sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK) sqlite3_busy_timeout(m_db, Database::ClaimTimeoutMs);
        return rc;
    }
    int exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }
    // The first value of the first row of a statement.
    int text(const char* sql, QString* value)
    {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                *value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(st);
        return rc;
    }
    QString error() const
    {
        return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
    }

private:
    sqlite3* m_db = nullptr;
};

bool isBusy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

// Folds the log in and takes the file for this process alone, until the
// connection closes. Leaving WAL mode is granted only to the file's only
// connection: every other connection to a file in WAL mode keeps a shared
// lock on it for as long as it is open, also when idle, so an open
// workstation makes this fail instead of being cut off from its file.
Status claim(Connection& c, const QString& path)
{
    auto failure = [&](int rc) {
        return Status::failure(isBusy(rc) ? inUseMessage(path)
                                          : QStringLiteral("%1: %2").arg(path, c.error()));
    };
    if (int rc = c.open(path)) return failure(rc);
    c.exec("PRAGMA wal_checkpoint(TRUNCATE)"); // the mode change below tells whether it was allowed
    QString mode;
    if (int rc = c.text("PRAGMA journal_mode = DELETE", &mode)) return failure(rc);
    if (mode.compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0)
        return Status::failure(inUseMessage(path));
    // From here no other process can read or write the file until this connection closes.
    if (int rc = c.exec("PRAGMA locking_mode = EXCLUSIVE")) return failure(rc);
    if (int rc = c.exec("BEGIN EXCLUSIVE")) return failure(rc);
    if (QFileInfo::exists(path + QStringLiteral("-wal"))) return Status::failure(inUseMessage(path));
    return Status::success();
}

} // namespace

Status Database::settle(const QString& path)
{
    Connection c;
    return claim(c, path);
}

Status Database::moveFile(const QString& from, const QString& to)
{
    if (QFileInfo::exists(to))
        return Status::failure(QStringLiteral("%1: file exists; %2 keeps its name").arg(to, from));
    Connection c;
    Status s = claim(c, from);
    if (!s) return s;
    removeOrphanedCompanions(to);
    // The lock is the file's (its inode's), so it stays held across the rename
    // and goes when the connection closes.
    if (!QFile::rename(from, to))
        return Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(from, to));
    return Status::success();
}

Status Database::replaceFile(const QString& path, const QString& replacement, const QString& keepAs)
{
    if (QFileInfo::exists(keepAs))
        return Status::failure(QStringLiteral("%1: file exists; %2 stays as it is").arg(keepAs, path));
    Connection old;
    Status s = claim(old, path);
    if (!s) return s;
    Connection fresh;
    if (!(s = claim(fresh, replacement))) return s;
    const QByteArray from = QFile::encodeName(path);
    const QByteArray keep = QFile::encodeName(keepAs);
    if (::link(from.constData(), keep.constData()) != 0) {
        const int err = errno;
        // File systems without hard links (sticks, some shares): the claimed
        // file is whole and nobody else can write it, so a copy is the same file.
        if (err != EPERM && err != EOPNOTSUPP && err != EXDEV)
            return Status::failure(QStringLiteral("%1: cannot be kept as %2").arg(path, keepAs));
        if (!(s = copyFileAtomically(path, keepAs))) return s;
    }
    if (::rename(QFile::encodeName(replacement).constData(), from.constData()) != 0) {
        ::unlink(keep.constData());
        return Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(replacement, path));
    }
    // The old file's companions now lie beside a file they do not belong to.
    for (const char* suffix : kCompanions)
        QFile::remove(path + QLatin1String(suffix));
    return Status::success();
}

void Database::removeOrphanedCompanions(const QString& path)
{
    // The journal of a file that exists may be the only copy of its last
    // change; only the companions of a file that is gone are orphans.
    if (QFileInfo::exists(path)) return;
    for (const char* suffix : kCompanions)
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace lumo
