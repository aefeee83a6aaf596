#pragma once
// A measurement that holds values from before its last run. A restarted run
// never joins its readings to the earlier ones unasked: the operator either
// starts from an empty grid or keeps the values, and then the kept points are
// remembered as an earlier part with its own time, shown in the grid and the
// analysis and stored with the grades.

#include "measurement/catalogue.h"

#include <QString>

namespace lumo {

// The earlier part a point belongs to, or -1 for the measurement's own (last) run.
int earlierPartOf(const MeasurementQuality& q, int point);
// Points 1..24 that hold a value from an earlier part.
int earlierPointCount(const MeasurementQuality& q, const std::array<double, PointCount>& readings);

// What the grid holds now becomes an earlier part (the points with a value
// not in a part yet), taken at `takenAt`.
void keepAsEarlierPart(MeasurementQuality& q, const std::array<double, PointCount>& readings, double takenAt);
// The point was measured (or typed) anew: it belongs to the last run again.
void pointRenewed(MeasurementQuality& q, int point);

// "本筆量測含先前的數值：20 點（2024/05/01 10:00:00），本次 4 點（...）。"; empty
// for a measurement of one run.
QString earlierPartsText(const EnergySet& e);
// The tool tip of a cell from an earlier part: "先前的數值（2024/05/01 10:00:00）".
QString earlierCellNote(const MeasurementQuality& q, int point);

} // namespace lumo
