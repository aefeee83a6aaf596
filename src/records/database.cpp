#include "records/database.h"

#include "base/filesystemkind.h"
#include "records/schemaobjects.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <sqlite3.h>

namespace lumo {
namespace {

QString newConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("lumo-%1").arg(counter.fetchAndAddRelaxed(1));
}

// The schema version a file says it has (0 when it cannot be read).
int fileVersion(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA user_version")) && q.next() ? q.value(0).toInt() : 0;
}

} // namespace

QString databaseBusyMessage()
{
    return QString::fromUtf8("資料庫正由其他工作站使用中，請稍後再試。");
}

namespace {

bool pragma(QSqlDatabase& db, const QString& sql, QString* error)
{
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    if (error) *error = sqlError(q);
    return false;
}

} // namespace

QString databaseReadOnlyMessage()
{
    return QString::fromUtf8("資料庫無法寫入（檔案或資料目錄為唯讀），資料未儲存。");
}

QString diskFullMessage()
{
    return QString::fromUtf8("磁碟空間不足，資料未儲存。");
}

QString sqlError(const QSqlError& e)
{
    // The driver reports SQLite's own result code; busy and locked both mean
    // that another connection kept the lock longer than this one waits.
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok) & 0xff;
    if (!ok) return e.text();
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) return databaseBusyMessage();
    if (code == SQLITE_READONLY) return databaseReadOnlyMessage();
    if (code == SQLITE_FULL) return diskFullMessage();
    return e.text();
}

QString sqlError(const QSqlQuery& q)
{
    return sqlError(q.lastError());
}

Database::Database(const QString& connection, const QString& path, FileKind kind, Access access)
    : m_connection(connection), m_path(path), m_kind(kind), m_access(access)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    m_db.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (access == Access::ReadOnly) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    m_db.setConnectOptions(options);
}

Database::~Database()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<Database> Database::open(const QString& path, FileKind kind, Access access, Status* status)
{
    auto fail = [&](const QString& message) {
        if (status) *status = Status::failure(message);
        return std::unique_ptr<Database>();
    };
    // SQLite would create a missing file; a missing database is an error here.
    if (!QFileInfo(path).isFile()) return fail(QStringLiteral("%1: file not found").arg(path));

    std::unique_ptr<Database> d(new Database(newConnectionName(), path, kind, access));
    if (!d->m_db.open()) return fail(QStringLiteral("%1: %2").arg(path, d->m_db.lastError().text()));
    sqlite3* h = d->handle();
    if (!h) return fail(QStringLiteral("%1: no connection").arg(path));
    distrustSchema(h);
    // SQLite opens a file it may not write for reading without a word; the
    // first change would fail instead.
    if (access == Access::ReadWrite && sqlite3_db_readonly(h, "main") == 1)
        return fail(QStringLiteral("%1: %2").arg(path, databaseReadOnlyMessage()));
    if (access == Access::ReadOnly && !d->readableInPlace())
        return fail(QStringLiteral("%1: %2").arg(path, d->m_db.lastError().text()));
    // Reading in place may have opened the file anew: the first handle is gone,
    // and the new one must distrust the file's schema just the same.
    if (sqlite3* again = d->handle(); again != h) {
        h = again;
        if (!h) return fail(QStringLiteral("%1: no connection").arg(path));
        distrustSchema(h);
    }

    // Read before anything is written, so a damaged, foreign or newer file is
    // reported and left exactly as it was. Only this program's objects: a
    // trigger, view or generated column brought in with a file would run with
    // every row read or written (a newer file is the version check's to refuse).
    // Files that are written must match the definition column by column: a
    // missing column would otherwise only show later, as a row that seems not to exist.
    if (fileVersion(d->m_db) <= SchemaVersion) {
        const Status objects = checkSchemaObjects(h, kind);
        if (!objects) return fail(QStringLiteral("%1: %2").arg(path, objects.error));
        trustCheckedSchema(h);
    }
    const Status layout = checkLayout(d->m_db, kind, access == Access::ReadWrite);
    if (!layout) return fail(QStringLiteral("%1: %2").arg(path, layout.error));

    if (access == Access::ReadWrite) {
        QString error;
        // The log's shared memory works on one machine only; on a network folder
        // the rollback journal lets the server's file locks serialize the workstations.
        const QString journal = onNetworkFileSystem(path) ? QStringLiteral("PRAGMA journal_mode = DELETE")
                                                          : QStringLiteral("PRAGMA journal_mode = WAL");
        if (!pragma(d->m_db, journal, &error) ||
            !pragma(d->m_db, QStringLiteral("PRAGMA synchronous = FULL"), &error))
            return fail(QStringLiteral("%1: %2").arg(path, error));
        // Files of an older layout, or lacking an index, get the tables and
        // indexes this version expects, in one transaction.
        QSqlQuery v(d->m_db);
        const bool older = v.exec(QStringLiteral("PRAGMA user_version")) && v.next() && v.value(0).toInt() < SchemaVersion;
        v.finish();
        if (older || !hasAllIndexes(d->m_db, kind)) {
            Transaction t(*d);
            if (!t.active()) return fail(QStringLiteral("%1: %2").arg(path, t.begun().error));
            if (!createSchema(d->m_db, kind, &error)) return fail(QStringLiteral("%1: %2").arg(path, error));
            // What the upgrade completed must now be what this version defines;
            // otherwise nothing of it is kept.
            const Status upgraded = checkLayout(d->m_db, kind);
            if (!upgraded) return fail(QStringLiteral("%1: %2").arg(path, upgraded.error));
            Status s = t.commit();
            if (!s) return fail(s.error);
        }
    }
    if (status) *status = Status::success();
    return d;
}

std::unique_ptr<Database> Database::create(const QString& path, FileKind kind, Status* status)
{
    auto fail = [&](const QString& message) {
        if (status) *status = Status::failure(message);
        return std::unique_ptr<Database>();
    };
    if (QFileInfo::exists(path)) return fail(QStringLiteral("%1: file exists").arg(path));
    // A log left under this name by a file that is gone would be replayed onto the new one.
    removeOrphanedCompanions(path);
    std::unique_ptr<Database> d(new Database(newConnectionName(), path, kind, Access::ReadWrite));
    if (!d->m_db.open()) return fail(QStringLiteral("%1: %2").arg(path, d->m_db.lastError().text()));
    // The file is new: its objects are the ones createSchema makes.
    if (sqlite3* h = d->handle()) {
        distrustSchema(h);
        trustCheckedSchema(h);
    }
    QString error;
    {
        Transaction t(*d);
        if (!t.active()) return fail(QStringLiteral("%1: %2").arg(path, t.begun().error));
        if (!createSchema(d->m_db, kind, &error)) return fail(QStringLiteral("%1: %2").arg(path, error));
        Status s = t.commit();
        if (!s) return fail(s.error);
    }
    if (status) *status = Status::success();
    return d;
}

// A file in write-ahead mode is read through a shared index beside it. In a
// folder this process may not write, with no index there, the index cannot be
// made and SQLite refuses even to read. No writer is at work then (a writer
// keeps the index), so the file is read as one that does not change.
bool Database::readableInPlace()
{
    {
        QSqlQuery q(m_db);
        if (q.exec(QStringLiteral("PRAGMA user_version"))) return true;
        bool ok = false;
        const int code = q.lastError().nativeErrorCode().toInt(&ok) & 0xff;
        if (!ok || (code != SQLITE_READONLY && code != SQLITE_CANTOPEN))
            return true; // the layout check says why
    }
    m_db.close();
    QUrl url = QUrl::fromLocalFile(m_path);
    url.setQuery(QStringLiteral("immutable=1"));
    m_db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    m_db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI").arg(BusyTimeoutMs));
    return m_db.open();
}

void Database::setBusyTimeout(int ms)
{
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(ms));
}

Status Database::checkIntegrity()
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA integrity_check")))
        return Status::failure(QStringLiteral("%1: %2").arg(m_path, sqlError(q)));
    QStringList problems;
    while (q.next())
        problems << q.value(0).toString();
    if (problems == QStringList{QStringLiteral("ok")}) return Status::success();
    return Status::failure(QStringLiteral("%1: %2").arg(m_path, problems.join(QStringLiteral("; "))));
}

Status Database::checkWritable()
{
    auto fail = [this](const QString& why) {
        return Status::failure(QStringLiteral("%1: %2").arg(m_path, why));
    };
    if (readOnly()) return fail(databaseReadOnlyMessage());
    // SQLite opens a file it may not write read-only without a word.
    if (sqlite3* h = handle(); h && sqlite3_db_readonly(h, "main") == 1)
        return fail(databaseReadOnlyMessage());
    Transaction t(*this);
    // Another workstation writing holds the lock: the file takes writes, only not now.
    if (!t.active())
        return t.begun().error == databaseBusyMessage() ? Status::success() : fail(t.begun().error);
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) return fail(sqlError(q));
    const int version = q.value(0).toInt();
    q.finish();
    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version))) return fail(sqlError(q));
    const Status s = t.commit();
    return s ? s : fail(s.error);
}

sqlite3* Database::handle()
{
    const QVariant v = m_db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(v.data());
}

bool Database::hasColumn(const QString& table, const QString& column)
{
    const QSqlRecord r = m_db.record(table);
    for (int i = 0; i < r.count(); ++i)
        if (r.fieldName(i).compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

Transaction::Transaction(Database& db) : m_db(db.sql())
{
    // BEGIN IMMEDIATE takes the write lock at once (waiting out another
    // workstation), so the transaction cannot fail half-way on a busy lock.
    QSqlQuery q(m_db);
    m_active = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (!m_active) m_begun = Status::failure(sqlError(q));
}

Transaction::~Transaction()
{
    if (m_active) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

Status Transaction::commit()
{
    if (!m_active) return m_begun;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("COMMIT"))) return Status::failure(sqlError(q));
    m_active = false;
    return Status::success();
}

} // namespace lumo
