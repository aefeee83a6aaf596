#pragma once
// Measurements (ZUDATA).

#include "records/database.h"
#include "records/rows.h"

#include <QVector>
#include <optional>

namespace lumo {

class MeasurementStore
{
public:
    explicit MeasurementStore(Database& db) : m_db(db) {}

    std::optional<MeasurementRow> get(qint64 mkey);
    // The subject's measurements in the listed order (ZUDT1: by date, then key).
    QVector<MeasurementRow> listForSubject(const QString& custNo);
    qint64 countForSubject(const QString& custNo);
    qint64 countAll();

    Status append(MeasurementRow& row); // sets row.MKEY
    Status update(const MeasurementRow& row); // ZUDATE, ZUVOTA, MEMO1, ZU1..ZU24
    Status updateMemo(qint64 mkey, const QString& memo, bool* found = nullptr);
    Status remove(qint64 mkey);

private:
    Database& m_db;
};

QString measurementColumns();
MeasurementRow readMeasurement(const class QSqlQuery& q);

} // namespace lumo
