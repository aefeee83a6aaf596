// The reader over this program's own files (and any SQLite file). It speaks
// to SQLite directly: an import or a conversion reads every value of a
// practice, and the per-value cost of the SQL module would dominate it.
#include "records/sqlitesource.h"

#include "records/schemaobjects.h"

#include <QFile>
#include <sqlite3.h>

namespace lumo {
namespace {

QString quoted(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

LegacyType typeOfDeclared(const QString& declared)
{
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT"))) return LegacyType::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) ||
        t.contains(QLatin1String("TEXT")))
        return LegacyType::Text;
    if (t.isEmpty() || t.contains(QLatin1String("BLOB"))) return LegacyType::Bytes;
    return LegacyType::Real;
}

QString text(const unsigned char* p, int bytes)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(p), bytes);
}

class Statement
{
public:
    Statement(sqlite3* db, const QString& sql) : m_db(db)
    {
        m_rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &m_st, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_st); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return m_rc == SQLITE_OK; }
    sqlite3_stmt* get() const { return m_st; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_st = nullptr;
    int m_rc;
};

class SqliteCursor : public LegacyCursor
{
public:
    // The columns are the statement's own: its names and declared types.
    SqliteCursor(sqlite3* db, const QString& path, const QString& sql) : m_path(path), m_select(db, sql)
    {
        if (!m_select.ok()) {
            m_error = Status::failure(QStringLiteral("%1: %2").arg(path, m_select.error()));
            return;
        }
        sqlite3_stmt* st = m_select.get();
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const char* declared = sqlite3_column_decltype(st, i);
            m_columns.append({QString::fromUtf8(sqlite3_column_name(st, i)),
                              typeOfDeclared(declared ? QString::fromUtf8(declared) : QString())});
        }
    }
    const QVector<LegacyColumn>& columns() const override { return m_columns; }
    Status error() const override { return m_error; }

    bool next(LegacyRow* row) override
    {
        if (!m_error || m_done) return false;
        sqlite3_stmt* st = m_select.get();
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) {
            m_done = true;
            return false;
        }
        if (rc != SQLITE_ROW) {
            m_error = Status::failure(QStringLiteral("%1: %2").arg(m_path, m_select.error()));
            return false;
        }
        row->resize(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            (*row)[i] = value(st, i);
        return true;
    }

private:
    static QVariant value(sqlite3_stmt* st, int i)
    {
        switch (sqlite3_column_type(st, i)) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(st, i)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(st, i));
        case SQLITE_TEXT:
            return QVariant(text(sqlite3_column_text(st, i), sqlite3_column_bytes(st, i)));
        case SQLITE_BLOB: {
            const int bytes = sqlite3_column_bytes(st, i);
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)), bytes));
        }
        default:
            return QVariant();
        }
    }

    QString m_path;
    Statement m_select;
    QVector<LegacyColumn> m_columns;
    Status m_error;
    bool m_done = false;
};

class SqliteSource : public LegacySource
{
public:
    SqliteSource(const QString& path, sqlite3* db) : m_path(path), m_db(db) {}
    ~SqliteSource() override { sqlite3_close_v2(m_db); }

    // Reads the list of tables: a file that is not a database, or one whose
    // first pages are damaged, fails here.
    Status load()
    {
        Statement q(m_db,
                    QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                   "'sqlite\\_%' ESCAPE '\\' ORDER BY rootpage"));
        if (!q.ok()) return failure(q.error());
        int rc;
        while ((rc = sqlite3_step(q.get())) == SQLITE_ROW)
            m_tables << text(sqlite3_column_text(q.get(), 0), sqlite3_column_bytes(q.get(), 0));
        if (rc != SQLITE_DONE) return failure(q.error());
        return Status::success();
    }

    Format format() const override { return Format::Sqlite; }
    QString path() const override { return m_path; }
    QStringList tables() const override { return m_tables; }

    std::unique_ptr<LegacyCursor> open(const QString& table, Status* status) override
    {
        const QString name = tableName(table);
        if (name.isEmpty()) {
            *status = missingTable(table);
            return nullptr;
        }
        auto cursor = std::make_unique<SqliteCursor>(m_db, m_path,
                                                     QStringLiteral("SELECT * FROM %1").arg(quoted(name)));
        if (!cursor->error()) {
            *status = cursor->error();
            return nullptr;
        }
        *status = Status::success();
        return cursor;
    }

    qint64 rowCount(const QString& table, Status* status) override
    {
        const QString name = tableName(table);
        if (name.isEmpty()) {
            *status = missingTable(table);
            return -1;
        }
        Statement q(m_db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted(name)));
        if (!q.ok() || sqlite3_step(q.get()) != SQLITE_ROW) {
            *status = failure(q.error());
            return -1;
        }
        *status = Status::success();
        return sqlite3_column_int64(q.get(), 0);
    }

    // SQLite's quick check: a truncated or damaged file fails here even where
    // the pages a query reads happen to be whole.
    Status verify()
    {
        Statement q(m_db, QStringLiteral("PRAGMA quick_check"));
        if (!q.ok()) return failure(q.error());
        QStringList problems;
        int rc;
        while ((rc = sqlite3_step(q.get())) == SQLITE_ROW)
            problems << text(sqlite3_column_text(q.get(), 0), sqlite3_column_bytes(q.get(), 0));
        if (rc != SQLITE_DONE) return failure(q.error());
        if (problems == QStringList{QStringLiteral("ok")}) return Status::success();
        return failure(problems.join(QStringLiteral("; ")));
    }

private:
    Status failure(const QString& message) const
    {
        return Status::failure(QStringLiteral("%1: %2").arg(m_path, message));
    }
    Status missingTable(const QString& table) const
    {
        return Status::failure(QString::fromUtf8("%1：缺少資料表 %2").arg(m_path, table));
    }

    QString m_path;
    sqlite3* m_db;
    QStringList m_tables;
};

} // namespace

std::unique_ptr<LegacySource> openSqliteSource(const QString& path, Status* status)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const QString error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        if (status) *status = Status::failure(QStringLiteral("%1: %2").arg(path, error));
        return nullptr;
    }
    // The file is someone else's: its schema runs nothing here, and only a
    // file with this program's objects is read at all (before the check of
    // its pages, which would compute generated columns).
    distrustSchema(db);
    auto source = std::make_unique<SqliteSource>(path, db);
    Status st = source->load();
    if (st) {
        const Status objects = checkSchemaObjects(db, FileKind::Main);
        if (!objects) {
            if (status) *status = Status::failure(QStringLiteral("%1: %2").arg(path, objects.error));
            return nullptr;
        }
        st = source->verify();
    }
    if (!st) {
        if (status) *status = Status::failure(notADatabaseMessage(path) + QStringLiteral("\r\n") + st.error);
        return nullptr;
    }
    if (status) *status = Status::success();
    return source;
}

std::unique_ptr<LegacyCursor> queryCursor(Database& db, const QString& sql, Status* status)
{
    sqlite3* h = db.handle();
    if (!h) {
        *status = Status::failure(QStringLiteral("%1: no connection").arg(db.path()));
        return nullptr;
    }
    auto cursor = std::make_unique<SqliteCursor>(h, db.path(), sql);
    *status = cursor->error();
    if (!*status) return nullptr;
    return cursor;
}

ReadSnapshot::ReadSnapshot(Database& db) : m_handle(db.handle())
{
    m_open = m_handle && sqlite3_exec(m_handle, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
}

ReadSnapshot::~ReadSnapshot()
{
    if (m_open) sqlite3_exec(m_handle, "COMMIT", nullptr, nullptr, nullptr);
}

} // namespace lumo
