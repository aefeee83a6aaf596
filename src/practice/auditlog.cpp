#include "practice/auditlog.h"

#include "base/json.h"
#include "practice/auditanchor.h"
#include "records/database.h"
#include "records/legacysource.h"

#include <QCryptographicHash>
#include <QDate>

namespace lumo {
namespace {

const char* const kColumns = "MKEY, ATIME, OPERATOR, WORKSTATION, ACTION, CUSTNO, DATAKEY, DETAIL, HASH";

void addField(QCryptographicHash& h, const QByteArray& bytes)
{
    h.addData(QByteArray::number(bytes.size()));
    h.addData(QByteArrayView(":"));
    h.addData(bytes);
    h.addData(QByteArrayView(","));
}

AuditRow rowOf(const QVector<QVariant>& v)
{
    AuditRow r;
    r.mkey = v.value(0).toLongLong();
    r.time = v.value(1).toString();
    r.operatorName = v.value(2).toString();
    r.workstation = v.value(3).toString();
    r.action = v.value(4).toString();
    r.custNo = v.value(5).toString();
    r.dataKey = v.value(6).toLongLong();
    r.detail = v.value(7).toString();
    r.hash = v.value(8).toString();
    return r;
}

// A null text binds as NULL, which the columns refuse: an absent value is ''.
QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

Status appendHere(Database& db, AuditRow* row)
{
    // SQLite: the writing transaction (BEGIN IMMEDIATE) already holds the
    // file's write lock. The server: a SHARE ROW EXCLUSIVE lock on the table
    // conflicts with itself but not with reads, so the last hash cannot change
    // until this one commits. The rooms' logins may only read the log, which
    // is not enough to take that lock, so a function of the schema's owner
    // takes it for them, and another one appends.
    if (db.onServer())
        if (Status s = db.run(QStringLiteral("SELECT LUMO_AUDIT_LOCK()")); !s) return s;
    SqlRows last;
    Status s = db.run(QStringLiteral("SELECT HASH FROM LUMOAUDIT ORDER BY MKEY DESC LIMIT 1"), {}, &last);
    if (!s) return s;
    row->hash = auditHash(last.isEmpty() ? QString() : last.first().value(0).toString(), *row);
    const QVariantList values = {text(row->time),        text(row->operatorName),
                                 text(row->workstation), text(row->action),
                                 text(row->custNo),      row->dataKey,
                                 text(row->detail),      row->hash};
    SqlRows key;
    s = db.run(db.onServer()
                   ? QStringLiteral("SELECT LUMO_AUDIT_APPEND(?, ?, ?, ?, ?, ?, ?, ?)")
                   : QStringLiteral("INSERT INTO LUMOAUDIT (ATIME, OPERATOR, WORKSTATION, ACTION, "
                                    "CUSTNO, DATAKEY, DETAIL, HASH) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                                    "RETURNING MKEY"),
               values, &key);
    if (!s || key.isEmpty()) return s;
    row->mkey = key.first().value(0).toLongLong();
    // The journal hears of the row only once it is committed: a row rolled
    // back with its change must not be found there. A server's rows are in
    // its own log already.
    const QString identity = anchorIdentity(db);
    if (!identity.isEmpty())
        db.afterCommit([identity, k = row->mkey, h = row->hash] { sendAnchor(identity, k, h); });
    return s;
}

QString utcTextOfLocalMidnight(const QDate& day)
{
    return day.startOfDay().toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

// The content is hashed as netstrings, in this fixed order: the previous
// row's HASH (empty for the first row), ATIME, OPERATOR, WORKSTATION, ACTION,
// CUSTNO, DATAKEY (decimal), DETAIL; each field as its UTF-8 byte count in
// decimal, ':', the bytes, ','. The counts make the encoding unambiguous
// whatever a detail holds. MKEY is left out: rows are chained by order, and
// a key the server's sequence skipped is no tampering.
QString auditHash(const QString& previous, const AuditRow& row)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const QString* f :
         {&previous, &row.time, &row.operatorName, &row.workstation, &row.action, &row.custNo})
        addField(h, f->toUtf8());
    addField(h, QByteArray::number(row.dataKey));
    addField(h, row.detail.toUtf8());
    return QString::fromLatin1(h.result().toHex());
}

Status appendAuditRow(Database& db, AuditRow* row)
{
    if (db.inTransaction()) return appendHere(db, row);
    Transaction t(db);
    if (!t.active()) return t.begun();
    if (Status s = appendHere(db, row); !s) return s;
    return t.commit();
}

Status lastAuditHash(Database& db, QString* hash)
{
    hash->clear();
    if (!db.hasTable(QStringLiteral("LUMOAUDIT"))) return Status::success();
    SqlRows last;
    Status s = db.run(QStringLiteral("SELECT HASH FROM LUMOAUDIT ORDER BY MKEY DESC LIMIT 1"), {}, &last);
    if (s && !last.isEmpty()) *hash = last.first().value(0).toString();
    return s;
}

Status readAuditRows(Database& db, const AuditFilter& filter,
                     const std::function<bool(const AuditRow&)>& each)
{
    QStringList where;
    QVariantList binds;
    if (!filter.custNo.isEmpty()) {
        where << QStringLiteral("CUSTNO = ?");
        binds << filter.custNo;
    }
    // The days are the workstation's own: a practice asks for "the 5th" as its
    // clock reads it, while ATIME is UTC text, so each day's local midnight is
    // turned into UTC text of the same form and compared as text.
    if (!filter.from.isEmpty()) {
        where << QStringLiteral("ATIME >= ?");
        binds << utcTextOfLocalMidnight(QDate::fromString(filter.from, Qt::ISODate));
    }
    if (!filter.to.isEmpty()) {
        where << QStringLiteral("ATIME < ?");
        binds << utcTextOfLocalMidnight(QDate::fromString(filter.to, Qt::ISODate).addDays(1));
    }
    // An action names itself and the actions under it: "export" finds "export.subject" too.
    if (!filter.action.isEmpty()) {
        where << QStringLiteral("(ACTION = ? OR ACTION LIKE ?)");
        binds << filter.action << filter.action + QStringLiteral(".%");
    }
    const QString sql =
        QStringLiteral("SELECT %1 FROM LUMOAUDIT%2 ORDER BY MKEY%3")
            .arg(QLatin1String(kColumns),
                 where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(" AND "),
                 filter.newest > 0 ? QStringLiteral(" DESC LIMIT %1").arg(filter.newest) : QString());
    Status s;
    std::unique_ptr<LegacyCursor> c = db.cursor(sql, binds, &s);
    if (!c) return s;
    LegacyRow v;
    while (c->next(&v))
        if (!each(rowOf(v))) return Status::success();
    return c->error();
}

// Rows removed from the end leave a chain that is whole. SQLite keeps the
// highest key ever given (AUTOINCREMENT) in the same transaction as the row,
// so a log that ends before it has lost its last rows. A server's sequence
// moves on for rolled-back rows as well and proves nothing there.
Status checkTail(Database& db, qint64 lastKey, AuditCheck* check)
{
    if (db.onServer()) return Status::success();
    SqlRows seq;
    const Status s =
        db.run(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'LUMOAUDIT'"), {}, &seq);
    if (!s || seq.isEmpty() || seq.first().value(0).toLongLong() <= lastKey) return s;
    check->brokenKey = lastKey + 1;
    check->why = QString::fromUtf8("紀錄的鍵已用到 %1，但最後一列是 %2：最後的列被刪除")
                     .arg(seq.first().value(0).toLongLong())
                     .arg(lastKey);
    return Status::success();
}

// What a row's place says beside its hash. On SQLite every key is given in
// the row's own transaction and rows are never removed, so the keys run on
// one by one: a gap is a row removed, however the chain was recomputed after
// it. (A log moved here from a server keeps the server's keys, whose
// sequence skips rolled-back rows: the moved rows end at the move's import
// row.) While accounts exist the log starts where practice mode started, with
// the first account's operator.add, or with the restore that brought the
// accounts; a log that starts elsewhere was cut or made anew.
QString placeBroken(bool onServer, bool accounts, const AuditRow& r, qint64 index, qint64 expectedKey)
{
    if (index == 1 && accounts && r.action != QLatin1String("operator.add") &&
        r.action != QLatin1String("restore"))
        return QString::fromUtf8(
            "紀錄的第一列不是第一位操作人員的建立（operator.add）：紀錄的開頭被截斷或重建");
    if (!onServer && r.mkey != expectedKey && r.action != QLatin1String("import"))
        return QString::fromUtf8("應是鍵 %1，卻是鍵 %2：其間的列被刪除").arg(expectedKey).arg(r.mkey);
    return {};
}

bool hasAccounts(Database& db)
{
    SqlRows rows;
    return db.hasTable(QStringLiteral("LUMOOPER")) &&
           db.run(QStringLiteral("SELECT 1 FROM LUMOOPER LIMIT 1"), {}, &rows) && !rows.isEmpty();
}

Status verifyAuditChain(Database& db, AuditCheck* check)
{
    *check = {};
    const bool accounts = hasAccounts(db);
    Status s;
    std::unique_ptr<LegacyCursor> c = db.cursor(
        QStringLiteral("SELECT %1 FROM LUMOAUDIT ORDER BY MKEY").arg(QLatin1String(kColumns)), {}, &s);
    if (!c) return s;
    LegacyRow v;
    QString previous;
    qint64 lastKey = 0;
    while (c->next(&v)) {
        const AuditRow r = rowOf(v);
        ++check->rows;
        check->why = placeBroken(db.onServer(), accounts, r, check->rows, lastKey + 1);
        if (check->why.isEmpty() && auditHash(previous, r) != r.hash)
            // A changed row no longer fits its own hash; after a removed or
            // inserted row the next one no longer follows the one before it.
            check->why =
                QString::fromUtf8("雜湊與本列內容及前一列的雜湊不符：本列被改動，或它之前有列被刪除或插入");
        if (!check->why.isEmpty()) {
            check->brokenKey = r.mkey;
            return Status::success();
        }
        previous = r.hash;
        lastKey = r.mkey;
    }
    check->lastHash = previous;
    if (!(s = c->error())) return s;
    if (accounts && check->rows == 0) {
        check->brokenKey = 1;
        check->why = QString::fromUtf8("有操作人員，紀錄卻是空的：紀錄被刪除或重建");
        return Status::success();
    }
    return checkTail(db, lastKey, check);
}

QByteArray auditRowJson(const AuditRow& r)
{
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("MKEY")).value(r.mkey);
    w.key(QStringLiteral("ATIME")).value(r.time);
    w.key(QStringLiteral("OPERATOR")).value(r.operatorName);
    w.key(QStringLiteral("WORKSTATION")).value(r.workstation);
    w.key(QStringLiteral("ACTION")).value(r.action);
    w.key(QStringLiteral("CUSTNO")).value(r.custNo);
    w.key(QStringLiteral("DATAKEY")).value(r.dataKey);
    w.key(QStringLiteral("DETAIL")).value(r.detail);
    w.key(QStringLiteral("HASH")).value(r.hash);
    w.endObject();
    return w.text();
}

} // namespace lumo
