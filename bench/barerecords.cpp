#include "barerecords.h"

#include <sqlite3.h>

namespace lumo::bench {
namespace {

const char* kSubjectColumns =
    "MKEY, CUSTNO, NAME, SEX, DBIRTH, ADDR, TEL, TEL2, TEL3, EMAIL, MEMO, BTYPE, HEIGHT, "
    "WEIGHT, CUSTCAT, CUSTFG, PrtFG";

void bindValue(sqlite3_stmt* s, int i, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        sqlite3_bind_int64(s, i, v.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(s, i, v.toDouble());
        break;
    default: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text(s, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }
    }
}

QVariant columnValue(sqlite3_stmt* s, int i)
{
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(s, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(s, i));
    case SQLITE_NULL:
        return {};
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i))));
    }
}

// Reads every column of every row, as a caller building rows would; the
// last column and the first of the last row land in last and lastKey.
int drain(sqlite3_stmt* s, QVariant* last = nullptr, qint64* lastKey = nullptr)
{
    int rows = 0;
    const int columns = sqlite3_column_count(s);
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c)
            columnValue(s, c);
        if (last) *last = columnValue(s, columns - 1);
        if (lastKey) *lastKey = sqlite3_column_int64(s, 0);
        ++rows;
    }
    sqlite3_finalize(s);
    return rows;
}

QString prefixEnd(const QString& prefix)
{
    return prefix + QString::fromUcs4(U"\U0010FFFF", 1);
}

} // namespace

BareRecords::BareRecords(const QString& path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    exec("PRAGMA synchronous = FULL");
}

BareRecords::~BareRecords()
{
    sqlite3_close(m_db);
}

sqlite3_stmt* BareRecords::prepare(const QByteArray& sql)
{
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &s, nullptr);
    return s;
}

bool BareRecords::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

qint64 BareRecords::countSubjects()
{
    sqlite3_stmt* s = prepare("SELECT COUNT(*) FROM ZUCUST");
    const qint64 n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    return n;
}

// The ties of the anchor's value beyond its key, then the values beyond it:
// two ranges of the index, as the records layer reads them.
int BareRecords::readRows(const char* column, bool descending, const QVariant* value, qint64 key, int limit,
                          QVariant* last, qint64* lastKey)
{
    const QByteArray dir = descending ? " DESC" : "";
    const QByteArray beyond = descending ? "<" : ">";
    const QByteArray head = QByteArray("SELECT ") + kSubjectColumns + ", " + column + " FROM ZUCUST WHERE ";
    const QByteArray tail = QByteArray(" ORDER BY ") + column + dir + ", MKEY" + dir + " LIMIT ";
    if (!value) return drain(prepare(head + "1" + tail + QByteArray::number(limit)), last, lastKey);
    sqlite3_stmt* ties =
        prepare(head + column + " = ? AND MKEY " + beyond + " ?" + tail + QByteArray::number(limit));
    bindValue(ties, 1, *value);
    sqlite3_bind_int64(ties, 2, key);
    const int got = drain(ties, last, lastKey);
    if (got >= limit) return got;
    sqlite3_stmt* rest =
        prepare(head + column + " " + beyond + " ?" + tail + QByteArray::number(limit - got));
    bindValue(rest, 1, *value);
    return got + drain(rest, last, lastKey);
}

QVariant BareRecords::valueOf(const char* column, qint64 key)
{
    sqlite3_stmt* s = prepare(QByteArray("SELECT ") + column + " FROM ZUCUST WHERE MKEY = ?");
    sqlite3_bind_int64(s, 1, key);
    const QVariant v = sqlite3_step(s) == SQLITE_ROW ? columnValue(s, 0) : QVariant();
    sqlite3_finalize(s);
    return v;
}

qint64 BareRecords::countBefore(const char* column, bool descending, const QVariant& value, qint64 key)
{
    const QByteArray before = descending ? ">" : "<";
    qint64 n = 0;
    for (const QByteArray& where :
         {QByteArray(column) + " = ? AND MKEY " + before + " ?", QByteArray(column) + " " + before + " ?"}) {
        sqlite3_stmt* s = prepare("SELECT COUNT(*) FROM ZUCUST WHERE " + where);
        bindValue(s, 1, value);
        sqlite3_bind_int64(s, 2, key);
        n += sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_finalize(s);
    }
    return n;
}

bool BareRecords::firstWithPrefix(const char* sortColumn, const char* searchColumn, const QString& text,
                                  QVariant* value, qint64* key)
{
    const QByteArray sort(sortColumn), search(searchColumn);
    const QByteArray range = search + " >= ?1 AND " + search + " < ?2";
    QByteArray sql =
        "SELECT MKEY, " + sort + " FROM ZUCUST WHERE " + range + " ORDER BY " + sort + ", MKEY LIMIT 1";
    const QByteArray a = text.toUtf8(), b = prefixEnd(text).toUtf8();
    if (sort != search) {
        sqlite3_stmt* probe =
            prepare("SELECT COUNT(*) FROM (SELECT 1 FROM ZUCUST WHERE " + range + " LIMIT 513)");
        sqlite3_bind_text(probe, 1, a.constData(), int(a.size()), SQLITE_STATIC);
        sqlite3_bind_text(probe, 2, b.constData(), int(b.size()), SQLITE_STATIC);
        const qint64 matches = sqlite3_step(probe) == SQLITE_ROW ? sqlite3_column_int64(probe, 0) : 0;
        sqlite3_finalize(probe);
        if (matches == 0) return false;
        // Few matches: ordered after reading them; many: the first found walking the order.
        sql = matches <= 512 ? "SELECT MKEY, " + sort + " FROM ZUCUST WHERE " + range + " ORDER BY +" + sort +
                                   ", +MKEY LIMIT 1"
                             : "SELECT MKEY, " + sort + " FROM ZUCUST WHERE +" + search + " >= ?1 AND +" +
                                   search + " < ?2 ORDER BY " + sort + ", MKEY LIMIT 1";
    }
    sqlite3_stmt* s = prepare(sql);
    sqlite3_bind_text(s, 1, a.constData(), int(a.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 2, b.constData(), int(b.size()), SQLITE_STATIC);
    const bool found = sqlite3_step(s) == SQLITE_ROW;
    if (found) {
        *key = sqlite3_column_int64(s, 0);
        *value = columnValue(s, 1);
    }
    sqlite3_finalize(s);
    return found;
}

int BareRecords::readMeasurements(const QString& custNo)
{
    QByteArray columns = "MKEY, CUSTNO, ZUDATE, ZUVOTA";
    for (int i = 1; i <= 24; ++i)
        columns += ", ZU" + QByteArray::number(i);
    columns += ", MEMO1, MEMO2, AutoKey, PrtFG";
    sqlite3_stmt* s =
        prepare("SELECT " + columns + " FROM ZUDATA WHERE CUSTNO = ? ORDER BY CUSTNO, ZUDATE, MKEY");
    bindValue(s, 1, custNo);
    return drain(s);
}

int BareRecords::readSameName(const QString& name)
{
    sqlite3_stmt* s = prepare("SELECT * FROM ZUCUST WHERE NAME = ?");
    bindValue(s, 1, name);
    return drain(s);
}

bool BareRecords::appendMeasurement(const QString& custNo)
{
    QByteArray columns = "CUSTNO, ZUDATE, ZUVOTA, MEMO1, MEMO2, AutoKey, PrtFG", marks = "?,?,?,?,?,?,?";
    for (int i = 1; i <= 24; ++i) {
        columns += ", ZU" + QByteArray::number(i);
        marks += ",?";
    }
    if (!exec("BEGIN IMMEDIATE")) return false;
    sqlite3_stmt* s = prepare("INSERT INTO ZUDATA (" + columns + ") VALUES (" + marks + ")");
    bindValue(s, 1, custNo);
    for (int i = 2; i <= 7; ++i)
        bindValue(s, i, i == 2 ? QVariant(46000.5) : QVariant(0));
    for (int i = 0; i < 24; ++i)
        sqlite3_bind_double(s, 8 + i, 40 + i);
    const bool ok = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_finalize(s);
    return exec(ok ? "COMMIT" : "ROLLBACK") && ok;
}

bool BareRecords::removeSubject(qint64 key)
{
    if (!exec("BEGIN IMMEDIATE")) return false;
    bool ok = true;
    for (const char* sql : {"DELETE FROM ZUDATA WHERE CUSTNO = (SELECT CUSTNO FROM ZUCUST WHERE MKEY = ?)",
                            "DELETE FROM ZUCUST WHERE MKEY = ?"}) {
        sqlite3_stmt* s = prepare(sql);
        sqlite3_bind_int64(s, 1, key);
        ok = ok && sqlite3_step(s) == SQLITE_DONE;
        sqlite3_finalize(s);
    }
    return exec(ok ? "COMMIT" : "ROLLBACK") && ok;
}

qint64 BareRecords::countMeasurements()
{
    sqlite3_stmt* s = prepare("SELECT COUNT(*) FROM ZUDATA");
    const qint64 n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    return n;
}

} // namespace lumo::bench

namespace lumo::bench {

qint64 BareRecords::filterMatches(const char* table, const QString& match)
{
    sqlite3_stmt* s = prepare(QByteArray("SELECT rowid FROM ") + table + " WHERE " + table + " MATCH ?");
    const QByteArray m = match.toUtf8();
    sqlite3_bind_text(s, 1, m.constData(), int(m.size()), SQLITE_TRANSIENT);
    qint64 n = 0;
    while (sqlite3_step(s) == SQLITE_ROW)
        ++n;
    sqlite3_finalize(s);
    return n;
}

qint64 BareRecords::filterByScan(const QString& text)
{
    const QByteArray where =
        " WHERE CUSTNO LIKE ?1 OR NAME LIKE ?1 OR TEL LIKE ?1 OR TEL2 LIKE ?1 OR TEL3 LIKE ?1";
    const QByteArray pattern = "%" + text.toUtf8() + "%";
    sqlite3_stmt* c = prepare("SELECT COUNT(*) FROM ZUCUST" + where);
    sqlite3_bind_text(c, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
    const qint64 n = sqlite3_step(c) == SQLITE_ROW ? sqlite3_column_int64(c, 0) : 0;
    sqlite3_finalize(c);
    sqlite3_stmt* r = prepare(QByteArray("SELECT ") + kSubjectColumns + " FROM ZUCUST" + where +
                              " ORDER BY NAME, MKEY LIMIT 100");
    sqlite3_bind_text(r, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(r) == SQLITE_ROW) {
    }
    sqlite3_finalize(r);
    return n;
}

} // namespace lumo::bench
