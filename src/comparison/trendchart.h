#pragma once
// The trend chart: a subject's compensated body energy over time inside its
// physiological band, and under it the four ratios against their normal
// ranges. Dates lie on the horizontal axis by time, not by index; measurements
// the analysis refused are left out.

#include "analysis/chartsurface.h"
#include "comparison/noise.h"
#include "comparison/trend.h"

#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <array>

namespace lumo {

class TrendLayout
{
public:
    // `unit`: the width of a thin pen (1 on screen, a fraction of a millimetre on paper).
    TrendLayout(const QVector<TrendRow>& rows, bool male, QSize size, const QFontMetrics& fm, int unit = 1);

    QRect body;
    std::array<QRect, TrendRatioCount> ratios;
    int dateLabelY = 0; // top of the date labels
    int unit = 1;
    bool hasPoints() const { return m_points; }

    int xOf(double day) const;
    int yBody(double uA) const;
    int yRatio(int ratio, double value) const;
    double bodyLow() const { return m_bodyLow; }
    double bodyHigh() const { return m_bodyHigh; }
    double bodyStep() const { return m_bodyStep; }
    // Days of the date axis' labels, evenly spread over the time shown.
    QVector<double> dateTicks(int labelWidth) const;

private:
    bool m_points = false;
    double m_t0 = 0, m_t1 = 0;
    double m_bodyLow = 0, m_bodyHigh = 180, m_bodyStep = 20;
    std::array<double, TrendRatioCount> m_low{}, m_high{};
};

// Paints the chart in a box of `size` at the surface's origin; `selected` is
// the row (index into rows) marked as chosen, -1 for none. With `noise`, the
// band of no real change around the first visit's values is drawn, and a later
// body energy inside it in the neutral colour.
void paintTrendChart(ChartSurface& surface, const QVector<TrendRow>& rows, bool male, QSize size,
                     int selected, int unit = 1, const NoiseFigures* noise = nullptr);

// The analysed row whose point lies nearest to `p` across, within `tolerance`
// pixels and inside the plotted height; -1 when none does.
int trendRowAt(const TrendLayout& layout, const QVector<TrendRow>& rows, QPoint p, int tolerance);

QFont trendChartFont();
QImage renderTrendChart(const QVector<TrendRow>& rows, bool male, QSize size, int selected = -1,
                        const NoiseFigures* noise = nullptr);

} // namespace lumo
