#pragma once
// Subjects (ZUCUST): single-row operations and the ordered list the grids show.

#include "records/database.h"
#include "records/rows.h"

#include <optional>

namespace lumo {

// The sort fields of the subject lists, numbered as SubjectSortField counts them (1..9).
enum class SubjectField
{
    CUSTNO = 1,
    NAME,
    SEX,
    DBIRTH,
    TEL,
    ADDR,
    EMAIL,
    TEL2,
    TEL3
};
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
    Status append(SubjectRow& row); // sets row.MKEY and row.ROWVER
    // Appends a subject whose number no subject holds, checked and added in
    // one transaction that waits for every other one adding numbers (an
    // import, an editor on another workstation) to commit first. A number
    // taken meanwhile is refused and *holder is the subject that holds it.
    Status appendNew(SubjectRow& row, std::optional<SubjectRow>* holder);
    // CUSTNO is never written. Refused with rowConflictMessage() when the row
    // changed since row.ROWVER was read; on success row.ROWVER is the new version.
    Status update(SubjectRow& row);
    // Deletes the subject and every measurement with its number, as one change.
    Status removeWithMeasurements(qint64 mkey);
    qint64 count();

private:
    Database& m_db;
};

// Reads a row of a query selecting subjectColumns() (from its first column on).
SubjectRow readSubject(const SqlRow& row);
QString subjectColumns();

} // namespace lumo
