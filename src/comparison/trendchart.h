#pragma once
// The trend chart: a subject's compensated body energy visit by visit inside
// its physiological band, and under it the four ratios against their normal
// ranges. The visits stand at even steps, so two measurements minutes apart
// are as far apart as two a month apart, and each step carries its date and
// time underneath; measurements the analysis refused are left out.

#include "analysis/chartsurface.h"
#include "comparison/noise.h"
#include "comparison/trend.h"

#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <array>

namespace lumo {

// A label the chart writes, where it writes it: for checking that none
// overlaps another or leaves the box.
struct TrendLabel
{
    QRect rect;
    QString text;
};

class TrendLayout
{
public:
    // `unit`: the width of a thin pen (1 on screen, a fraction of a millimetre on paper).
    TrendLayout(const QVector<TrendRow>& rows, bool male, QSize size, const QFontMetrics& fm, int unit = 1);

    // The height a box needs for every label to have its line: the chart's
    // widget never gets less.
    static int minimumHeight(const QFontMetrics& fm);

    QRect body;
    std::array<QRect, TrendRatioCount> ratios;
    int dateLabelY = 0; // top of the first of the two label lines under the chart
    int unit = 1;
    bool hasPoints() const { return slotCount() > 0; }

    int slotCount() const { return int(m_rowOfSlot.size()); }
    int rowOfSlot(int slot) const { return m_rowOfSlot.value(slot, -1); }
    int slotOfRow(int row) const { return m_slotOfRow.value(row, -1); }
    // The x of a visit's step; -1 for a refused row.
    int xOfRow(int row) const;
    int xOfSlot(int slot) const;
    int slotWidth() const;
    int yBody(double uA) const;
    int yRatio(int ratio, double value) const;
    double bodyLow() const { return m_bodyLow; }
    double bodyHigh() const { return m_bodyHigh; }
    double bodyStep() const { return m_bodyStep; }
    // The steps that carry a date and time label: every k-th, so labels
    // `labelWidth` wide keep a gap between them.
    QVector<int> labelledSlots(int labelWidth) const;
    // Where the upper and lower limit of a ratio's normal range are written,
    // top of the text: inside the strip and a line apart however narrow the band.
    std::pair<int, int> limitLabelTops(int ratio, bool male) const;

private:
    int m_fh = 12;
    QVector<int> m_slotOfRow, m_rowOfSlot;
    double m_bodyLow = 0, m_bodyHigh = 180, m_bodyStep = 20;
    std::array<double, TrendRatioCount> m_low{}, m_high{};
};

// How the trend screen shares its height between the chart and the table:
// the table gets what its rows need, but no more than two fifths of the
// whole (at least `tableLeast`, a heading and two rows), and the chart the
// rest, never less than `chartLeast`. A maximised window's extra height goes
// to the chart, not to empty rows.
struct TrendSplit
{
    int chart = 0;
    int table = 0;
};
TrendSplit trendSplit(int total, int tableNeeds, int tableLeast, int chartLeast);

// Paints the chart in a box of `size` at the surface's origin; `selected` is
// the row (index into rows) marked as chosen, -1 for none. With `noise`, the
// band of no real change around the first visit's values is drawn, and a later
// body energy inside it in the neutral colour. Returns the labels written
// (texts of the axes, the strips and the visits).
QVector<TrendLabel> paintTrendChart(ChartSurface& surface, const QVector<TrendRow>& rows, bool male,
                                    QSize size, int selected, int unit = 1, const NoiseFigures* noise = nullptr);

// The analysed row whose step lies nearest to `p` across, within `tolerance`
// pixels and inside the plotted height; -1 when none does.
int trendRowAt(const TrendLayout& layout, QPoint p, int tolerance);

QFont trendChartFont();
QImage renderTrendChart(const QVector<TrendRow>& rows, bool male, QSize size, int selected = -1,
                        const NoiseFigures* noise = nullptr);

} // namespace lumo
