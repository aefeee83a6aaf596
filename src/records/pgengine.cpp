#include "records/pgengine.h"

#include "records/database.h"
#include "records/pgvalues.h"

#include <QSqlDriver>
#include <QSqlError>
#include <libpq-fe.h>
#include <poll.h>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// SQLSTATEs of another workstation in the way: a lock not granted within
// lock_timeout, a deadlock the server broke, a snapshot that could not be kept.
bool isBusyState(const QByteArray& state)
{
    return state == "55P03" || state == "40P01" || state == "40001";
}

// The server shut down or the connection broke: the statement wrote nothing.
bool isConnectionState(const QByteArray& state)
{
    return state.startsWith("08") || state == "57P01" || state == "57P02" || state == "57P03";
}

} // namespace

QByteArray numberedParameters(const QString& sql)
{
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    int number = 0;
    char quote = 0;
    for (char c : in) {
        if (quote) {
            if (c == quote) quote = 0;
            out += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == '?') {
            out += '$' + QByteArray::number(++number);
        } else {
            out += c;
        }
    }
    return out;
}

QString describeServer(const QString& conninfo)
{
    QStringList parts;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options) return QStringLiteral("PostgreSQL");
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        const QByteArray key(o->keyword);
        if (!o->val || !(key == "host" || key == "hostaddr" || key == "port" || key == "dbname" ||
                         key == "user" || key == "service"))
            continue;
        parts << QStringLiteral("%1=%2").arg(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    return QStringLiteral("PostgreSQL ") + parts.join(QLatin1Char(' '));
}

QString serverConnectionLostMessage(const QString& driverText)
{
    QString text = u("與資料庫伺服器的連線中斷，這次的操作沒有寫入任何資料；下一次操作時會重新連線。");
    if (!driverText.trimmed().isEmpty()) text += QStringLiteral("\r\n") + driverText.trimmed();
    return text;
}

PGconn* PgEngine::rawConnection()
{
    const QVariant v = m_db.driver() ? m_db.driver()->handle() : QVariant();
    // The driver declares its handle as the libpq struct (the typedef's own name is not kept).
    if (!m_db.isOpen() || !v.isValid() || qstrcmp(v.typeName(), "pg_conn*") != 0) return nullptr;
    return *static_cast<PGconn* const*>(v.data());
}

PGconn* PgEngine::connection()
{
    PGconn* conn = rawConnection();
    // The driver leaves the rest of a query it read row by row on the
    // connection; libpq takes one command at a time.
    if (conn)
        while (PGresult* r = PQgetResult(conn))
            PQclear(r);
    return conn;
}

QString PgEngine::errorOf(PGresult* result)
{
    PGconn* conn = rawConnection();
    const QByteArray state = result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
    QString text = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn)).trimmed();
    if (!conn || PQstatus(conn) == CONNECTION_BAD || isConnectionState(state)) {
        m_lastError = ErrorKind::ConnectionLost;
        return serverConnectionLostMessage(text.isEmpty() && conn ? QString::fromUtf8(PQerrorMessage(conn))
                                                                  : text);
    }
    if (isBusyState(state)) {
        m_lastError = ErrorKind::Busy;
        return databaseBusyMessage();
    }
    m_lastError = ErrorKind::Other;
    return text;
}

Status PgEngine::run(const QString& sql, const QVariantList& binds, SqlRows* rows, qint64* affected)
{
    m_lastError = ErrorKind::Other;
    PGconn* conn = connection();
    if (!conn) {
        m_lastError = ErrorKind::ConnectionLost;
        return Status::failure(serverConnectionLostMessage(m_db.lastError().text()));
    }
    const pg::Parameters p(binds);
    PGresult* r = PQexecParams(conn, numberedParameters(sql).constData(), p.count(), nullptr,
                               p.values.constData(), p.lengths.constData(), p.formats.constData(), 0);
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const QString error = errorOf(r);
        PQclear(r);
        return Status::failure(error);
    }
    if (rows) {
        const int count = PQntuples(r);
        const int columns = PQnfields(r);
        rows->reserve(rows->size() + count);
        for (int i = 0; i < count; ++i) {
            SqlRow row(columns);
            for (int c = 0; c < columns; ++c)
                row[c] = pg::fieldValue(r, i, c);
            rows->append(std::move(row));
        }
    }
    if (affected) *affected = QByteArray(PQcmdTuples(r)).toLongLong();
    PQclear(r);
    return Status::success();
}

bool connectionGone(PGconn* conn, bool mayRead)
{
    if (!conn || PQstatus(conn) == CONNECTION_BAD) return true;
    if (!mayRead) {
        // The driver reads this connection when its socket has something: the
        // closed end is seen without reading what lies before it.
        pollfd p{PQsocket(conn), POLLRDHUP, 0};
        return p.fd < 0 || (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)));
    }
    // Reads what the server sent meanwhile without waiting. A server that
    // ended the session sent its reason and closed the socket: the reason is
    // read and parsed first, the end of the socket on the next read.
    for (int reads = 0; reads < 3 && PQstatus(conn) != CONNECTION_BAD; ++reads) {
        if (!PQconsumeInput(conn)) break;
        PQisBusy(conn);
    }
    return PQstatus(conn) == CONNECTION_BAD;
}

void ignoreNotices(PGconn* conn)
{
    // The server's notices (a session's end announced while idle among them)
    // would go to stderr; what matters reaches the operator as an error.
    if (conn)
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);
}

bool PgEngine::connectionLost()
{
    return connectionGone(rawConnection(), true);
}

Status PgEngine::reconnect()
{
    m_db.close();
    if (!m_db.open()) {
        m_lastError = ErrorKind::ConnectionLost;
        return Status::failure(serverConnectionLostMessage(m_db.lastError().databaseText()));
    }
    return setUpSession();
}

Status PgEngine::setUpSession()
{
    ignoreNotices(rawConnection());
    // Another workstation's lock is waited for as long as on a shared file,
    // then reported as busy; statements never wait for ever. The server's
    // notices (a table that already exists) are not the operator's business.
    return run(QStringLiteral("SELECT set_config('lock_timeout', '%1', false), "
                              "set_config('client_min_messages', 'warning', false)")
                   .arg(Database::BusyTimeoutMs),
               {}, nullptr, nullptr);
}

Status PgEngine::begin()
{
    m_lastError = ErrorKind::Other;
    m_transactionId.clear();
    PGconn* conn = connection();
    if (!conn) {
        m_lastError = ErrorKind::ConnectionLost;
        return Status::failure(serverConnectionLostMessage(m_db.lastError().text()));
    }
    // The id is given now rather than at the first write: a transaction that
    // writes nothing costs one id, and the COMMIT needs no round trip of its own.
    PGresult* r = PQexec(conn, "BEGIN; SELECT pg_current_xact_id()::text");
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1) {
        m_transactionId = QByteArray(PQgetvalue(r, 0, 0));
        PQclear(r);
        return Status::success();
    }
    const QString error = errorOf(r);
    PQclear(r);
    // A BEGIN that went through leaves a transaction the caller will not end.
    if (PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE)
        PQclear(PQexec(conn, "ROLLBACK"));
    return Status::failure(error);
}

Status PgEngine::commit()
{
    const Status st = run(QStringLiteral("COMMIT"), {}, nullptr, nullptr);
    // The id stays only for a COMMIT whose answer the broken connection took with it.
    if (st || m_lastError != ErrorKind::ConnectionLost) m_transactionId.clear();
    return st;
}

Engine::CommitOutcome PgEngine::lostCommitOutcome()
{
    if (m_transactionId.isEmpty()) return CommitOutcome::RolledBack; // it never began
    SqlRows rows;
    if (!run(QStringLiteral("SELECT pg_xact_status(?::xid8)"), {QString::fromLatin1(m_transactionId)}, &rows,
             nullptr) ||
        rows.isEmpty())
        return CommitOutcome::Unknown;
    // The server tells each of its recent transactions; a NULL is one too old to tell.
    const QString status = rows.first().value(0).toString();
    const CommitOutcome outcome = status == QLatin1String("committed")     ? CommitOutcome::Committed
                                  : status == QLatin1String("aborted")     ? CommitOutcome::RolledBack
                                  : status == QLatin1String("in progress") ? CommitOutcome::Pending
                                                                           : CommitOutcome::Unknown;
    if (outcome != CommitOutcome::Pending) m_transactionId.clear();
    return outcome;
}

int PgEngine::backendPid()
{
    PGconn* conn = rawConnection();
    return conn ? PQbackendPID(conn) : 0;
}

} // namespace lumo
