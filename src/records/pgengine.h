#pragma once
// The main database on a PostgreSQL server, reached through Qt's driver. The
// records layer's own statements go to the driver's connection through libpq
// itself, one round trip each (the driver's prepared statements take three),
// and a practice network pays for every round trip. Texts are stored with
// the byte order of their characters (COLLATE "C", SQLite's order) and the
// numbers and names that compare without regard to case through lower() in
// that collation, which folds ASCII letters only, as SQLite's NOCASE does.

#include "records/engine.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace lumo {

class PgEngine : public Engine
{
public:
    explicit PgEngine(QSqlDatabase& db) : m_db(db) {}

    EngineKind kind() const override { return EngineKind::Postgres; }
    QString caseless(const QString& column) const override { return QStringLiteral("lower(%1)").arg(column); }
    // A bound value has the database's default collation, whose lower() may
    // fold more than ASCII letters: the column's collation is named.
    QString caselessValue() const override { return QStringLiteral("lower(? COLLATE \"C\")"); }
    QString beginWriting() const override { return QStringLiteral("BEGIN"); }
    QString beginReading() const override
    {
        return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }
    QString lockingRead() const override { return QStringLiteral(" FOR UPDATE"); }
    // A transaction-level advisory lock of one fixed number: held to the commit,
    // taken by any login, and no table or row of the practice is locked by it.
    QString lockSubjectNumbers() const override
    {
        return QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SubjectNumberLock);
    }
    static constexpr qint64 SubjectNumberLock = 0x4C554D4F43555354;            // "LUMOCUST"
    QString unindexed(const QString& column) const override { return column; } // the planner chooses
    QString indexedBy(const QString&) const override { return QString(); }
    QString orderBy(const QString& e, bool descending) const override
    {
        return e + (descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" NULLS FIRST"));
    }

    Status schemaVersion(int* version) override;
    Status checkLayout(FileKind kind, bool withColumns) override;
    Status createSchema(FileKind kind) override;
    bool complete(FileKind kind) override;
    bool hasTable(const QString& table) override;
    bool hasColumn(const QString& table, const QString& column) override;
    Status keysCopied(const QString& table) override;

    Status run(const QString& sql, const QVariantList& binds, SqlRows* rows, qint64* affected) override;
    std::unique_ptr<LegacyCursor> cursor(const QString& sql, const QVariantList& binds,
                                         Status* status) override;
    std::unique_ptr<RowAppender> appender(const QString& table, const QStringList& columns,
                                          Status* status) override;

    // The transaction's id is taken with its BEGIN (one round trip), so that
    // a COMMIT whose answer is lost can be looked up (pg_xact_status).
    Status begin() override;
    Status commit() override;
    CommitOutcome lostCommitOutcome() override;

    ErrorKind lastErrorKind() const override { return m_lastError; }
    bool connectionLost() override;
    Status reconnect() override;
    qint64 dataVersion() override { return -1; }

    // The settings every session of the program runs with (after each opening).
    Status setUpSession();
    // The server process of this connection: its own notifications carry it.
    int backendPid();
    // The channel of the change notices, each "TABLE PID".
    static QString channel();

    // The driver's connection, free for a statement of libpq: results the
    // driver has not read yet are read and dropped first.
    PGconn* connection();
    // The same without reading anything (inside a COPY or a streamed read).
    PGconn* rawConnection();
    // An error of a result (or of the connection when there is none), as shown;
    // records its kind.
    QString errorOf(PGresult* result);

private:
    // Whether this login may create or upgrade the schema: its owner's rights.
    Status mayChangeSchema();

    QSqlDatabase& m_db;
    ErrorKind m_lastError = ErrorKind::Other;
    QByteArray m_transactionId; // of the open write transaction, or of the COMMIT whose answer was lost
};

// Whether the server has ended the connection (checked without waiting);
// without mayRead nothing is read from it (a connection the driver reads).
bool connectionGone(PGconn* conn, bool mayRead);
// The server's notices are not shown on stderr.
void ignoreNotices(PGconn* conn);

// `?` placeholders as libpq numbers them ($1, $2 ...), outside quoted text.
QByteArray numberedParameters(const QString& sql);

// "PostgreSQL host=... dbname=... user=..." without a password, for messages.
QString describeServer(const QString& conninfo);

// "與資料庫伺服器的連線中斷..." followed by the driver's text.
QString serverConnectionLostMessage(const QString& driverText);

} // namespace lumo
