#pragma once
// The main database in an SQLite file: statements straight on SQLite's C
// interface (the connection of Qt's driver), the schema's words of schema.cpp.

#include "records/engine.h"

struct sqlite3;

namespace lumo {

class SqliteEngine : public Engine
{
public:
    // The connection must be open before the first statement.
    explicit SqliteEngine(QSqlDatabase& db) : m_db(db) {}

    EngineKind kind() const override { return EngineKind::Sqlite; }
    QString caseless(const QString& column) const override { return column; } // COLLATE NOCASE
    QString caselessValue() const override { return QStringLiteral("?"); }
    QString beginWriting() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    QString beginReading() const override { return QStringLiteral("BEGIN"); }
    QString unindexed(const QString& column) const override { return QLatin1Char('+') + column; }
    QString lockingRead() const override { return {}; }
    QString lockSubjectNumbers() const override { return {}; }
    QString indexedBy(const QString& index) const override { return QStringLiteral(" INDEXED BY ") + index; }
    QString orderBy(const QString& e, bool descending) const override
    {
        return descending ? e + QStringLiteral(" DESC") : e;
    }

    Status schemaVersion(int* version) override;
    Status checkLayout(FileKind kind, bool withColumns) override;
    Status createSchema(FileKind kind) override;
    bool complete(FileKind kind) override;
    bool hasTable(const QString& table) override;
    bool hasColumn(const QString& table, const QString& column) override;
    Status keysCopied(const QString&) override { return Status::success(); } // AUTOINCREMENT follows

    Status run(const QString& sql, const QVariantList& binds, SqlRows* rows, qint64* affected) override;
    std::unique_ptr<LegacyCursor> cursor(const QString& sql, const QVariantList& binds,
                                         Status* status) override;
    std::unique_ptr<RowAppender> appender(const QString& table, const QStringList& columns,
                                          Status* status) override;

    ErrorKind lastErrorKind() const override { return m_lastError; }
    bool connectionLost() override { return false; }
    Status reconnect() override { return Status::success(); }
    qint64 dataVersion() override;

    ::sqlite3* handle();

private:
    QSqlDatabase& m_db;
    ErrorKind m_lastError = ErrorKind::Other;
};

} // namespace lumo
