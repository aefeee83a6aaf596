#pragma once
// The subjects in one sort order as the grids show them: a window onto the
// ordered table. Only the rows around the ones asked for are held, read along
// the order's index from the nearest row already known; the number of rows is
// counted when the list is sorted or reloaded and kept by the list's own
// deletions, so opening, sorting, searching and deleting cost the same at any
// size of practice.

#include "records/subjectorder.h"

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

    int size() const { return int(m_count); }
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

    Database& m_db;
    SubjectField m_field = SubjectField::CUSTNO;
    bool m_descending = false;
    qint64 m_count = 0;
    // A run of consecutive positions of the order, starting at m_first.
    qint64 m_first = 0;
    QVector<OrderedSubject> m_window;
};

} // namespace lumo
