// The filtered subject list. The filter's index finds the matching keys in
// key order; the grid wants them in the sort order. Sorting the matches in
// SQL costs a look-up per match (seconds for the half of a large practice a
// first keystroke finds), and walking the order's index testing each row is
// slow when the matches sit far down the order (a name filter under the name
// order). So the order's keys are read once, along its index; a filter then
// marks its matches by key and reads them off in the order's places: one pass
// over the matches and one over the order's keys, into a bit per place.
#include "records/engine.h"
#include "records/legacysource.h"
#include "records/subjectfilter.h"
#include "records/subjectlist.h"

#include <QSqlQuery>
#include <algorithm>
#include <limits>
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
    m_ranks = {};
    Ranks r;
    r.ordered.reserve(size_t(std::max<qint64>(m_count, 0)));
    int rc;
    bool fits = true;
    while (fits && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        const qint64 key = sqlite3_column_int64(st, 0);
        // Keys are counted up from 1; a file whose keys run far beyond its
        // rows (rows brought in with their own keys) would not fit a bit per key.
        fits = key >= 0 && key <= std::numeric_limits<qint32>::max();
        r.ordered.push_back(qint32(key));
        r.maxKey = std::max(r.maxKey, key);
    }
    sqlite3_finalize(st);
    if (!fits || r.maxKey > qint64(r.ordered.size()) * 8 + 4096)
        return Status::failure(QStringLiteral("subject keys too sparse for the filter"));
    if (rc != SQLITE_DONE) return Status::failure(QString::fromUtf8(sqlite3_errmsg(h)));
    r.ordered.shrink_to_fit();
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
        m_matches = {};
        m_rows.clear();
        m_count = order().count();
        return Status::success();
    }
    return applyFilter();
}

namespace {

// The places in the order whose keys are marked: one pass over the order,
// a word of 64 places at a time, with the matches before each word.
void placesOf(const std::vector<qint32>& ordered, const KeyMarks& marks, std::vector<quint64>* bits,
              std::vector<int>* before, int* count)
{
    const size_t n = ordered.size();
    bits->assign((n + 63) / 64, 0);
    before->assign(bits->size(), 0);
    int total = 0;
    for (size_t w = 0; w < bits->size(); ++w) {
        quint64 word = 0;
        const size_t end = std::min(n, w * 64 + 64);
        for (size_t r = w * 64; r < end; ++r)
            word |= quint64(marks.has(ordered[r])) << (r % 64);
        (*bits)[w] = word;
        (*before)[w] = total;
        total += __builtin_popcountll(word);
    }
    *count = total;
}

} // namespace

Status SubjectList::applyFilter()
{
    m_matches = {};
    m_rows.clear();
    if (m_db.onServer()) return applyServerFilter();
    if (Status s = prepareFilter(); !s) return s;
    // The index hands the matches over in key order: marked by key first,
    // then read off in the order's places.
    KeyMarks found(m_ranks.maxKey);
    QString error;
    if (!subjectsMatching(m_db, m_filter, &found, &error)) return Status::failure(error);
    placesOf(m_ranks.ordered, found, &m_matches.bits, &m_matches.before, &m_matches.count);
    return Status::success();
}

qint64 SubjectList::filteredKey(int position) const
{
    if (position < 0 || position >= m_matches.count) return 0;
    if (m_matches.bits.empty()) return m_matches.keys[size_t(position)];
    const std::vector<int>& before = m_matches.before;
    const size_t w = size_t(std::upper_bound(before.begin(), before.end(), position) - before.begin()) - 1;
    quint64 word = m_matches.bits[w];
    for (int skip = position - before[w]; skip > 0; --skip)
        word &= word - 1;
    return m_ranks.ordered[w * 64 + size_t(__builtin_ctzll(word))];
}

// The position in the filtered list of a place in the order; -1 when that
// subject is not in it.
int SubjectList::positionOfRank(int rank) const
{
    const size_t w = size_t(rank) / 64;
    if (rank < 0 || w >= m_matches.bits.size()) return -1;
    const quint64 bit = quint64(1) << (rank % 64);
    if (!(m_matches.bits[w] & bit)) return -1;
    return m_matches.before[w] + __builtin_popcountll(m_matches.bits[w] & (bit - 1));
}

void SubjectList::forgetMatch(qint64 mkey)
{
    if (m_matches.bits.empty()) {
        const auto gone = std::find(m_matches.keys.begin(), m_matches.keys.end(), mkey);
        if (gone == m_matches.keys.end()) return;
        m_matches.keys.erase(gone);
        --m_matches.count;
        return;
    }
    const auto at = std::find(m_ranks.ordered.begin(), m_ranks.ordered.end(), mkey);
    const int rank = int(at - m_ranks.ordered.begin());
    if (at == m_ranks.ordered.end() || positionOfRank(rank) < 0) return;
    m_matches.bits[size_t(rank) / 64] &= ~(quint64(1) << (rank % 64));
    for (size_t w = size_t(rank) / 64 + 1; w < m_matches.before.size(); ++w)
        --m_matches.before[w];
    --m_matches.count;
}

SubjectRow SubjectList::filteredRow(int position)
{
    if (position < 0 || position >= m_matches.count) return {};
    const qint64 key = filteredKey(position);
    if (const auto it = m_rows.constFind(key); it != m_rows.constEnd()) return *it;
    // The page around the position, in one query by key.
    const int first = std::max(0, position - kPage / 4);
    const int end = std::min(m_matches.count, first + kPage);
    QStringList keys;
    for (int i = first; i < end; ++i)
        keys << QString::number(filteredKey(i));
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
    if (m_matches.bits.empty()) {
        const auto it = std::find(m_matches.keys.begin(), m_matches.keys.end(), mkey);
        return it == m_matches.keys.end() ? -1 : int(it - m_matches.keys.begin());
    }
    const auto at = std::find(m_ranks.ordered.begin(), m_ranks.ordered.end(), mkey);
    return at == m_ranks.ordered.end() ? -1 : positionOfRank(int(at - m_ranks.ordered.begin()));
}

// The first subject of the filtered list, in its order, whose field begins
// with the text: the rows with the prefix are marked by key, and the list is
// walked in order to the first of them.
int SubjectList::filteredPrefix(SubjectField field, const QString& text)
{
    if (!ranksCurrent() && !applyFilter()) return -1;
    if (m_matches.count == 0) return -1;
    if (m_db.onServer()) return serverPrefix(field, text);
    const QLatin1String c(subjectFieldColumn(field));
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT MKEY FROM ZUCUST WHERE %1 >= ? AND %1 < ?").arg(c));
    q.addBindValue(text);
    q.addBindValue(text + QString::fromUcs4(U"\U0010FFFF", 1));
    if (!q.exec()) return -1;
    KeyMarks prefixed(m_ranks.maxKey);
    bool any = false;
    for (; q.next(); any = true)
        prefixed.mark(q.value(0).toLongLong());
    if (!any) return -1;
    for (size_t w = 0; w < m_matches.bits.size(); ++w)
        for (quint64 b = m_matches.bits[w]; b; b &= b - 1) {
            const size_t r = w * 64 + size_t(__builtin_ctzll(b));
            if (prefixed.has(m_ranks.ordered[r])) return positionOfRank(int(r));
        }
    return -1;
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
    while (rows->next(&row))
        m_matches.keys.push_back(row.value(0).toLongLong());
    m_matches.count = int(m_matches.keys.size());
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
