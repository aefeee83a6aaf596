#pragma once
// The DETAIL of a change in the audit log: the fields that changed, each with
// its old and new value, so a record can be told from what it was.

#include <QString>
#include <QStringList>
#include <QVector>

namespace lumo {

struct SubjectRow;
struct MeasurementRow;
struct Configuration;
struct ProgramRow;
struct ConditionRow;

// The fields that changed, in the order added; long values are cut.
class ChangeDetail
{
public:
    void add(const char* field, const QString& before, const QString& after);
    void add(const char* field, double before, double after);
    QString text() const { return m_parts.join(QStringLiteral("; ")); }

private:
    QStringList m_parts;
};

// "NAME: 王小明 → 王大明; TEL: 0912 → 0922"; empty when nothing changed.
QString subjectChanges(const SubjectRow& before, const SubjectRow& after);
QString measurementChanges(const MeasurementRow& before, const MeasurementRow& after);
// What went with a deleted subject: "NAME: 王小明; 檢測資料 2 筆 (MKEY 12, 15)",
// so the row still says whose records they were once they are gone.
QString subjectDeletion(const SubjectRow& subject, const QVector<MeasurementRow>& measurements);
// A program's stored fields (its picture by size and a digest) and a condition's.
QString programChanges(const ProgramRow& before, const ProgramRow& after);
QString conditionChanges(const ConditionRow& before, const ConditionRow& after);
// The user settings screen's fields: the four user texts and the six program
// rows (ToolFlags as ticked boxes, so that an unset flag string is no change).
QString userSettingsChanges(const Configuration& before, const Configuration& after);

} // namespace lumo
