#pragma once
// How the measurement was taken, on the analysis screen's 體能狀況 page: the
// grade counts ("測量品質：A 20、B 3、C 1"), the points graded C with their
// reasons, and the conditions entered when it was saved.

class QTableWidget;
class QVBoxLayout;
class QWidget;

namespace lumo {

struct EnergySet;

void addQualityLines(QVBoxLayout* layout, QWidget* parent, const EnergySet& energy);
// A cell of a point graded C in its colour, the reason in its tool tip.
void markGradedCells(QTableWidget* grid, const EnergySet& energy);

} // namespace lumo
