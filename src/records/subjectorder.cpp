#include "records/subjectorder.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace lumo {
namespace {

// The index that holds each order (sort value, then MKEY).
const char* indexOf(SubjectField f)
{
    static const char* names[] = {"ZUCS1",      "ZUCUST_NAME",  "ZUCUST_SEX",   "ZUCUST_DBIRTH", "ZUCUST_TEL",
                                  "ZUCUST_ADDR", "ZUCUST_EMAIL", "ZUCUST_TEL2", "ZUCUST_TEL3"};
    const int i = int(f) - 1;
    return names[(i < 0 || i > 8) ? 0 : i];
}

// The least text greater than every text that begins with the prefix.
QString prefixEnd(const QString& prefix) { return prefix + QString::fromUcs4(U"\U0010FFFF", 1); }

void bindAll(QSqlQuery& q, const QVariantList& binds)
{
    for (int i = 0; i < binds.size(); ++i) q.bindValue(i, binds.at(i));
}

} // namespace

QString SubjectOrder::select() const
{
    return QStringLiteral("SELECT %1, %2 FROM ZUCUST").arg(subjectColumns(), QLatin1String(subjectFieldColumn(m_field)));
}

// Each run is one range of the index: the rows that tie with the anchor's
// value beyond its key, then the values beyond it (SQLite seeks a row value
// such as (NAME, MKEY) > (?, ?) on its first column only, and would walk
// every tie of a field like SEX). SQL's comparisons leave out rows whose sort
// value is NULL (older files may hold them) while the index puts them first,
// so they take a run of their own.
QVector<SubjectOrder::Segment> SubjectOrder::segmentsFrom(const OrderedSubject* anchor, bool forward) const
{
    const bool ascending = forward != m_descending;
    const QLatin1String c(subjectFieldColumn(m_field));
    const QLatin1String beyond(ascending ? ">" : "<");
    if (!anchor) return {{QStringLiteral("1"), {}, ascending}};
    const qint64 key = anchor->row.MKEY;
    if (anchor->value.isNull()) {
        const QString nulls = QStringLiteral("%1 IS NULL AND MKEY %2 ?").arg(c, beyond);
        if (!ascending) return {{nulls, {key}, false}};
        return {{nulls, {key}, true}, {QStringLiteral("%1 IS NOT NULL").arg(c), {}, true}};
    }
    QVector<Segment> runs = {{QStringLiteral("%1 = ? AND MKEY %2 ?").arg(c, beyond), {anchor->value, key}, ascending},
                             {QStringLiteral("%1 %2 ?").arg(c, beyond), {anchor->value}, ascending}};
    if (!ascending) runs.append({QStringLiteral("%1 IS NULL").arg(c), {}, false});
    return runs;
}

QVector<OrderedSubject> SubjectOrder::read(const Segment& s, qint64 skip, int limit)
{
    const QLatin1String c(subjectFieldColumn(m_field));
    const QLatin1String dir(s.ascending ? "" : " DESC");
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("%1 WHERE %2 ORDER BY %3%4, MKEY%4 LIMIT %5 OFFSET %6")
                  .arg(select(), s.where, c, dir, QString::number(limit), QString::number(skip)));
    bindAll(q, s.binds);
    QVector<OrderedSubject> rows;
    if (!q.exec()) return rows;
    const int valueColumn = q.record().count() - 1;
    while (q.next()) rows.append({q.value(valueColumn), readSubject(q)});
    return rows;
}

qint64 SubjectOrder::countOf(const QString& where, const QVariantList& binds)
{
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM ZUCUST WHERE %1").arg(where));
    bindAll(q, binds);
    if (q.exec() && q.next()) return q.value(0).toLongLong();
    return 0;
}

qint64 SubjectOrder::count() { return m_db.rowCount(QStringLiteral("ZUCUST")); }

QVector<OrderedSubject> SubjectOrder::step(const OrderedSubject* anchor, bool forward, qint64 skip, int limit)
{
    QVector<OrderedSubject> rows;
    const QVector<Segment> segments = segmentsFrom(anchor, forward);
    for (int i = 0; i < segments.size() && rows.size() < limit; ++i) {
        const QVector<OrderedSubject> part = read(segments[i], skip, limit - int(rows.size()));
        if (!part.isEmpty()) skip = 0;
        else if (skip > 0 && i + 1 < segments.size())
            skip = std::max<qint64>(0, skip - countOf(segments[i].where, segments[i].binds));
        rows += part;
    }
    return rows;
}

qint64 SubjectOrder::countBefore(const OrderedSubject& at)
{
    qint64 n = 0;
    for (const Segment& s : segmentsFrom(&at, false)) n += countOf(s.where, s.binds);
    return n;
}

std::optional<OrderedSubject> SubjectOrder::entryOf(qint64 mkey)
{
    const QVector<OrderedSubject> rows = read({QStringLiteral("MKEY = ?"), {mkey}, true}, 0, 1);
    if (rows.isEmpty()) return std::nullopt;
    return rows.first();
}

// Searching the sort field reads its index from the start of the prefix. For
// another field, a prefix that few rows have is read along that field's index
// and the few matches are ordered; one that many rows have is found soon by
// walking the sort order's index and testing each row.
std::optional<OrderedSubject> SubjectOrder::firstWithPrefix(SubjectField field, const QString& text)
{
    const QLatin1String s(subjectFieldColumn(field));
    const QLatin1String c(subjectFieldColumn(m_field));
    const QLatin1String dir(m_descending ? " DESC" : "");
    const QVariantList binds = {text, prefixEnd(text)};
    QString sql;
    if (field == m_field) {
        sql = QStringLiteral("%1 WHERE %2 >= ? AND %2 < ? ORDER BY %2%3, MKEY%3 LIMIT 1").arg(select(), s, dir);
    } else {
        QSqlQuery probe(m_db.sql());
        probe.prepare(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM ZUCUST WHERE %1 >= ? AND %1 < ? LIMIT %2)")
                          .arg(s, QString::number(kFewMatches + 1)));
        bindAll(probe, binds);
        if (!probe.exec() || !probe.next()) return std::nullopt;
        const qint64 matches = probe.value(0).toLongLong();
        if (matches == 0) return std::nullopt;
        // The unary plus keeps SQLite from using an index for that term (the
        // column's collation stays).
        sql = QStringLiteral("%1 WHERE %2 >= ? AND %2 < ? ORDER BY +%3%4, +MKEY%4 LIMIT 1").arg(select(), s, c, dir);
        if (matches > kFewMatches) {
            const QString walk = QStringLiteral("%1 INDEXED BY %5 WHERE +%2 >= ? AND +%2 < ? ORDER BY %3%4, MKEY%4 LIMIT 1")
                                     .arg(select(), s, c, dir, QLatin1String(indexOf(m_field)));
            QSqlQuery q(m_db.sql());
            q.setForwardOnly(true);
            // A file opened only for reading may lack the index: then the matches are ordered.
            if (q.prepare(walk)) {
                bindAll(q, binds);
                if (!q.exec() || !q.next()) return std::nullopt;
                return OrderedSubject{q.value(q.record().count() - 1), readSubject(q)};
            }
        }
    }
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(sql);
    bindAll(q, binds);
    if (!q.exec() || !q.next()) return std::nullopt;
    return OrderedSubject{q.value(q.record().count() - 1), readSubject(q)};
}

} // namespace lumo
