#pragma once
// The comparison charts: up to six measurements as curves over the 24 points in
// meridian order, with the physiological band of one of them. One painter for
// the screen box, the printed page and the command line's pictures.

#include "analysis/chartsurface.h"

#include <QImage>
#include <QSize>
#include <QVector>
#include <array>

namespace lumo {

class ReportPage;

enum class ComparisonKind
{
    TwoRecord, // the base record and the loaded one
    Multi      // up to six picked measurements
};

struct SeriesStyle
{
    QColor line;
    Qt::PenStyle style;
    QColor screenMarker;
    QColor printMarker;
};
// The pen and marker fills of series 1.. of a chart.
SeriesStyle seriesStyle(ComparisonKind kind, int series);

struct ComparisonChart
{
    ComparisonKind kind = ComparisonKind::TwoRecord;
    QVector<std::array<double, 24>> series; // compensated values, in series order
    int bandSeries = 0;                     // the series (1..) whose band is drawn; 0: no band
    double bandCentre = 0;                  // the body energy the band surrounds
    // The band of no real change around series 1, with the MDC95 (%) of each
    // point: a value of series 2 inside it is drawn in the neutral colour.
    bool changeBand = false;
    std::array<double, 24> changeMdcPct{};
    // Points of series 2 judged and not changed beyond chance (the whole
    // comparison's answer, not the band alone): drawn in the neutral colour.
    std::array<bool, 24> noChange{};
};

// The band's fill and the neutral marker of "變化在量測誤差內".
const QColor& noChangeBandColour();
const QColor& noChangeMarkerColour();

// The band's four levels, top to bottom: m + 21 f, m + 11.5 f, m - 10.5 f, m - 20 f.
std::array<double, 4> bandLevels(double bodyEnergy);

// The screen boxes.
constexpr QSize TwoRecordBox(600, 417);
constexpr QSize MultiBox(604, 417);

// The screen chart in a box of width x height, its top-left at the surface's origin.
void paintComparisonChart(ChartSurface& surface, const ComparisonChart& chart, int width, int height);

// The printed chart, in page coordinates, its frame's top at `top`, with the
// legend labels above it; the painter's font is the report font.
void paintPrintedComparisonChart(ChartSurface& surface, const ComparisonChart& chart, const ReportPage& page,
                                 int top);

// The screen chart on the button-face background.
QImage renderComparisonChart(const ComparisonChart& chart, QSize box);

// The font of the screen chart.
QFont comparisonChartFont();

} // namespace lumo
