#pragma once
// The side tables of a measurement (ZUQUAL, ZUCOND), kept beside its ZUDATA
// row and keyed by that row's MKEY. ZUDATA itself is never changed by them:
// older programs and files read the measurement as they always did.

#include "measurement/catalogue.h"
#include "records/database.h"
#include "records/rows.h"

#include <QHash>
#include <QVector>

namespace lumo {

struct MeasurementExtras
{
    MeasurementQuality quality;
    MeasurementConditions conditions;
    bool hasQuality = false;
    bool hasConditions = false;
};

// Writes (replacing) the side rows of one measurement; inside the caller's
// transaction. Nothing is written for what is empty.
Status writeMeasurementExtras(Database& db, qint64 dataKey, const MeasurementQuality& quality,
                              const MeasurementConditions& conditions);
// Reads them; a file of an earlier version without the tables, or a damaged
// blob, reads as none.
MeasurementExtras readMeasurementExtras(Database& db, qint64 dataKey);
// The side rows of many measurements at once (the comparisons, research files).
QHash<qint64, MeasurementExtras> readMeasurementExtras(Database& db, const QVector<qint64>& dataKeys);
// Removes the side rows of measurements that are gone.
Status removeMeasurementExtras(Database& db, const QVector<qint64>& dataKeys);

// The repeat session a new measurement of subject `custNo` at potential
// `high`, taken at `takenAt`, repeats when it is taken as a repeat of the
// measurement `mkey`: that measurement's session (its own key when it is a
// session's first). 0, with the reason, when `mkey` is not there, is another
// subject's, was taken at the other potential, or not within the 30 minutes before.
qint64 repeatSessionKey(Database& db, qint64 mkey, const QString& custNo, bool high, double takenAt,
                        QString* why = nullptr);

// Appends the measurement of an EnergySet under a subject with its quality and
// conditions, all in one transaction; row.MKEY is set on success.
Status appendMeasurementWithExtras(Database& db, MeasurementRow& row, const EnergySet& energy);

// A loaded measurement's quality and conditions into the shared EnergySet.
void loadMeasurementExtras(Database& db, qint64 dataKey, EnergySet& energy);

} // namespace lumo
