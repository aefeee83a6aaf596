// The filtered subject list. The filter's index finds the matching keys in
// key order; the grid wants them in the sort order. Sorting the matches in
// SQL costs a look-up per match (seconds for the half of a large practice a
// first keystroke finds), and walking the order's index testing each row is
// slow when the matches sit far down the order (a name filter under the name
// order). So the order's keys are read once, along its index, with each
// key's place; a filter then marks its matches' places and reads them off in
// order: one pass over the matches and one over a bit per subject.
#include "records/engine.h"
#include "records/legacysource.h"
#include "records/subjectfilter.h"
#include "records/subjectlist.h"

#include <QSqlQuery>
#include <algorithm>
#include <sqlite3.h>

namespace lumo {
namespace {

constexpr int kPage = 100; // rows read at a time, as the unfiltered window does

qint64 dataVersion(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA data_version")) && q.next() ? q.value(0).toLongLong() : -1;
}

} // namespace

// The kept keys stay right while no connection changed the table: another
// one's commit moves the data version, this one's changes its total.
bool SubjectList::ranksCurrent()
{
    sqlite3* h = m_db.handle();
    return h && m_ranks.version >= 0 && m_ranks.version == dataVersion(m_db.sql()) &&
           m_ranks.changes == sqlite3_total_changes64(h);
}

Status SubjectList::prepareFilter()
{
    if (ranksCurrent()) return Status::success();
    sqlite3* h = m_db.handle();
    if (!h) return Status::failure(QStringLiteral("no connection"));
    const char* c = subjectFieldColumn(m_field);
    const char* dir = m_descending ? " DESC" : "";
    const QByteArray sql = QByteArray("SELECT MKEY FROM ZUCUST ORDER BY ") + c + dir + ", MKEY" + dir;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        return Status::failure(QString::fromUtf8(sqlite3_errmsg(h)));
    Ranks r;
    r.ordered.reserve(size_t(std::max<qint64>(m_count, 0)));
    qint64 maxKey = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        r.ordered.push_back(sqlite3_column_int64(st, 0));
        maxKey = std::max(maxKey, r.ordered.back());
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return Status::failure(QString::fromUtf8(sqlite3_errmsg(h)));
    // Keys are counted up from 1; a file whose keys run far beyond its rows
    // (rows brought in with their own keys) would not fit an array by key.
    if (maxKey > qint64(r.ordered.size()) * 8 + 4096)
        return Status::failure(QStringLiteral("subject keys too sparse for the filter"));
    r.rankByKey.assign(size_t(maxKey + 1), -1);
    for (size_t i = 0; i < r.ordered.size(); ++i)
        r.rankByKey[size_t(r.ordered[i])] = int(i);
    r.version = dataVersion(m_db.sql());
    r.changes = sqlite3_total_changes64(h);
    m_ranks = std::move(r);
    return Status::success();
}

Status SubjectList::setFilter(const QString& text)
{
    m_filter = text.trimmed();
    m_window.clear();
    m_first = 0;
    if (m_filter.isEmpty()) {
        m_keys.clear();
        m_keyRanks.clear();
        m_rows.clear();
        m_count = order().count();
        return Status::success();
    }
    return applyFilter();
}

Status SubjectList::applyFilter()
{
    m_keys.clear();
    m_keyRanks.clear();
    m_rows.clear();
    if (m_db.onServer()) return applyServerFilter();
    if (Status s = prepareFilter(); !s) return s;
    const size_t n = m_ranks.ordered.size();
    std::vector<quint64> bits((n + 63) / 64, 0);
    size_t matches = 0;
    const std::vector<int>& rankByKey = m_ranks.rankByKey;
    const auto mark = [&](qint64 k) {
        if (k < 0 || size_t(k) >= rankByKey.size()) return;
        const int r = rankByKey[size_t(k)];
        if (r < 0) return;
        bits[size_t(r) / 64] |= quint64(1) << (r % 64);
        ++matches;
    };
    QString error;
    if (!subjectsMatching(m_db, m_filter, mark, &error)) return Status::failure(error);
    m_keys.reserve(matches);
    m_keyRanks.reserve(matches);
    for (size_t w = 0; w < bits.size(); ++w)
        for (quint64 b = bits[w]; b; b &= b - 1) {
            const int r = int(w * 64 + size_t(__builtin_ctzll(b)));
            m_keyRanks.push_back(r);
            m_keys.push_back(m_ranks.ordered[size_t(r)]);
        }
    return Status::success();
}

SubjectRow SubjectList::filteredRow(int position)
{
    if (position < 0 || size_t(position) >= m_keys.size()) return {};
    const qint64 key = m_keys[size_t(position)];
    if (const auto it = m_rows.constFind(key); it != m_rows.constEnd()) return *it;
    // The page around the position, in one query by key.
    const size_t first = size_t(std::max(0, position - kPage / 4));
    const size_t end = std::min(m_keys.size(), first + kPage);
    QStringList keys;
    for (size_t i = first; i < end; ++i)
        keys << QString::number(m_keys[i]);
    m_rows.clear();
    SqlRows rows;
    if (!m_db.run(QStringLiteral("SELECT %1 FROM ZUCUST WHERE MKEY IN (%2)")
                      .arg(subjectColumns(), keys.join(QLatin1Char(','))),
                  {}, &rows))
        return {};
    for (const SqlRow& row : rows) {
        const SubjectRow r = readSubject(row);
        m_rows.insert(r.MKEY, r);
    }
    return m_rows.value(key);
}

int SubjectList::filteredPosition(qint64 mkey)
{
    const auto it = std::find(m_keys.begin(), m_keys.end(), mkey);
    return it == m_keys.end() ? -1 : int(it - m_keys.begin());
}

// The first subject of the filtered list, in its order, whose field begins
// with the text: the rows with the prefix are looked up in the list by their
// place in the whole order.
int SubjectList::filteredPrefix(SubjectField field, const QString& text)
{
    if (!ranksCurrent() && !applyFilter()) return -1;
    if (m_keys.empty()) return -1;
    if (m_db.onServer()) return serverPrefix(field, text);
    const QLatin1String c(subjectFieldColumn(field));
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT MKEY FROM ZUCUST WHERE %1 >= ? AND %1 < ?").arg(c));
    q.addBindValue(text);
    q.addBindValue(text + QString::fromUcs4(U"\U0010FFFF", 1));
    if (!q.exec()) return -1;
    int best = -1;
    while (q.next()) {
        const qint64 k = q.value(0).toLongLong();
        if (k < 0 || size_t(k) >= m_ranks.rankByKey.size()) continue;
        const int r = m_ranks.rankByKey[size_t(k)];
        const auto at = std::lower_bound(m_keyRanks.begin(), m_keyRanks.end(), r);
        if (r < 0 || at == m_keyRanks.end() || *at != r) continue;
        const int position = int(at - m_keyRanks.begin());
        if (best < 0 || position < best) best = position;
    }
    return best;
}

namespace {

QString orderedExpression(Database& db, SubjectField field)
{
    const QString c = QLatin1String(subjectFieldColumn(field));
    return field == SubjectField::CUSTNO ? db.engine().caseless(c) : c;
}

} // namespace

Status SubjectList::applyServerFilter()
{
    const Engine& e = m_db.engine();
    QVariantList binds;
    const QString where = serverFilterCondition(m_db, m_filter, &binds);
    const QString sql = QStringLiteral("SELECT MKEY FROM ZUCUST WHERE %1 ORDER BY %2, %3")
                            .arg(where, e.orderBy(orderedExpression(m_db, m_field), m_descending),
                                 e.orderBy(QStringLiteral("MKEY"), m_descending));
    Status st;
    auto rows = m_db.engine().cursor(sql, binds, &st);
    if (!rows) return st;
    LegacyRow row;
    while (rows->next(&row)) {
        m_keyRanks.push_back(int(m_keys.size()));
        m_keys.push_back(row.value(0).toLongLong());
    }
    return rows->error();
}

int SubjectList::serverPrefix(SubjectField field, const QString& text)
{
    const Engine& e = m_db.engine();
    QVariantList binds;
    const QString where = serverFilterCondition(m_db, m_filter, &binds);
    const QString c = orderedExpression(m_db, field);
    const QString value = field == SubjectField::CUSTNO ? e.caselessValue() : QStringLiteral("?");
    binds << text << text + QString::fromUcs4(U"\U0010FFFF", 1);
    SqlRows rows;
    if (!m_db.run(QStringLiteral("SELECT MKEY FROM ZUCUST WHERE %1 AND %2 >= %3 AND %2 < %3 ORDER BY %4, %5 "
                                 "LIMIT 1")
                      .arg(where, c, value, e.orderBy(orderedExpression(m_db, m_field), m_descending),
                           e.orderBy(QStringLiteral("MKEY"), m_descending)),
                  binds, &rows) ||
        rows.isEmpty())
        return -1;
    return filteredPosition(rows.first().value(0).toLongLong());
}

} // namespace lumo
