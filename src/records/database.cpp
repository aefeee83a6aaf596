#include "records/database.h"

#include "base/filesystemkind.h"
#include "records/databasewatch.h"
#include "records/legacysource.h"
#include "records/pgengine.h"
#include "records/sqliteengine.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace lumo {
namespace {

QString newConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("lumo-%1").arg(counter.fetchAndAddRelaxed(1));
}

bool pragma(QSqlDatabase& db, const QString& sql, QString* error)
{
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    if (error) *error = q.lastError().text();
    return false;
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

QString sqlError(const QSqlError& e)
{
    // SQLite's driver reports SQLite's own result code; busy and locked both
    // mean that another connection kept the lock longer than this one waits.
    // The server's driver reports the SQLSTATE: a lock not granted in time, or
    // a deadlock the server broke.
    bool ok = false;
    const QString native = e.nativeErrorCode();
    const int code = native.toInt(&ok);
    if (ok && ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)) return databaseBusyMessage();
    if (native == QLatin1String("55P03") || native == QLatin1String("40P01")) return databaseBusyMessage();
    if (native.startsWith(QLatin1String("08")) || native.startsWith(QLatin1String("57P0")))
        return serverConnectionLostMessage(e.databaseText());
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

    // Read before anything is written, so a damaged, foreign or newer file is
    // reported and left exactly as it was. Files that are written must match
    // the definition column by column: a missing column would otherwise only
    // show later, as a row that seems not to exist.
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
    if (!created && version >= SchemaVersion && m_engine->complete(m_kind)) return Status::success();
    Transaction t(*this);
    if (!t.active()) return t.begun();
    if (!(st = m_engine->createSchema(m_kind))) return st;
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

Transaction::Transaction(Database& db) : m_db(db)
{
    if (db.m_transactions > 0) {
        m_begun = Status::failure(QStringLiteral("a transaction is already open"));
        return;
    }
    // BEGIN IMMEDIATE takes the write lock at once (waiting out another
    // workstation), so the transaction cannot fail half-way on a busy lock.
    // On the server each row is locked as it is written, waiting at most
    // lock_timeout for another workstation.
    m_begun = db.run(db.engine().beginWriting());
    m_active = m_begun.ok;
    if (m_active) ++db.m_transactions;
}

Transaction::~Transaction()
{
    if (!m_active) return;
    m_db.m_engine->run(QStringLiteral("ROLLBACK"), {}, nullptr, nullptr);
    end();
}

void Transaction::end()
{
    m_active = false;
    --m_db.m_transactions;
}

Status Transaction::commit()
{
    if (!m_active) return m_begun;
    const Status st = m_db.m_engine->run(QStringLiteral("COMMIT"), {}, nullptr, nullptr);
    // On the server a failed COMMIT has ended the transaction; on SQLite
    // (a busy lock) it is still open and the destructor rolls it back.
    if (st || m_db.onServer()) end();
    return st;
}

} // namespace lumo
