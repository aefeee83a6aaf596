#pragma once
// The eight analysis charts. Each painter is a pure function of the analysis
// and a surface of a given size; the screen, images and printouts share them.

#include "analysis/chartsurface.h"
#include "analysis/energy.h"

#include <QImage>
#include <QString>

namespace lumo {

// Chart numbers as the analysis screen keeps them: 1-6, 8, 9 (there is no 7).
bool isChartNumber(int chart);
QString chartTitle(int chart);
// The status text the analysis screen shows with the chart.
QString chartStatusText(int chart);

// Draws chart `chart` on a surface of width x height and returns its title.
QString paintChart(int chart, const EnergyAnalysis& a, ChartSurface& surface, int width, int height);

// A chart on paper: the screen picture transferred into a box of 150 x 90 mm.
struct PrintedChartSetting
{
    int dpi = 300;         // horizontal resolution; millimetres use it in both directions
    int lineHeight = 0;    // of the report font: the legends sit one line above the box
    double boxLeftMm = 30; // the box's left edge, from the page's left edge
    bool monochrome = false;

    int mm(double millimetres) const;
};

// Draws the printed variant with the box's top-left corner at the surface's
// origin, in the painter's font; labels and legends reach outside the box.
void paintPrintedChart(int chart, const EnergyAnalysis& a, ChartSurface& surface, const PrintedChartSetting& paper);

// The chart on the button-face background, as the screen shows it.
QImage renderChart(int chart, const EnergyAnalysis& a, int width = 757, int height = 393);

// Band colour and hatch of a mark: green, yellow, red for 0, +-1, +-2.
QColor bandColour(int mark);
Qt::BrushStyle bandHatch(int mark);

// The point order of the bar, curve and Ryodoraku charts: each meridian's left point, then its right one.
int slotPoint(int slot); // slot 1..24

} // namespace lumo
