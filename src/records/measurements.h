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

    Status append(MeasurementRow& row); // sets row.MKEY and row.ROWVER
    // ZUDATE, ZUVOTA, MEMO1, ZU1..ZU24. Refused with rowConflictMessage() when
    // the row changed since row.ROWVER was read; on success row.ROWVER is the new version.
    Status update(MeasurementRow& row);
    // MEMO1 of the row whose version is *rowVersion (the analysis screen's
    // treatment record): refused with rowConflictMessage() when another
    // workstation changed the row meanwhile, *rowVersion raised on success.
    // A row that is gone is no conflict: *found tells it and nothing is written.
    Status updateMemo(qint64 mkey, const QString& memo, qint64* rowVersion, bool* found = nullptr);
    Status remove(qint64 mkey);

private:
    Database& m_db;
};

QString measurementColumns();
MeasurementRow readMeasurement(const SqlRow& row);

} // namespace lumo
