#include "records/subjectlist.h"

#include <algorithm>

namespace lumo {
namespace {

constexpr int kPage = 100;         // rows read at a time: a few screens of the grid
constexpr int kWindowLimit = 2000; // rows held at most

} // namespace

Status SubjectList::sort(SubjectField field, bool descending)
{
    m_field = field;
    m_descending = descending;
    return reload();
}

Status SubjectList::reload()
{
    m_window.clear();
    m_first = 0;
    m_count = order().count();
    return m_filter.isEmpty() ? Status::success() : applyFilter();
}

SubjectRow SubjectList::rowAt(int position)
{
    if (!m_filter.isEmpty()) return filteredRow(position);
    if (!ensure(position)) return {};
    return m_window.at(int(position - m_first)).row;
}

qint64 SubjectList::keyAt(int position)
{
    return rowAt(position).MKEY;
}

// Reads the rows around a position: from the window's edge when the position
// is just beyond it (the grid scrolling), else from whichever known row lies
// nearest, the first, the last or the window's.
bool SubjectList::ensure(int position)
{
    if (position < 0 || position >= m_count) return false;
    const qint64 end = m_first + m_window.size();
    if (!m_window.isEmpty() && position >= m_first && position < end) return true;
    if (!m_window.isEmpty() && position >= end && position < end + kPage) {
        m_window += order().step(&m_window.last(), true, 0, int(position - end) + kPage);
    } else if (!m_window.isEmpty() && position < m_first && position >= m_first - kPage) {
        const int want = int(std::min<qint64>(m_first, m_first - position + kPage));
        QVector<OrderedSubject> before = order().step(&m_window.first(), false, 0, want);
        std::reverse(before.begin(), before.end());
        m_first -= before.size();
        m_window = before + m_window;
    } else {
        const qint64 first = std::max<qint64>(0, position - kPage / 4);
        jumpTo(int(first), int(std::min<qint64>(kPage, m_count - first)));
    }
    trim(position);
    return position >= m_first && position < m_first + m_window.size();
}

void SubjectList::jumpTo(int first, int length)
{
    struct Start
    {
        const OrderedSubject* anchor;
        bool forward;
        qint64 skip;
    };
    QVector<Start> starts = {{nullptr, true, first}, {nullptr, false, m_count - (first + length)}};
    const qint64 end = m_first + m_window.size();
    if (!m_window.isEmpty() && first >= end) starts.append({&m_window.last(), true, first - end});
    if (!m_window.isEmpty() && first + length <= m_first)
        starts.append({&m_window.first(), false, m_first - (first + length)});
    const Start s = *std::min_element(starts.begin(), starts.end(),
                                      [](const Start& a, const Start& b) { return a.skip < b.skip; });
    QVector<OrderedSubject> rows = order().step(s.anchor, s.forward, std::max<qint64>(0, s.skip), length);
    if (!s.forward) std::reverse(rows.begin(), rows.end());
    m_first = s.forward ? first : first + length - rows.size();
    m_window = std::move(rows);
}

// Keeps the window around the position the grid last asked for.
void SubjectList::trim(int position)
{
    if (m_window.size() <= kWindowLimit) return;
    const qint64 keepFirst = std::max<qint64>(m_first, position - kWindowLimit / 2);
    const qint64 keepEnd = std::min<qint64>(m_first + m_window.size(), keepFirst + kWindowLimit);
    m_window = m_window.mid(int(keepFirst - m_first), int(keepEnd - keepFirst));
    m_first = keepFirst;
}

int SubjectList::positionOf(qint64 mkey)
{
    if (!m_filter.isEmpty()) return filteredPosition(mkey);
    for (int i = 0; i < m_window.size(); ++i)
        if (m_window.at(i).row.MKEY == mkey) return int(m_first + i);
    const std::optional<OrderedSubject> at = order().entryOf(mkey);
    if (!at) return -1;
    return placeAt(*at);
}

// The row becomes the window, so the rows around it are read from it.
int SubjectList::placeAt(const OrderedSubject& at)
{
    for (int i = 0; i < m_window.size(); ++i)
        if (m_window.at(i).row.MKEY == at.row.MKEY) return int(m_first + i);
    const qint64 position = order().countBefore(at, m_count);
    m_window = {at};
    m_first = position;
    return int(position);
}

int SubjectList::findPrefix(SubjectField field, const QString& text)
{
    if (m_count == 0) return -1;
    if (text.isEmpty()) return 0;
    if (!m_filter.isEmpty()) return filteredPrefix(field, text);
    const std::optional<OrderedSubject> found = order().firstWithPrefix(field, text);
    if (!found) return -1;
    return placeAt(*found); // read whole already: not read again
}

Status SubjectList::removeWithMeasurements(qint64 mkey)
{
    const Status st = SubjectStore(m_db).removeWithMeasurements(mkey);
    if (!st) return st;
    if (!m_filter.isEmpty()) {
        m_count = std::max<qint64>(0, m_count - 1);
        forgetMatch(mkey);
        m_rows.remove(mkey);
        return st;
    }
    const auto at = std::find_if(m_window.begin(), m_window.end(),
                                 [mkey](const OrderedSubject& s) { return s.row.MKEY == mkey; });
    // A row of the window (the grid's current one) was there to delete: the
    // rows after it move up one place and the count loses one, whatever other
    // workstations did meanwhile (the next reload counts theirs). Otherwise
    // neither where the window starts nor whether a row went is known.
    if (at != m_window.end()) {
        m_window.erase(at);
        m_count = std::max<qint64>(0, m_count - 1);
    } else {
        m_window.clear();
        m_count = order().count();
    }
    return st;
}

void SubjectList::noteAppended()
{
    ++m_count;
    m_window.clear();
    if (!m_filter.isEmpty()) applyFilter();
}

} // namespace lumo
