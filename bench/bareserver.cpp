#include "bareserver.h"

#include <libpq-fe.h>

namespace lumo::bench {
namespace {

const char* kSubjectColumns =
    "MKEY, CUSTNO, NAME, SEX, DBIRTH, ADDR, TEL, TEL2, TEL3, EMAIL, MEMO, BTYPE, HEIGHT, "
    "WEIGHT, CUSTCAT, CUSTFG, PrtFG, ROWVER";

// The subject number sorts and compares without regard to case, as the layer's.
QByteArray expression(const char* column)
{
    return qstrcmp(column, "CUSTNO") == 0 ? QByteArray("lower(CUSTNO)") : QByteArray(column);
}

QByteArray text(const QVariant& v)
{
    return v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 17)
                                           : v.toString().toUtf8();
}

QVariant value(PGresult* r, int row, int c)
{
    if (PQgetisnull(r, row, c)) return {};
    const QByteArray t = QByteArray::fromRawData(PQgetvalue(r, row, c), PQgetlength(r, row, c));
    switch (PQftype(r, c)) {
    case 20: // int8
    case 23: // int4
        return QVariant(t.toLongLong());
    case 701: // float8
        return QVariant(t.toDouble());
    default:
        return QVariant(QString::fromUtf8(t));
    }
}

// Reads every field of every row, as a caller building rows would; the last
// column and the first of the last row land in last and lastKey.
int drain(PGresult* r, QVariant* last = nullptr, qint64* lastKey = nullptr)
{
    const int rows = PQntuples(r), columns = PQnfields(r);
    for (int i = 0; i < rows; ++i) {
        for (int c = 0; c < columns; ++c)
            value(r, i, c);
        if (last) *last = value(r, i, columns - 1);
        if (lastKey) *lastKey = value(r, i, 0).toLongLong();
    }
    PQclear(r);
    return rows;
}

QByteArray prefixEnd(const QString& prefix)
{
    return (prefix + QString::fromUcs4(U"\U0010FFFF", 1)).toUtf8();
}

} // namespace

BareServer::BareServer(const QString& conninfo) : m_conn(PQconnectdb(conninfo.toUtf8().constData())) {}

BareServer::~BareServer()
{
    PQfinish(m_conn);
}

bool BareServer::ok() const
{
    return PQstatus(m_conn) == CONNECTION_OK;
}

bool BareServer::exec(const char* sql)
{
    PGresult* r = PQexec(m_conn, sql);
    const bool done = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    PQclear(r);
    return done;
}

PGresult* BareServer::query(const QByteArray& sql, const QVector<QByteArray>& values)
{
    QVector<const char*> params;
    for (const QByteArray& v : values)
        params << v.constData();
    return PQexecParams(m_conn, sql.constData(), int(params.size()), nullptr, params.constData(), nullptr,
                        nullptr, 0);
}

qint64 BareServer::number(const QByteArray& sql, const QVector<QByteArray>& values)
{
    PGresult* r = query(sql, values);
    const qint64 n = PQntuples(r) > 0 ? QByteArray(PQgetvalue(r, 0, 0)).toLongLong() : 0;
    PQclear(r);
    return n;
}

qint64 BareServer::countSubjects()
{
    return number("SELECT ROWS FROM LUMOCOUNT WHERE NAME = 'ZUCUST'", {});
}

qint64 BareServer::countMeasurements()
{
    return number("SELECT ROWS FROM LUMOCOUNT WHERE NAME = 'ZUDATA'", {});
}

// The ties of the anchor's value beyond its key, then the values beyond it:
// two ranges of the index, as the records layer reads them.
int BareServer::readRows(const char* column, bool descending, const QVariant* v, qint64 key, int limit,
                         QVariant* last, qint64* lastKey)
{
    const QByteArray e = expression(column);
    const QByteArray order = descending ? " DESC NULLS LAST, MKEY DESC" : " NULLS FIRST, MKEY";
    const QByteArray beyond = descending ? "<" : ">";
    const QByteArray head = QByteArray("SELECT ") + kSubjectColumns + ", " + e + " FROM ZUCUST WHERE ";
    const QByteArray tail = " ORDER BY " + e + order + " LIMIT ";
    if (!v) return drain(query(head + "1 = 1" + tail + QByteArray::number(limit), {}), last, lastKey);
    const int got =
        drain(query(head + e + " = $1 AND MKEY " + beyond + " $2" + tail + QByteArray::number(limit),
                    {text(*v), QByteArray::number(key)}),
              last, lastKey);
    if (got >= limit) return got;
    return got +
           drain(query(head + e + " " + beyond + " $1" + tail + QByteArray::number(limit - got), {text(*v)}),
                 last, lastKey);
}

QVariant BareServer::valueOf(const char* column, qint64 key)
{
    PGresult* r =
        query("SELECT " + expression(column) + " FROM ZUCUST WHERE MKEY = $1", {QByteArray::number(key)});
    const QVariant v = PQntuples(r) > 0 ? value(r, 0, 0) : QVariant();
    PQclear(r);
    return v;
}

// The ties before the key, the values before it, and (ascending) the NULL
// values, which come first: the layer's three counts.
qint64 BareServer::countBefore(const char* column, bool descending, const QVariant& v, qint64 key)
{
    const QByteArray e = expression(column);
    const QByteArray before = descending ? ">" : "<";
    qint64 n = number("SELECT COUNT(*) FROM ZUCUST WHERE " + e + " = $1 AND MKEY " + before + " $2",
                      {text(v), QByteArray::number(key)});
    n += number("SELECT COUNT(*) FROM ZUCUST WHERE " + e + " " + before + " $1", {text(v)});
    if (!descending) n += number("SELECT COUNT(*) FROM ZUCUST WHERE " + e + " IS NULL", {});
    return n;
}

bool BareServer::firstWithPrefix(const char* sortColumn, const char* searchColumn, const QString& prefix,
                                 QVariant* v, qint64* key)
{
    const QByteArray sort = expression(sortColumn), search = expression(searchColumn);
    const bool caseless = qstrcmp(searchColumn, "CUSTNO") == 0;
    const QByteArray bound = caseless ? "lower($%1 COLLATE \"C\")" : "$%1";
    const QByteArray range = search + " >= " + QByteArray(bound).replace("%1", "1") + " AND " + search +
                             " < " + QByteArray(bound).replace("%1", "2");
    const QVector<QByteArray> values = {prefix.toUtf8(), prefixEnd(prefix)};
    if (qstrcmp(sortColumn, searchColumn) != 0 &&
        number("SELECT COUNT(*) FROM (SELECT 1 FROM ZUCUST WHERE " + range + " LIMIT 513) AS few", values) ==
            0)
        return false;
    PGresult* r = query("SELECT MKEY, " + sort + " FROM ZUCUST WHERE " + range + " ORDER BY " + sort +
                            " NULLS FIRST, MKEY LIMIT 1",
                        values);
    const bool found = PQntuples(r) > 0;
    if (found) {
        *key = value(r, 0, 0).toLongLong();
        *v = value(r, 0, 1);
    }
    PQclear(r);
    return found;
}

int BareServer::readMeasurements(const QString& custNo)
{
    QByteArray columns = "MKEY, CUSTNO, ZUDATE, ZUVOTA";
    for (int i = 1; i <= 24; ++i)
        columns += ", ZU" + QByteArray::number(i);
    columns += ", MEMO1, MEMO2, AutoKey, PrtFG, ROWVER";
    return drain(
        query("SELECT " + columns +
                  " FROM ZUDATA WHERE lower(CUSTNO) = lower($1 COLLATE \"C\") ORDER BY lower(CUSTNO), "
                  "ZUDATE, MKEY",
              {custNo.toUtf8()}));
}

int BareServer::readSameName(const QString& name)
{
    return drain(query("SELECT * FROM ZUCUST WHERE NAME = $1", {name.toUtf8()}));
}

bool BareServer::appendMeasurement(const QString& custNo)
{
    QByteArray columns = "CUSTNO, ZUDATE, ZUVOTA, MEMO1, MEMO2, AutoKey, PrtFG",
               marks = "$1,$2,$3,$4,$5,$6,$7";
    QVector<QByteArray> values = {custNo.toUtf8(), "46000.5", "0", "", "", "", "0"};
    for (int i = 1; i <= 24; ++i) {
        columns += ", ZU" + QByteArray::number(i);
        marks += ",$" + QByteArray::number(7 + i);
        values << QByteArray::number(40 + i - 1);
    }
    PGresult* r =
        query("INSERT INTO ZUDATA (" + columns + ") VALUES (" + marks + ") RETURNING MKEY, ROWVER", values);
    const bool done = PQresultStatus(r) == PGRES_TUPLES_OK;
    PQclear(r);
    return done;
}

bool BareServer::removeSubject(qint64 key)
{
    if (!exec("BEGIN")) return false;
    bool done = true;
    for (const char* sql :
         {"DELETE FROM ZUDATA WHERE lower(CUSTNO) = (SELECT lower(CUSTNO) FROM ZUCUST WHERE MKEY = $1)",
          "DELETE FROM ZUCUST WHERE MKEY = $1"}) {
        PGresult* r = query(sql, {QByteArray::number(key)});
        done = done && PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
    }
    return exec(done ? "COMMIT" : "ROLLBACK") && done;
}

} // namespace lumo::bench
