#pragma once
// The DETAIL of a change in the audit log: the fields that changed, each with
// its old and new value, so a record can be told from what it was.

#include <QString>

namespace lumo {

struct SubjectRow;
struct MeasurementRow;

// "NAME: 王小明 → 王大明; TEL: 0912 → 0922"; empty when nothing changed.
QString subjectChanges(const SubjectRow& before, const SubjectRow& after);
QString measurementChanges(const MeasurementRow& before, const MeasurementRow& after);

} // namespace lumo
