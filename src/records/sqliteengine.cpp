#include "records/sqliteengine.h"

#include "records/database.h"
#include "records/legacysource.h"

#include <QSqlDriver>
#include <QSqlRecord>
#include <sqlite3.h>

namespace lumo {
namespace {

bool isBusy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

// A prepared statement that finalizes itself.
class Prepared
{
public:
    Prepared(sqlite3* db, const QString& sql) : m_db(db)
    {
        m_rc = db ? sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &m_st, nullptr) : SQLITE_MISUSE;
    }
    ~Prepared() { sqlite3_finalize(m_st); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    bool ok() const { return m_rc == SQLITE_OK; }
    sqlite3_stmt* get() const { return m_st; }
    int rc() const { return m_db ? sqlite3_extended_errcode(m_db) : m_rc; }
    QString error() const
    {
        if (isBusy(rc())) return databaseBusyMessage();
        // SQLite's own texts are English; these two the operator is told in words.
        if ((rc() & 0xff) == SQLITE_READONLY) return databaseReadOnlyMessage();
        if ((rc() & 0xff) == SQLITE_FULL) return diskFullMessage();
        return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no connection");
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_st = nullptr;
    int m_rc;
};

void bindValue(sqlite3_stmt* st, int p, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
        sqlite3_bind_int64(st, p, v.toLongLong());
        return;
    case QMetaType::Double:
        sqlite3_bind_double(st, p, v.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        if (b.isNull())
            sqlite3_bind_null(st, p);
        else
            sqlite3_bind_blob64(st, p, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QString: {
        // A null text is NULL, as Qt's drivers bind it.
        if (v.toString().isNull()) {
            sqlite3_bind_null(st, p);
            return;
        }
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text64(st, p, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        return;
    }
    default:
        if (v.isNull() || !v.isValid())
            sqlite3_bind_null(st, p);
        else
            sqlite3_bind_text64(st, p, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT, SQLITE_UTF8);
    }
}

void bindAll(sqlite3_stmt* st, const QVariantList& binds)
{
    for (int i = 0; i < binds.size(); ++i)
        bindValue(st, i + 1, binds.at(i));
}

QVariant columnValue(sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, i));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                          sqlite3_column_bytes(st, i)));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i)));
    default:
        return QVariant();
    }
}

LegacyType typeOfDeclared(const char* declared)
{
    const QString t = QString::fromUtf8(declared ? declared : "").toUpper();
    if (t.contains(QLatin1String("INT"))) return LegacyType::Integer;
    if (t.contains(QLatin1String("TEXT")) || t.contains(QLatin1String("CHAR"))) return LegacyType::Text;
    if (t.isEmpty() || t.contains(QLatin1String("BLOB"))) return LegacyType::Bytes;
    return LegacyType::Real;
}

class Cursor : public LegacyCursor
{
public:
    Cursor(sqlite3* db, const QString& sql, const QVariantList& binds) : m_statement(db, sql)
    {
        if (!m_statement.ok()) {
            m_error = Status::failure(m_statement.error());
            return;
        }
        sqlite3_stmt* st = m_statement.get();
        bindAll(st, binds);
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            m_columns.append({QString::fromUtf8(sqlite3_column_name(st, i)),
                              typeOfDeclared(sqlite3_column_decltype(st, i))});
    }
    const QVector<LegacyColumn>& columns() const override { return m_columns; }
    Status error() const override { return m_error; }
    bool next(LegacyRow* row) override
    {
        if (!m_error || m_done) return false;
        sqlite3_stmt* st = m_statement.get();
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_ROW) {
            m_done = true;
            if (rc != SQLITE_DONE) m_error = Status::failure(m_statement.error());
            return false;
        }
        row->resize(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            (*row)[i] = columnValue(st, i);
        return true;
    }

private:
    Prepared m_statement;
    QVector<LegacyColumn> m_columns;
    Status m_error;
    bool m_done = false;
};

// One prepared INSERT, bound again for every row.
class Appender : public RowAppender
{
public:
    Appender(sqlite3* db, const QString& sql) : m_statement(db, sql) {}
    Status status() const
    {
        return m_statement.ok() ? Status::success() : Status::failure(m_statement.error());
    }
    Status append(const SqlRow& values) override
    {
        sqlite3_stmt* st = m_statement.get();
        for (int i = 0; i < values.size(); ++i)
            bindValue(st, i + 1, values.at(i));
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        if (rc == SQLITE_DONE) return Status::success();
        return Status::failure(m_statement.error());
    }
    Status finish() override { return Status::success(); }

private:
    Prepared m_statement;
};

} // namespace

sqlite3* SqliteEngine::handle()
{
    const QVariant v = m_db.driver() ? m_db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(v.data());
}

Status SqliteEngine::schemaVersion(int* version)
{
    SqlRows rows;
    Status st = run(QStringLiteral("PRAGMA user_version"), {}, &rows, nullptr);
    if (st) *version = rows.isEmpty() ? 0 : int(rows.first().value(0).toLongLong());
    return st;
}

Status SqliteEngine::checkLayout(FileKind kind, bool withColumns)
{
    return lumo::checkLayout(m_db, kind, withColumns);
}

Status SqliteEngine::createSchema(FileKind kind)
{
    QString error;
    return lumo::createSchema(m_db, kind, &error) ? Status::success() : Status::failure(error);
}

bool SqliteEngine::complete(FileKind kind)
{
    return hasAllIndexes(m_db, kind);
}

bool SqliteEngine::hasTable(const QString& table)
{
    SqlRows rows;
    return run(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"),
               {table}, &rows, nullptr) &&
           !rows.isEmpty();
}

bool SqliteEngine::hasColumn(const QString& table, const QString& column)
{
    const QSqlRecord r = m_db.record(table);
    for (int i = 0; i < r.count(); ++i)
        if (r.fieldName(i).compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

Status SqliteEngine::run(const QString& sql, const QVariantList& binds, SqlRows* rows, qint64* affected)
{
    m_lastError = ErrorKind::Other;
    sqlite3* db = handle();
    Prepared statement(db, sql);
    auto failed = [&] {
        if (isBusy(statement.rc())) m_lastError = ErrorKind::Busy;
        return Status::failure(statement.error());
    };
    if (!statement.ok()) return failed();
    sqlite3_stmt* st = statement.get();
    bindAll(st, binds);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (!rows) continue;
        SqlRow row(sqlite3_column_count(st));
        for (int i = 0; i < row.size(); ++i)
            row[i] = columnValue(st, i);
        rows->append(std::move(row));
    }
    if (rc != SQLITE_DONE) return failed();
    if (affected) *affected = sqlite3_changes64(db);
    return Status::success();
}

std::unique_ptr<LegacyCursor> SqliteEngine::cursor(const QString& sql, const QVariantList& binds,
                                                   Status* status)
{
    auto c = std::make_unique<Cursor>(handle(), sql, binds);
    *status = c->error();
    if (!*status) return nullptr;
    return c;
}

std::unique_ptr<RowAppender> SqliteEngine::appender(const QString& table, const QStringList& columns,
                                                    Status* status)
{
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(table, columns.join(QStringLiteral(", ")),
                                 QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    auto a = std::make_unique<Appender>(handle(), sql);
    *status = a->status();
    if (!*status) return nullptr;
    return a;
}

qint64 SqliteEngine::dataVersion()
{
    SqlRows rows;
    if (!run(QStringLiteral("PRAGMA data_version"), {}, &rows, nullptr) || rows.isEmpty()) return -1;
    return rows.first().value(0).toLongLong();
}

} // namespace lumo
