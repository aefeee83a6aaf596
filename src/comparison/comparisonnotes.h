#pragma once
// What the comparisons say beside their charts about how the measurements were
// taken: the points of each graded C ("本次量測有 2 點品質不佳"), and the
// conditions that may explain a difference better than a real change
// (times of day more than 3 hours apart, other conditions that differ).

#include "comparison/noise.h"
#include "records/measurementextras.h"

#include <QStringList>
#include <QVector>

namespace lumo {

struct NotedMeasurement
{
    QString label; // "1.原始資料", "第 2 筆"
    std::array<double, 24> readings{};
    MeasurementExtras extras;
    double takenAt = 0;
};
NotedMeasurement notedMeasurement(const QString& label, const EnergySet& e);

// Each measurement's poor points, then the warnings between the first and
// every later one: in full for two measurements, one line per kind for more.
QStringList comparisonNotes(const QVector<NotedMeasurement>& measured);

} // namespace lumo
