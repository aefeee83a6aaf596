#pragma once
// The subjects in one sort order as the grids show them: a window onto the
// ordered table. Only the rows around the ones asked for are held, read along
// the order's index from the nearest row already known; the number of rows is
// counted when the list is sorted or reloaded and kept by the list's own
// deletions, so opening, sorting, searching and deleting cost the same at any
// size of practice.

#include "records/subjectorder.h"

#include <QHash>
#include <vector>

namespace lumo {

class SubjectList
{
public:
    explicit SubjectList(Database& db) : m_db(db) {}

    // field and direction of the order; counts the rows again.
    Status sort(SubjectField field, bool descending);
    // After a change of the table (by this program or another workstation).
    Status reload();
    SubjectField field() const { return m_field; }
    bool descending() const { return m_descending; }

    int size() const { return m_filter.isEmpty() ? int(m_count) : m_matches.count; }

    // Narrows the list to the subjects whose number, name or a telephone
    // contains the text (subjectfilter.h), in the current order; an empty
    // text shows every subject again. Sorting and reloading keep the filter.
    Status setFilter(const QString& text);
    const QString& filter() const { return m_filter; }
    // Reads the current order's keys ahead of the first filter keystroke;
    // they are kept until the table or the order changes.
    Status prepareFilter();
    // The key at a position (0-based); 0 when out of range.
    qint64 keyAt(int position);
    // Counted along the order's index; -1 when the subject is gone.
    int positionOf(qint64 mkey);
    // The row at a position; empty row when out of range.
    SubjectRow rowAt(int position);

    // Position of the first subject, in the current order, whose field begins
    // with the text (CUSTNO without regard to case); -1 when none does.
    int findPrefix(SubjectField field, const QString& text);

    // Deletes the subject with its measurements and takes it out of the list.
    Status removeWithMeasurements(qint64 mkey);
    // A subject this program added: the list counts it and reads its rows again.
    void noteAppended();

    void invalidateRows() { m_window.clear(); }

private:
    bool ensure(int position);
    int placeAt(const OrderedSubject& at);
    void jumpTo(int first, int length);
    void trim(int position);
    SubjectOrder order() { return SubjectOrder(m_db, m_field, m_descending); }
    // The filtered list: its keys in order, their places in the whole order,
    // and the rows read around the last one asked for (subjectlistfilter.cpp).
    Status applyFilter();
    // On the server the matches come in the order from one query; the
    // order's keys are not read ahead.
    Status applyServerFilter();
    int serverPrefix(SubjectField field, const QString& text);
    bool ranksCurrent();
    SubjectRow filteredRow(int position);
    int filteredPosition(qint64 mkey);
    int filteredPrefix(SubjectField field, const QString& text);
    qint64 filteredKey(int position) const;
    int positionOfRank(int rank) const;
    void forgetMatch(qint64 mkey);
    QString m_filter;
    // The filtered list. On a file, a bit per place in the order with the
    // number of matches before each word of them: at 1,000,000 subjects 0.2 MB
    // however many match. On the server, the matching keys as its query
    // ordered them.
    struct Matches
    {
        std::vector<quint64> bits;
        std::vector<int> before;
        std::vector<qint64> keys;
        int count = 0;
    } m_matches;
    QHash<qint64, SubjectRow> m_rows;
    // Every key of the order, read once: 4 bytes a subject (keys are counted
    // up from 1 and checked to fit).
    struct Ranks
    {
        std::vector<qint32> ordered;
        qint64 maxKey = 0, version = -1, changes = -1;
    } m_ranks;

    Database& m_db;
    SubjectField m_field = SubjectField::CUSTNO;
    bool m_descending = false;
    qint64 m_count = 0;
    // A run of consecutive positions of the order, starting at m_first.
    qint64 m_first = 0;
    QVector<OrderedSubject> m_window;
};

} // namespace lumo
