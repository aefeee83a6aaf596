#pragma once
// What the chart painters share: the frame of a chart on screen or on paper,
// the rounding the pixel positions follow, and the labels beside the axes.
// Internal to the painters; the screen, the report and the tests use charts.h.

#include "analysis/charts.h"
#include "base/formats.h"

namespace lumo::charting {

inline QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// A div B truncating toward zero.
inline int idiv(int a, int b)
{
    return a / b;
}
inline int r(double x)
{
    return int(rnd(x));
}

// The deviation of point p (1..24) from the body energy.
inline double D(const EnergyAnalysis& a, int p)
{
    return a.Deviation[size_t(p - 1)];
}

// One chart's geometry. On screen the offsets are the drawing area's pixels;
// on paper (`paper` set) the box replaces L, W and H and fixed offsets become
// millimetres.
struct Frame
{
    int L, W, H, M;
    const PrintedChartSetting* paper = nullptr;

    int mm(double v) const { return paper->mm(v); }
    // A fixed offset: pixels on screen, millimetres on paper.
    int off(int pixels, double millimetres) const { return paper ? mm(millimetres) : pixels; }
    // A pen width: pixels on screen, a fraction of a millimetre on paper.
    int pen(int pixels, double millimetres) const { return paper ? std::max(1, mm(millimetres)) : pixels; }
    bool monochrome() const { return paper && paper->monochrome; }
};

// Paper centres its labels, so they drop the leading blanks and close the
// double blank of a name to one full-width blank ("肺　經").
QString label(const char* screen, const Frame& f);

void centredText(ChartSurface& s, int centreX, int y, const QString& t, const QColor& c);

// A value beside the axis for the line at y: on screen at (x, y - 8); on paper
// right-aligned 3 mm left of the box and raised 2 mm.
void axisLabel(ChartSurface& s, const Frame& f, int screenX, int y, const QString& t, const QColor& c);

// The painters, one file per family: the point charts (pointcharts.cpp), the
// six-column charts (sixcharts.cpp) and the autonomic chart (autonomicchart.cpp).
void paintBars(ChartSurface& s, const EnergyAnalysis& a, const Frame& f);      // 1
void paintCurve(ChartSurface& s, const EnergyAnalysis& a, const Frame& f);     // 2
void paintRyodoraku(ChartSurface& s, const EnergyAnalysis& a, const Frame& f); // 8

enum class Six
{
    YinYang,
    QiBlood,
    Generating,
    Controlling
}; // 3, 4, 5, 6
void paintSix(ChartSurface& s, const EnergyAnalysis& a, const Frame& f, Six kind);

void paintAutonomic(ChartSurface& s, const EnergyAnalysis& a, const Frame& f); // 9

} // namespace lumo::charting
