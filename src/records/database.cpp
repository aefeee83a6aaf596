#include "records/database.h"

#include "base/filesystemkind.h"
#include "records/databasewatch.h"
#include "records/legacysource.h"
#include "records/pgengine.h"
#include "records/schemaobjects.h"
#include "records/sqliteengine.h"

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

QString foreignTableMessage(const QString& table)
{
    return QString::fromUtf8(
               "資料庫中已有不是本系統建立的資料表 %1，本系統不會變更它；請指定一個空的資料庫。")
        .arg(table);
}

QString rowConflictMessage()
{
    return QString::fromUtf8("這筆資料已被其他工作站修改，請重新載入後再修改。");
}

bool isRowConflict(const Status& status)
{
    return !status.ok && status.error == rowConflictMessage();
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
    // SQLite's driver reports SQLite's own result code; busy and locked both
    // mean that another connection kept the lock longer than this one waits.
    // The server's driver reports the SQLSTATE: a lock not granted in time, or
    // a deadlock the server broke.
    bool ok = false;
    const QString native = e.nativeErrorCode();
    if (native == QLatin1String("55P03") || native == QLatin1String("40P01")) return databaseBusyMessage();
    if (native.startsWith(QLatin1String("08")) || native.startsWith(QLatin1String("57P0")))
        return serverConnectionLostMessage(e.databaseText());
    // SQLite's codes have at most four digits, the server's SQLSTATEs five characters.
    const int code = native.toInt(&ok) & 0xff;
    if (!ok || native.size() >= 5) return e.text();
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) return databaseBusyMessage();
    if (code == SQLITE_READONLY) return databaseReadOnlyMessage();
    if (code == SQLITE_FULL) return diskFullMessage();
    return e.text();
}

QString sqlError(const QSqlQuery& q)
{
    return sqlError(q.lastError());
}

Database::Database(const QString& connection, const QString& path, FileKind kind, Access access,
                   EngineKind engine)
    : m_connection(connection), m_path(path), m_kind(kind), m_access(access)
{
    if (engine == EngineKind::Postgres) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        m_engine = std::make_unique<PgEngine>(m_db);
        return;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    m_db.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (access == Access::ReadOnly) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    m_db.setConnectOptions(options);
    m_engine = std::make_unique<SqliteEngine>(m_db);
}

Database::~Database()
{
    m_watch.reset();
    m_engine.reset();
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

    std::unique_ptr<Database> d(new Database(newConnectionName(), path, kind, access, EngineKind::Sqlite));
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
    const Status layout = d->m_engine->checkLayout(kind, access == Access::ReadWrite);
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
        // Files of an older layout, or lacking an index or a trigger, get
        // what this version expects, in one transaction.
        const Status upgraded = d->bringSchemaUpToDate(false);
        if (!upgraded) return fail(QStringLiteral("%1: %2").arg(path, upgraded.error));
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
    std::unique_ptr<Database> d(
        new Database(newConnectionName(), path, kind, Access::ReadWrite, EngineKind::Sqlite));
    if (!d->m_db.open()) return fail(QStringLiteral("%1: %2").arg(path, d->m_db.lastError().text()));
    // The file is new: its objects are the ones createSchema makes.
    if (sqlite3* h = d->handle()) {
        distrustSchema(h);
        trustCheckedSchema(h);
    }
    const Status created = d->bringSchemaUpToDate(true);
    if (!created) return fail(QStringLiteral("%1: %2").arg(path, created.error));
    if (status) *status = Status::success();
    return d;
}

Status Database::bringSchemaUpToDate(bool created)
{
    int version = 0;
    Status st = m_engine->schemaVersion(&version);
    if (!st) return st;
    const bool guarded = created || m_kind != FileKind::Main || auditGuardIntact();
    if (!created && guarded && version >= SchemaVersion && m_engine->complete(m_kind))
        return Status::success();
    Transaction t(*this);
    if (!t.active()) return t.begun();
    if (!(st = m_engine->createSchema(m_kind))) return st;
    if (!guarded && !(st = recordAuditGuardRecreated())) return st;
    // What the upgrade completed must now be what this version defines;
    // otherwise nothing of it is kept.
    if (!(st = m_engine->checkLayout(m_kind, true))) return st;
    return t.commit();
}

std::unique_ptr<Database> Database::connect(const ServerLogin& login, Status* status)
{
    const QString where = describeServer(login.conninfo);
    auto fail = [&](const QString& message) {
        if (status) *status = Status::failure(message);
        return std::unique_ptr<Database>();
    };
    std::unique_ptr<Database> d(
        new Database(newConnectionName(), where, FileKind::Main, Access::ReadWrite, EngineKind::Postgres));
    d->m_login = login;
    // Every option libpq knows passes through the driver's connect options.
    d->m_db.setConnectOptions(login.conninfo);
    if (!login.password.isEmpty()) d->m_db.setPassword(login.password);
    if (!d->m_db.open()) {
        const QString text = d->m_db.lastError().databaseText().trimmed();
        return fail(QStringLiteral("%1: %2").arg(where, text.isEmpty() ? d->m_db.lastError().text() : text));
    }
    auto& engine = static_cast<PgEngine&>(*d->m_engine);
    Status st = engine.setUpSession();
    int version = 0;
    if (st) st = engine.schemaVersion(&version);
    // A database of a newer program, or one whose tables are not this
    // program's, is left exactly as it was; an empty one gets the schema.
    if (st && version > 0) st = engine.checkLayout(FileKind::Main, true);
    if (st && version == 0)
        for (const TableDef& t : tablesOf(FileKind::Main))
            if (st && engine.hasTable(t.name)) st = Status::failure(foreignTableMessage(t.name));
    if (st) st = d->bringSchemaUpToDate(version == 0);
    if (!st) return fail(QStringLiteral("%1: %2").arg(where, st.error));
    if (status) *status = Status::success();
    return d;
}

QSqlDatabase& Database::sql()
{
    ensureConnected();
    return m_db;
}

Status Database::ensureConnected()
{
    if (m_transactions > 0 || !m_engine->connectionLost()) return Status::success();
    Status st = m_engine->reconnect();
    // The open screens read again what they show: changes made while the
    // connection was gone were never announced to this workstation.
    if (st && m_watch) m_watch->announceReconnected();
    return st;
}

Status Database::run(const QString& sql, const QVariantList& binds, SqlRows* rows, qint64* affected)
{
    Status st = ensureConnected();
    if (!st) return st;
    return m_engine->run(sql, binds, rows, affected);
}

std::unique_ptr<LegacyCursor> Database::cursor(const QString& sql, const QVariantList& binds, Status* status)
{
    *status = ensureConnected();
    if (!*status) return nullptr;
    return m_engine->cursor(sql, binds, status);
}

std::unique_ptr<RowAppender> Database::appender(const QString& table, const QStringList& columns,
                                                Status* status)
{
    *status = ensureConnected();
    if (!*status) return nullptr;
    return m_engine->appender(table, columns, status);
}

DatabaseWatch& Database::watch()
{
    if (!m_watch) m_watch = std::make_unique<DatabaseWatch>(*this);
    return *m_watch;
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
    if (onServer())
        run(QStringLiteral("SET lock_timeout = %1").arg(ms));
    else
        run(QStringLiteral("PRAGMA busy_timeout = %1").arg(ms));
}

Status Database::checkIntegrity()
{
    // The server keeps its own files whole; there is no file here to check.
    if (onServer()) return Status::success();
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
    // A server answers for its own storage; what it refuses, it says with the change.
    if (onServer()) return Status::success();
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
    if (onServer()) return nullptr;
    return static_cast<SqliteEngine&>(*m_engine).handle();
}

bool Database::hasColumn(const QString& table, const QString& column)
{
    return m_engine->hasColumn(table, column);
}

bool Database::hasTable(const QString& table)
{
    return m_engine->hasTable(table);
}

qint64 Database::rowCount(const QString& table)
{
    SqlRows rows;
    // The table names are this program's own, never text from the operator.
    // Whether the database keeps counts is asked once (a round trip on the server).
    if (m_keepsCounts < 0) m_keepsCounts = m_engine->hasTable(QLatin1String(KeptCountTable)) ? 1 : 0;
    if (countedTables(m_kind).contains(table) && m_keepsCounts == 1) {
        if (run(QStringLiteral("SELECT ROWS FROM %1 WHERE NAME = ?").arg(QLatin1String(KeptCountTable)),
                {table}, &rows) &&
            !rows.isEmpty())
            return rows.first().value(0).toLongLong();
        rows.clear();
    }
    if (!run(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table), {}, &rows) || rows.isEmpty()) return -1;
    return rows.first().value(0).toLongLong();
}

} // namespace lumo
