// The server's fast paths for many rows: a query read row by row as libpq
// delivers them (an export or the research files read a whole practice), and
// rows appended by COPY, which sends them without a round trip per row (an
// import or a migration writes a whole practice through the practice network).
#include "records/legacysource.h"
#include "records/pgengine.h"
#include "records/pgvalues.h"

#include <libpq-fe.h>

namespace lumo {
namespace {

LegacyType typeOf(Oid type)
{
    switch (type) {
    case 16: // bool
    case 20: // int8
    case 21: // int2
    case 23: // int4
        return LegacyType::Integer;
    case 700:  // float4
    case 701:  // float8
    case 1700: // numeric
        return LegacyType::Real;
    case 17: // bytea
        return LegacyType::Bytes;
    default:
        return LegacyType::Text;
    }
}

class Cursor : public LegacyCursor
{
public:
    Cursor(PgEngine& engine, const QString& sql, const QVariantList& binds) : m_engine(engine)
    {
        m_conn = engine.connection();
        const pg::Parameters p(binds);
        if (!m_conn ||
            !PQsendQueryParams(m_conn, numberedParameters(sql).constData(), p.count(), nullptr,
                               p.values.constData(), p.lengths.constData(), p.formats.constData(), 0) ||
            !PQsetSingleRowMode(m_conn)) {
            fail(nullptr);
            return;
        }
        // The first result names the columns, also when there is no row.
        m_pending = PQgetResult(m_conn);
        const ExecStatusType s = m_pending ? PQresultStatus(m_pending) : PGRES_FATAL_ERROR;
        if (s != PGRES_SINGLE_TUPLE && s != PGRES_TUPLES_OK) {
            fail(m_pending);
            return;
        }
        for (int c = 0; c < PQnfields(m_pending); ++c)
            m_columns.append({QString::fromUtf8(PQfname(m_pending, c)), typeOf(PQftype(m_pending, c))});
    }
    ~Cursor() override
    {
        PQclear(m_pending);
        if (!m_done && m_conn) {
            // Left before its end: the server stops sending the rest.
            if (PGcancel* cancel = PQgetCancel(m_conn)) {
                char buffer[256];
                PQcancel(cancel, buffer, sizeof buffer);
                PQfreeCancel(cancel);
            }
        }
        if (m_conn)
            while (PGresult* r = PQgetResult(m_conn))
                PQclear(r);
    }

    const QVector<LegacyColumn>& columns() const override { return m_columns; }
    Status error() const override { return m_error; }

    bool next(LegacyRow* row) override
    {
        if (!m_error || m_done) return false;
        PGresult* r = m_pending ? m_pending : PQgetResult(m_conn);
        m_pending = nullptr;
        const ExecStatusType s = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
        if (s != PGRES_SINGLE_TUPLE) {
            if (s != PGRES_TUPLES_OK) fail(r);
            PQclear(r);
            m_done = true;
            return false;
        }
        row->resize(m_columns.size());
        for (int c = 0; c < m_columns.size(); ++c)
            (*row)[c] = pg::fieldValue(r, 0, c);
        PQclear(r);
        return true;
    }

private:
    void fail(PGresult* r)
    {
        m_error = Status::failure(m_engine.errorOf(r));
        m_done = true;
    }

    PgEngine& m_engine;
    PGconn* m_conn = nullptr;
    PGresult* m_pending = nullptr;
    QVector<LegacyColumn> m_columns;
    Status m_error;
    bool m_done = false;
};

// COPY's text format: a tab between fields, a line per row, \N for NULL and
// a backslash before what would end a field or a line.
void appendField(QByteArray& line, const QVariant& v)
{
    if (v.isNull() || !v.isValid()) {
        line += "\\N";
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        line += QByteArray::number(v.toLongLong());
        return;
    case QMetaType::Double:
        line += pg::numberText(v.toDouble());
        return;
    case QMetaType::QByteArray:
        if (v.toByteArray().isNull()) {
            line += "\\N";
            return;
        }
        line += "\\\\x" + v.toByteArray().toHex();
        return;
    default:
        break;
    }
    if (v.typeId() == QMetaType::QString && v.toString().isNull()) {
        line += "\\N";
        return;
    }
    for (char c : v.toString().toUtf8()) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
        }
    }
}

class CopyAppender : public RowAppender
{
public:
    CopyAppender(PgEngine& engine, const QString& table, const QStringList& columns) : m_engine(engine)
    {
        m_conn = engine.connection();
        const QString sql =
            QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(QStringLiteral(", ")));
        PGresult* r = m_conn ? PQexec(m_conn, sql.toUtf8().constData()) : nullptr;
        if (!r || PQresultStatus(r) != PGRES_COPY_IN) {
            m_status = Status::failure(m_engine.errorOf(r));
            m_conn = nullptr;
        }
        PQclear(r);
    }
    ~CopyAppender() override
    {
        // Never finished: the server discards the rows sent so far.
        if (m_conn && !m_finished) {
            PQputCopyEnd(m_conn, "abandoned");
            while (PGresult* r = PQgetResult(m_conn))
                PQclear(r);
        }
    }
    Status status() const { return m_status; }

    Status append(const SqlRow& values) override
    {
        if (!m_status) return m_status;
        for (int i = 0; i < values.size(); ++i) {
            if (i) m_buffer += '\t';
            appendField(m_buffer, values.at(i));
        }
        m_buffer += '\n';
        return m_buffer.size() >= kChunk ? flush() : Status::success();
    }

    Status finish() override
    {
        if (!m_status) return m_status;
        m_finished = true;
        Status st = flush();
        if (!st) return st;
        if (PQputCopyEnd(m_conn, nullptr) != 1) return m_status = Status::failure(m_engine.errorOf(nullptr));
        PGresult* r = PQgetResult(m_conn);
        if (!r || PQresultStatus(r) != PGRES_COMMAND_OK) m_status = Status::failure(m_engine.errorOf(r));
        PQclear(r);
        while (PGresult* rest = PQgetResult(m_conn))
            PQclear(rest);
        return m_status;
    }

private:
    static constexpr int kChunk = 256 * 1024;

    Status flush()
    {
        if (m_buffer.isEmpty()) return Status::success();
        if (PQputCopyData(m_conn, m_buffer.constData(), int(m_buffer.size())) != 1)
            return m_status = Status::failure(m_engine.errorOf(nullptr));
        m_buffer.clear();
        return Status::success();
    }

    PgEngine& m_engine;
    PGconn* m_conn = nullptr;
    QByteArray m_buffer;
    Status m_status;
    bool m_finished = false;
};

} // namespace

std::unique_ptr<LegacyCursor> PgEngine::cursor(const QString& sql, const QVariantList& binds, Status* status)
{
    auto c = std::make_unique<Cursor>(*this, sql, binds);
    *status = c->error();
    if (!*status) return nullptr;
    return c;
}

std::unique_ptr<RowAppender> PgEngine::appender(const QString& table, const QStringList& columns,
                                                Status* status)
{
    auto a = std::make_unique<CopyAppender>(*this, table, columns);
    *status = a->status();
    if (!*status) return nullptr;
    return a;
}

} // namespace lumo
