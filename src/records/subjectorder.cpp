#include "records/subjectorder.h"

#include <algorithm>

namespace lumo {
namespace {

// The index that holds each order (sort value, then MKEY).
const char* indexOf(SubjectField f)
{
    static const char* names[] = {"ZUCS1",       "ZUCUST_NAME",  "ZUCUST_SEX",  "ZUCUST_DBIRTH", "ZUCUST_TEL",
                                  "ZUCUST_ADDR", "ZUCUST_EMAIL", "ZUCUST_TEL2", "ZUCUST_TEL3"};
    const int i = int(f) - 1;
    return names[(i < 0 || i > 8) ? 0 : i];
}

// The least text greater than every text that begins with the prefix.
QString prefixEnd(const QString& prefix)
{
    return prefix + QString::fromUcs4(U"\U0010FFFF", 1);
}

// The subject number compares without regard to case; the other fields as stored.
bool caselessField(SubjectField f)
{
    return f == SubjectField::CUSTNO;
}

// Rows sampled to tell which side of a row is the shorter to count.
constexpr int kSample = 32;

} // namespace

QString SubjectOrder::expression(SubjectField f) const
{
    const QString c = QLatin1String(subjectFieldColumn(f));
    return caselessField(f) ? m_db.engine().caseless(c) : c;
}

QString SubjectOrder::select() const
{
    return QStringLiteral("SELECT %1, %2 FROM ZUCUST").arg(subjectColumns(), expression(m_field));
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
    const QString c = expression(m_field);
    const QLatin1String beyond(ascending ? ">" : "<");
    if (!anchor) return {{QStringLiteral("1 = 1"), {}, ascending}};
    const qint64 key = anchor->row.MKEY;
    if (anchor->value.isNull()) {
        const QString nulls = QStringLiteral("%1 IS NULL AND MKEY %2 ?").arg(c, beyond);
        if (!ascending) return {{nulls, {key}, false}};
        return {{nulls, {key}, true}, {QStringLiteral("%1 IS NOT NULL").arg(c), {}, true}};
    }
    QVector<Segment> runs = {
        {QStringLiteral("%1 = ? AND MKEY %2 ?").arg(c, beyond), {anchor->value, key}, ascending},
        {QStringLiteral("%1 %2 ?").arg(c, beyond), {anchor->value}, ascending}};
    if (!ascending) runs.append({QStringLiteral("%1 IS NULL").arg(c), {}, false});
    return runs;
}

QVector<OrderedSubject> SubjectOrder::readRows(const QString& sql, const QVariantList& binds)
{
    QVector<OrderedSubject> out;
    SqlRows rows;
    if (!m_db.run(sql, binds, &rows)) return out;
    out.reserve(rows.size());
    for (const SqlRow& r : rows)
        out.append({r.value(r.size() - 1), readSubject(r)});
    return out;
}

QVector<OrderedSubject> SubjectOrder::read(const Segment& s, qint64 skip, int limit)
{
    const Engine& e = m_db.engine();
    return readRows(QStringLiteral("%1 WHERE %2 ORDER BY %3, MKEY%4 LIMIT %5 OFFSET %6")
                        .arg(select(), s.where, e.orderBy(expression(m_field), !s.ascending),
                             QLatin1String(s.ascending ? "" : " DESC"), QString::number(limit),
                             QString::number(skip)),
                    s.binds);
}

qint64 SubjectOrder::countOf(const QString& where, const QVariantList& binds)
{
    SqlRows rows;
    if (m_db.run(QStringLiteral("SELECT COUNT(*) FROM ZUCUST WHERE %1").arg(where), binds, &rows) &&
        !rows.isEmpty())
        return rows.first().value(0).toLongLong();
    return 0;
}

qint64 SubjectOrder::count()
{
    return std::max<qint64>(0, m_db.rowCount(QStringLiteral("ZUCUST")));
}

QVector<OrderedSubject> SubjectOrder::step(const OrderedSubject* anchor, bool forward, qint64 skip, int limit)
{
    QVector<OrderedSubject> rows;
    const QVector<Segment> segments = segmentsFrom(anchor, forward);
    for (int i = 0; i < segments.size() && rows.size() < limit; ++i) {
        const QVector<OrderedSubject> part = read(segments[i], skip, limit - int(rows.size()));
        if (!part.isEmpty())
            skip = 0;
        else if (skip > 0 && i + 1 < segments.size())
            skip = std::max<qint64>(0, skip - countOf(segments[i].where, segments[i].binds));
        rows += part;
    }
    return rows;
}

// The runs before the row, counted in one statement (one round trip on a
// server). A count walks the index entry by entry, so when the number of rows
// is known the runs after the row are counted instead where they are fewer.
// Which side is, a sample of rows spread over the keys tells in the same
// statement (CASE evaluates only the branch it takes).
qint64 SubjectOrder::countBefore(const OrderedSubject& at, qint64 total)
{
    QStringList conditions;
    const auto sum = [&](bool forward, QVariantList* binds) {
        QStringList counts;
        conditions.clear();
        for (const Segment& s : segmentsFrom(&at, forward)) {
            counts << QStringLiteral("(SELECT COUNT(*) FROM ZUCUST WHERE %1)").arg(s.where);
            conditions << QLatin1Char('(') + s.where + QLatin1Char(')');
            *binds += s.binds;
        }
        return counts.join(QStringLiteral(" + "));
    };
    QVariantList binds, afterBinds, beforeBinds;
    const QString after = sum(true, &afterBinds);
    const QString before = sum(false, &beforeBinds);
    QString sql = QStringLiteral("SELECT %1").arg(before);
    if (total > 0) {
        sql = QStringLiteral(
                  "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < %1), "
                  "t AS (SELECT * FROM ZUCUST WHERE MKEY IN (SELECT i * (SELECT MAX(MKEY) FROM ZUCUST) / "
                  "%2 FROM s)) "
                  "SELECT CASE WHEN 2 * (SELECT COUNT(*) FROM t WHERE %3) > (SELECT COUNT(*) FROM t) "
                  "THEN %4 - 1 - (%5) ELSE %6 END")
                  .arg(QString::number(kSample), QString::number(kSample + 1),
                       conditions.join(QStringLiteral(" OR ")), QString::number(total), after, before);
        binds = beforeBinds + afterBinds;
    }
    binds += beforeBinds;
    SqlRows rows;
    if (m_db.run(sql, binds, &rows) && !rows.isEmpty())
        return std::max<qint64>(0, rows.first().value(0).toLongLong());
    return 0;
}

std::optional<OrderedSubject> SubjectOrder::entryOf(qint64 mkey)
{
    const QVector<OrderedSubject> rows = readRows(QStringLiteral("%1 WHERE MKEY = ?").arg(select()), {mkey});
    if (rows.isEmpty()) return std::nullopt;
    return rows.first();
}

// Searching the sort field reads its index from the start of the prefix. For
// another field, a prefix that few rows have is read along that field's index
// and the few matches are ordered; one that many rows have is found soon by
// walking the sort order's index and testing each row. (The server's planner
// makes that choice itself from its statistics.)
std::optional<OrderedSubject> SubjectOrder::firstWithPrefix(SubjectField field, const QString& text)
{
    const Engine& e = m_db.engine();
    const QString s = expression(field);
    const QString value = caselessField(field) ? e.caselessValue() : QStringLiteral("?");
    const QString range = QStringLiteral("%1 >= %2 AND %1 < %2").arg(s, value);
    const QLatin1String dir(m_descending ? " DESC" : "");
    const QString order = e.orderBy(expression(m_field), m_descending);
    const QVariantList binds = {text, prefixEnd(text)};
    auto first = [&](const QString& sql) -> std::optional<OrderedSubject> {
        const QVector<OrderedSubject> rows = readRows(sql, binds);
        if (rows.isEmpty()) return std::nullopt;
        return rows.first();
    };
    if (field == m_field)
        return first(
            QStringLiteral("%1 WHERE %2 ORDER BY %3, MKEY%4 LIMIT 1").arg(select(), range, order, dir));
    SqlRows probe;
    if (!m_db.run(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM ZUCUST WHERE %1 LIMIT %2) AS few")
                      .arg(range, QString::number(kFewMatches + 1)),
                  binds, &probe) ||
        probe.isEmpty())
        return std::nullopt;
    const qint64 matches = probe.first().value(0).toLongLong();
    if (matches == 0) return std::nullopt;
    if (matches > kFewMatches && !e.indexedBy(QLatin1String(indexOf(m_field))).isEmpty()) {
        // Along the order's index, testing each row (the unary plus keeps
        // SQLite from using the search field's index; the column's collation stays).
        const QString walk = QStringLiteral("%1%2 WHERE %3 >= %4 AND %3 < %4 ORDER BY %5, MKEY%6 LIMIT 1")
                                 .arg(select(), e.indexedBy(QLatin1String(indexOf(m_field))), e.unindexed(s),
                                      value, order, dir);
        // A file opened only for reading may lack the index: then the matches are ordered.
        SqlRows rows;
        const Status st = m_db.run(walk, binds, &rows);
        if (st) {
            if (rows.isEmpty()) return std::nullopt;
            return OrderedSubject{rows.first().value(rows.first().size() - 1), readSubject(rows.first())};
        }
    }
    // The few matches along the search field's index, then ordered.
    return first(QStringLiteral("%1 WHERE %2 ORDER BY %3, %4%5 LIMIT 1")
                     .arg(select(), range, e.orderBy(e.unindexed(expression(m_field)), m_descending),
                          e.unindexed(QStringLiteral("MKEY")), dir));
}

} // namespace lumo
