#pragma once
// The points of a measurement that hold no reading, and how the measuring
// screen says so after a run left some out (the analysis and the comparison
// need all 24).

#include "measurement/catalogue.h"

#include <QVector>

namespace lumo {

// Points 1..24 whose reading is 0, in point order.
QVector<int> missingPoints(const EnergySet& e);

// Empty when nothing is missing or nothing was measured at all. A few points
// are named with their source point, so the operator knows where to put the
// probe; more are counted, and the grid marks their cells.
QString missingPointsText(const EnergySet& e);

// "左手肺經": where a point is, as short as a status line needs it.
QString pointPlaceName(int point);

} // namespace lumo
