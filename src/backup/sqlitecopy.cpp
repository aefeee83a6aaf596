// The copy itself: SQLite's online backup from a read snapshot of the source,
// checked against that same snapshot.
#include "backup/backup.h"

#include "records/schemaobjects.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {
namespace {

class Handle
{
public:
    ~Handle()
    {
        if (m_db) sqlite3_close_v2(m_db);
    }
    Status open(const QString& path, int flags)
    {
        m_path = path;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK)
            return failure();
        // A copy being restored may come from anywhere: nothing in its schema runs here.
        distrustSchema(m_db);
        // Workstations writing at the same moment hold the lock for one commit.
        sqlite3_busy_timeout(m_db, 10000);
        return Status::success();
    }
    Status exec(const char* sql)
    {
        return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? Status::success()
                                                                               : failure();
    }
    // Every first value of the statement's rows, as text.
    Status values(const QString& sql, QStringList* out)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            return failure();
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            *out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return rc == SQLITE_DONE ? Status::success() : failure();
    }
    // The audit log's last HASH, empty when there is no log or no row yet.
    Status lastAuditHash(QString* hash)
    {
        QStringList v;
        Status s = values(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'LUMOAUDIT'"), &v);
        if (s && !v.isEmpty()) {
            v.clear();
            s = values(QStringLiteral("SELECT HASH FROM LUMOAUDIT ORDER BY MKEY DESC LIMIT 1"), &v);
        }
        *hash = v.value(0);
        return s;
    }
    Status counts(QVector<qint64>* rows)
    {
        rows->clear();
        for (const QString& table : backupCountedTables()) {
            QStringList v;
            if (Status s = values(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table), &v); !s) return s;
            rows->append(v.value(0).toLongLong());
        }
        return Status::success();
    }
    Status failure() const
    {
        return Status::failure(QStringLiteral("%1: %2").arg(
            m_path, m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory")));
    }
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
    QString m_path;
};

Status backupInto(Handle& source, Handle& target)
{
    sqlite3_backup* b = sqlite3_backup_init(target.get(), "main", source.get(), "main");
    if (!b) return target.failure();
    const int rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) return target.failure();
    return Status::success();
}

// Makes the copy survive a power cut once it is renamed into place.
Status syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::failure(QStringLiteral("%1: cannot be opened").arg(path));
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0) return Status::failure(QStringLiteral("%1: cannot be written to disk").arg(path));
    return Status::success();
}

// Into `to`, or with `image` into memory, whose bytes come back there: an
// encrypted backup's clear copy never touches a disk.
Status copyChecked(const QString& from, const QString& to, QVector<qint64>* rows, QString* auditHash,
                   QByteArray* image = nullptr)
{
    Handle source;
    if (Status s = source.open(from, SQLITE_OPEN_READONLY); !s) return s;
    // Before a row is counted: a view named like a table, a generated column
    // or a trigger would run with the counting, and go on into the copy.
    if (Status s = checkSchemaObjects(source.get(), FileKind::Main); !s)
        return Status::failure(QStringLiteral("%1: %2").arg(from, s.error));
    // One read transaction: the counts and the copied pages are the same snapshot.
    if (Status s = source.exec("BEGIN"); !s) return s;
    QVector<qint64> expected;
    if (Status s = source.counts(&expected); !s) return s;
    QString lastHash;
    if (Status s = source.lastAuditHash(&lastHash); !s) return s;
    {
        Handle target;
        if (Status s = target.open(image ? QStringLiteral(":memory:") : to,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            !s)
            return s;
        if (Status s = backupInto(source, target); !s) return s;
        source.exec("COMMIT");
        // The copy keeps the source's log mode; a copy in rollback mode is whole without a -wal beside it.
        QStringList mode;
        if (Status s = target.values(QStringLiteral("PRAGMA journal_mode = DELETE"), &mode); !s) return s;
        QStringList problems;
        if (Status s = target.values(QStringLiteral("PRAGMA integrity_check"), &problems); !s) return s;
        if (problems != QStringList{QStringLiteral("ok")})
            return Status::failure(QStringLiteral("%1: %2").arg(to, problems.join(QStringLiteral("; "))));
        QVector<qint64> copied;
        if (Status s = target.counts(&copied); !s) return s;
        for (int i = 0; i < copied.size(); ++i)
            if (copied.at(i) != expected.at(i))
                return Status::failure(QStringLiteral("%1: %2 holds %3 rows, the source %4")
                                           .arg(to, backupCountedTables().at(i),
                                                QString::number(copied.at(i)),
                                                QString::number(expected.at(i))));
        if (image) {
            sqlite3_int64 size = 0;
            unsigned char* bytes = sqlite3_serialize(target.get(), "main", &size, 0);
            if (!bytes) return target.failure();
            *image = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size));
            sqlite3_free(bytes);
            // The header's two bytes of the log mode (offsets 18 and 19): a
            // copy in rollback mode is whole without a -wal beside it.
            if (image->size() > 19) (*image)[18] = (*image)[19] = char(1);
        }
    }
    if (image) {
        if (rows) *rows = expected;
        if (auditHash) *auditHash = lastHash;
        return Status::success();
    }
    if (rows) *rows = expected;
    if (auditHash) *auditHash = lastHash;
    return syncFile(to);
}

} // namespace

const QStringList& backupCountedTables()
{
    static const QStringList tables{QStringLiteral("ZUCUST"), QStringLiteral("ZUDATA"),
                                    QStringLiteral("ZUPRO"), QStringLiteral("ZUPRDT")};
    return tables;
}

Status copyDatabase(const QString& from, const QString& to, QVector<qint64>* rows, QString* auditLastHash)
{
    if (!QFileInfo(from).isFile()) return Status::failure(QStringLiteral("%1: file not found").arg(from));
    if (QFileInfo::exists(to)) return Status::failure(QStringLiteral("%1: file exists").arg(to));
    const Status s = copyChecked(from, to, rows, auditLastHash);
    if (!s) {
        QFile::remove(to);
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            QFile::remove(to + QLatin1String(suffix));
    }
    return s;
}

Status copyDatabaseToMemory(const QString& from, QByteArray* image, QVector<qint64>* rows,
                            QString* auditLastHash)
{
    if (!QFileInfo(from).isFile()) return Status::failure(QStringLiteral("%1: file not found").arg(from));
    return copyChecked(from, QStringLiteral("(memory)"), rows, auditLastHash, image);
}

} // namespace lumo
