#include "records/rows.h"

#include "base/formats.h"
#include "measurement/catalogue.h"
#include "records/schema.h"

namespace lumo {

QString KnowledgeRow::text(const QString& field) const
{
    int i = int(knowledgeTextFields().indexOf(field));
    return i < 0 ? QString() : texts[size_t(i)];
}

QString Sex_S(const SubjectRow& r) { return QString::fromUtf8(r.SEX ? "男" : "女"); }

QString DBIRTH_C(const SubjectRow& r) { return isNoBirthDate(r.DBIRTH) ? QString() : shortDateOfDay(r.DBIRTH); }

QString ZUAGE(const SubjectRow& r, const QDate& today)
{
    return isNoBirthDate(r.DBIRTH) ? QString() : fmt("%3d", ageInYears(r.DBIRTH, today));
}

QString ZUDATE_C(const MeasurementRow& r) { return shortDateOfDay(r.ZUDATE); }
QString ZUDATE_T(const MeasurementRow& r) { return longTimeOfDay(r.ZUDATE); }
QString ZUVOTA_C(const MeasurementRow& r) { return QString::fromUtf8(r.ZUVOTA ? "高電位" : "標準"); }
QString ProFlgC(const ConditionRow& r) { return r.ProFlg ? QStringLiteral("X") : QString(); }

QString measurementValueText(double v)
{
    // A stored value no reading can have (1e308 would fill the cell with 309 digits).
    if (!isValidReading(v)) return QStringLiteral("---");
    return v == 0 ? QString() : QString::number(v, 'f', 1);
}

} // namespace lumo
