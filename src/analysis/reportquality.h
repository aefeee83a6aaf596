#pragma once
// Under the printed value table: how the measurement was taken (the grade
// counts, the points graded C with their reasons, the conditions and the
// operator's note), as the analysis screen shows it.

namespace lumo {

class ReportPage;
struct EnergySet;

void printMeasurementQuality(ReportPage& page, const EnergySet& energy);

} // namespace lumo
