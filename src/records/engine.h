#pragma once
// What differs between the two engines the main database can live on: an
// SQLite file (one workstation, or a few on a shared folder) and a PostgreSQL
// server (a practice with several rooms). Database holds one Engine and every
// records operation goes through it, so no screen knows which one it talks to.
// An engine supplies its words for the schema (types, identity, indexes that
// compare without regard to case, the triggers of the kept counts), the
// statements' differences, and the connection's own fast paths: statements in
// one round trip, streamed reads, bulk appends.

#include "base/status.h"
#include "records/schema.h"

#include <QSqlDatabase>
#include <QVariant>
#include <QVector>
#include <memory>

namespace lumo {

class LegacyCursor;

enum class EngineKind
{
    Sqlite,
    Postgres
};

// The rows a statement returned, one QVariant per column: null, qint64,
// double, QString or QByteArray.
using SqlRow = QVector<QVariant>;
using SqlRows = QVector<SqlRow>;

// Appends many rows to one table, as fast as the engine allows (prepared once
// on SQLite, a COPY on the server). finish() ends the run; rows may reach the
// table only then, so an error may name no row.
class RowAppender
{
public:
    virtual ~RowAppender() = default;
    virtual Status append(const SqlRow& values) = 0;
    virtual Status finish() = 0;
};

// How an error of the engine is to be told.
enum class ErrorKind
{
    Other,
    Busy,          // another workstation held what this one waited for
    ConnectionLost // the server went away: nothing of the statement is written
};

class Engine
{
public:
    virtual ~Engine() = default;
    virtual EngineKind kind() const = 0;

    // --- the statements' differences ---
    // An expression of the column that compares and sorts without regard to
    // case (ASCII letters folded, as the files have always compared them).
    virtual QString caseless(const QString& column) const = 0;
    // The bound value a caseless() expression is compared with.
    virtual QString caselessValue() const = 0;
    // The statement that starts a transaction that will write.
    virtual QString beginWriting() const = 0;
    // The statement that starts a read of several tables in one snapshot.
    virtual QString beginReading() const = 0;
    // A condition on a column that no index may serve (for a walk along
    // another index); the column keeps its comparison.
    virtual QString unindexed(const QString& column) const = 0;
    // " INDEXED BY name" where the engine lets a statement name its index.
    virtual QString indexedBy(const QString& index) const = 0;
    // What a SELECT inside a write transaction adds to lock the rows it reads
    // against other workstations' changes until the commit: nothing on a
    // file, whose write transaction holds the whole file.
    virtual QString lockingRead() const = 0;
    // The statement that serializes the transactions that add subjects whose
    // numbers must be new (an import's check of the numbers, the editor's),
    // until the commit; empty on a file (its write lock does it already).
    virtual QString lockSubjectNumbers() const = 0;
    // An ORDER BY term with NULL values first in ascending order (SQLite's
    // order, and the order of the first column of every index).
    virtual QString orderBy(const QString& expression, bool descending) const = 0;

    // --- the schema, from the one definition ---
    // The version of the database's schema (0 for one that has none yet).
    virtual Status schemaVersion(int* version) = 0;
    // Refuses a newer version, a missing table or column, a column of another type.
    virtual Status checkLayout(FileKind kind, bool withColumns) = 0;
    // Creates what the database lacks (runs inside the caller's transaction).
    virtual Status createSchema(FileKind kind) = 0;
    // Whether everything the lists and counts rely on is there.
    virtual bool complete(FileKind kind) = 0;
    virtual bool hasTable(const QString& table) = 0;
    virtual bool hasColumn(const QString& table, const QString& column) = 0;
    // After rows were appended with their own MKEY: new rows get keys above them.
    virtual Status keysCopied(const QString& table) = 0;

    // --- statements with ? placeholders, one round trip each ---
    virtual Status run(const QString& sql, const QVariantList& binds, SqlRows* rows, qint64* affected) = 0;
    // The rows of a query, one at a time.
    virtual std::unique_ptr<LegacyCursor> cursor(const QString& sql, const QVariantList& binds,
                                                 Status* status) = 0;
    virtual std::unique_ptr<RowAppender> appender(const QString& table, const QStringList& columns,
                                                  Status* status) = 0;

    // --- write transactions ---
    // Starts one with beginWriting(); ends one with COMMIT.
    virtual Status begin() { return run(beginWriting(), {}, nullptr, nullptr); }
    virtual Status commit() { return run(QStringLiteral("COMMIT"), {}, nullptr, nullptr); }
    // After a COMMIT whose answer was lost with the connection, asked on the
    // connection made again: whether the server committed it. A file's answer
    // is never lost.
    enum class CommitOutcome
    {
        Committed,
        RolledBack,
        Pending, // the server is still ending it: ask again
        Unknown
    };
    virtual CommitOutcome lostCommitOutcome() { return CommitOutcome::RolledBack; }

    // --- the connection ---
    virtual ErrorKind lastErrorKind() const = 0;
    // Whether the connection is gone (checked without a round trip).
    virtual bool connectionLost() = 0;
    // Closes and opens the connection again.
    virtual Status reconnect() = 0;
    // A number that changes when another connection commits a change (SQLite's
    // data version); -1 where notifications tell it instead.
    virtual qint64 dataVersion() = 0;
};

} // namespace lumo
