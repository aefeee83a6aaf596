#pragma once
// Subjects (ZUCUST): single-row operations and the ordered list the grids show.

#include "records/database.h"
#include "records/rows.h"

#include <QHash>
#include <QVector>
#include <optional>

namespace lumo {

// The sort fields of the subject lists, numbered as SubjectSortField counts them (1..9).
enum class SubjectField { CUSTNO = 1, NAME, SEX, DBIRTH, TEL, ADDR, EMAIL, TEL2, TEL3 };
const char* subjectFieldColumn(SubjectField f);
// The field of a SubjectSortField value (its absolute value; out of range gives CUSTNO).
SubjectField subjectFieldOfSort(int sortField);

class SubjectStore
{
public:
    explicit SubjectStore(Database& db) : m_db(db) {}

    std::optional<SubjectRow> get(qint64 mkey);
    // Whole-value match without regard to case; the first in key order.
    std::optional<SubjectRow> findByCustNo(const QString& custNo);
    Status append(SubjectRow& row); // sets row.MKEY
    Status update(const SubjectRow& row); // CUSTNO is never written
    // Deletes the subject and every measurement with its number, as one change.
    Status removeWithMeasurements(qint64 mkey);
    qint64 count();

private:
    Database& m_db;
};

// The subjects in one sort order. Only the keys are held; rows are fetched in
// pages as the grid asks for them, so a practice of 100,000 subjects opens fast.
class SubjectList
{
public:
    explicit SubjectList(Database& db) : m_db(db) {}

    // field and direction of the order; reloads the keys.
    Status sort(SubjectField field, bool descending);
    Status reload();
    SubjectField field() const { return m_field; }
    bool descending() const { return m_descending; }

    int size() const { return int(m_keys.size()); }
    qint64 keyAt(int position) const { return m_keys.value(position); }
    int positionOf(qint64 mkey) const { return m_positions.value(mkey, -1); }
    // The row at a position (0-based); empty row when out of range.
    SubjectRow rowAt(int position);

    // Position of the first subject, in the current order, whose field begins
    // with the text (CUSTNO without regard to case); -1 when none does.
    int findPrefix(SubjectField field, const QString& text);

    void invalidateRows() { m_cache.clear(); }

private:
    void fetchPage(int position);
    Database& m_db;
    SubjectField m_field = SubjectField::CUSTNO;
    bool m_descending = false;
    QVector<qint64> m_keys;
    QHash<qint64, int> m_positions;
    QHash<qint64, SubjectRow> m_cache;
};

// Reads the current row of a query selecting subjectColumns().
SubjectRow readSubject(const class QSqlQuery& q);
QString subjectColumns();

} // namespace lumo
