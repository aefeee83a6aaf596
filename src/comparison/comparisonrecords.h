#pragma once
// The measurements the comparisons draw: the second record of the two-record
// comparison and the picked set of the multi-record comparison, with the rules
// of picking (the limit of six, no measurement twice, removal with renumbering).

#include "measurement/catalogue.h"
#include "records/rows.h"

#include <QVector>
#include <array>

namespace lumo {

struct SharedState;

// The plain mean of 24 values.
double meanOf(const std::array<double, 24>& values);

// The second record of the two-record comparison, filled by the record browser
// in comparison mode. It outlives the screen for the rest of the run.
struct ComparisonRecord
{
    qint64 MKEY = 0;
    QString CUSTNO;
    QString NAME;
    double ZUDATE = 0;
    bool ZUVOTA = false;
    double StoredMean = 0;           // of the 24 stored values, before compensation
    std::array<double, 24> Values{}; // the stored values compensated
    std::array<double, 24> Stored{}; // as stored (what the reading grades belong to)
};

ComparisonRecord comparisonRecordOf(const SubjectRow& subject, const MeasurementRow& row,
                                    const CompensationTable& table);

// One entry of the multi-record comparison.
struct PickedRecord
{
    qint64 MKEY = 0;
    QString CUSTNO;
    QString NAME;
    double ZUDATE = 0;
    bool ZUVOTA = false;
    std::array<double, 24> Values{}; // the stored values compensated
    double BodyEnergy = 0;           // the mean of the compensated values
    std::array<double, 24> Stored{}; // as stored (what the reading grades belong to)
};

PickedRecord pickedRecordOf(const SubjectRow& subject, const MeasurementRow& row,
                            const CompensationTable& table);

constexpr int MaxPickedRecords = 6;

// What tells two picked measurements apart: the subject number followed by the
// date and time as the program writes them. Two rows within the same second of
// one subject count as the same measurement.
QString pickIdentity(const QString& custNo, double takenAt);

enum class PickOutcome
{
    Added,
    Full,
    Duplicate
};
// Appends the entry unless six are held or the same measurement is; the set is
// unchanged when it refuses.
PickOutcome addPicked(QVector<PickedRecord>& set, const PickedRecord& entry);
// The notice shown for a refusal (empty for Added).
QString pickRefusalText(PickOutcome outcome);
// Adds through the shared state: a refusal sounds alert tone 1 and shows its
// notice. Returns the outcome.
PickOutcome pickInto(SharedState& state, const PickedRecord& entry);

// Removes entry `index` (0-based); the later entries move up one place in
// their order, their body energies computed again. False when there is no such entry.
bool removePicked(QVector<PickedRecord>& set, int index);

} // namespace lumo
