#include "comparison/comparisonchart.h"

#include "analysis/charts.h"
#include "analysis/energy.h"
#include "analysis/reportpage.h"
#include "base/formats.h"
#include "comparison/noise.h"

#include <QGuiApplication>
#include <QPalette>
#include <functional>

namespace lumo {
namespace {

using namespace chartcolour;
const QColor Teal(0, 128, 128), Aqua(0, 255, 255), Purple(128, 0, 128), Fuchsia(255, 0, 255), Lime(0, 255, 0);
// Around every marker, outside its specified square: white, yellow and aqua
// fills would otherwise vanish on the light background and on paper.
const QColor MarkerOutline(0, 0, 0);

QString u(const char* s)
{
    return QString::fromUtf8(s);
}
int r(double x)
{
    return int(rnd(x));
}

// Where the chart lies. On screen the axis is 30 pixels in and fixed offsets
// are pixels; on paper the frame is X0, T, CW, CH and offsets are millimetres.
struct Frame
{
    int X0, T, W, H;
    int right; // where the band lines end
    const ReportPage* page = nullptr;

    bool paper() const { return page != nullptr; }
    int mm(double v) const { return page->MmInDots(v); }
    // A thin pen: one pixel on screen, a fifth of a millimetre on paper.
    int thin() const { return paper() ? std::max(1, mm(1) / 5) : 1; }
    // The ring around a marker: one pixel on screen, a tenth of a millimetre on paper.
    int ring() const { return paper() ? std::max(1, mm(1) / 10) : 1; }
};

void axisAndGrid(ChartSurface& s, const Frame& f)
{
    s.line(f.X0, f.T, f.X0, f.T + f.H, Black, f.paper() ? std::max(1, f.mm(1) / 3) : 3);
    for (int i = 1; i <= 12; ++i) {
        const int x = r(f.W / 12.0 * i) + f.X0;
        // The doubled line between columns 6 and 7 parts the hands from the feet.
        const int width = f.paper() ? std::max(1, i == 6 ? f.mm(1) / 2 : f.mm(1) / 5) : (i == 6 ? 2 : 1);
        s.line(x, f.T + f.H / 18, x, f.T + f.H, Grey, width, Qt::DashLine);
    }
    for (int i = 0; i <= 17; ++i) {
        const int y = f.T + f.H - r(f.H / 18.0 * i);
        s.line(f.X0, y, f.W / 80 + f.X0, y, Black, f.thin());
        const QString label = fmt("%3d", 10 * i);
        if (f.paper())
            s.text(f.X0 - f.mm(8), y - f.mm(2), label, Navy);
        else
            s.text(2, y - 6, label, Navy);
    }
}

void columnLabels(ChartSurface& s, const Frame& f)
{
    for (int i = 1; i <= 12; ++i) {
        const double c = f.W / 12.0 * (i - 1);
        const Meridian m = Meridian(i - 1);
        if (f.paper()) {
            s.text(r(f.mm(1) + c) + f.X0, f.T + f.H + f.mm(4), chartName(m), Green);
            s.text(r(f.mm(3) + c) + f.X0, f.T + f.H + f.mm(8), elementLabel(m), Blue);
        } else {
            s.text(r(c + 5) + 30, f.H - 16, chartName(m), Green);
            s.text(r(c + 12) + 30, f.H, elementLabel(m), Blue);
        }
    }
    if (f.paper()) {
        const int y = f.T + f.H + f.mm(13);
        s.text(r(f.mm(1)) + f.X0, y, u("左   右"), Red);
        s.text(r(f.mm(8) + f.W / 12.0 * 2) + f.X0, y, u("Hands  手"), Red);
        s.text(r(f.mm(8) + f.W / 12.0 * 8) + f.X0, y, u("Feet 足"), Red);
    } else {
        s.text(r(7) + 30, f.H + 15, u("左   右"), Red);
        s.text(r(f.W / 12.0 * 2 + 24) + 30, f.H + 15, u("Hands  手"), Red);
        s.text(r(f.W / 12.0 * 8 + 32) + 30, f.H + 15, u("Feet 足"), Red);
    }
}

// The legend slot of series s: the two-record chart uses the third and fourth
// seventh on screen and the third and sixth on paper; the multi chart the s-th.
int legendX(const ComparisonChart& c, const Frame& f, int s)
{
    if (c.kind == ComparisonKind::Multi) return r(f.W / 7.0 * s);
    if (f.paper()) return r(f.W / 7.0 * (s == 1 ? 3 : 6));
    return r(f.W / 7.0 * (s + 2));
}

void legend(ChartSurface& s, const ComparisonChart& c, const Frame& f)
{
    for (int n = 1; n <= c.series.size(); ++n) {
        const SeriesStyle st = seriesStyle(c.kind, n);
        const int x = legendX(c, f, n);
        if (!f.paper()) {
            s.line(x + 20, 10, x + 64, 10, st.line, 1, st.style);
            s.outlinedRect(x + 38, 6, x + 46, 15, st.screenMarker, MarkerOutline, f.ring());
            s.text(x, 2, fmt("%2d", n) + QLatin1Char(':'), Black);
            continue;
        }
        const int top = f.T;
        const bool marked = c.kind == ComparisonKind::Multi && c.bandSeries == n;
        if (marked)
            s.text(x, top - f.mm(6), QLatin1Char('[') + fmt("%2d", n) + QStringLiteral("]:"), Red);
        else
            s.text(x, top - f.mm(6), fmt("%2d", n) + QLatin1Char(':'), Black);
        s.line(x + f.mm(10), top - f.mm(3), x + f.mm(20), top - f.mm(3), st.line, f.thin(), st.style);
        s.outlinedRect(x + f.mm(14), top - f.mm(4), x + f.mm(16), top - f.mm(2), st.printMarker,
                       MarkerOutline, f.ring());
    }
    // The two-record page marks whose band it shows with a red "XX" before its label.
    if (f.paper() && c.kind == ComparisonKind::TwoRecord && c.bandSeries > 0 &&
        c.bandSeries <= c.series.size())
        s.text(legendX(c, f, c.bandSeries) - f.mm(5), f.T - f.mm(6), QStringLiteral("XX"), Red);
}

// Where a key of the two-record chart's other marks goes: in the legend's row,
// `slot` sevenths in, a sample of `sampleWidth` and its label after it.
struct Key
{
    int x, textY, mid, sampleWidth, unit;
};

Key keyAt(const Frame& f, int slot)
{
    const int x = r(f.W / 7.0 * slot);
    if (f.paper()) return Key{x, f.T - f.mm(6), f.T - f.mm(3), f.mm(6), std::max(1, f.mm(0.4))};
    return Key{x, 2, 10, 20, 1};
}

// The physiological band's four dotted lines, red outside and olive inside,
// as the chart draws them, beside "生理界線".
void physiologicalBandKey(ChartSurface& s, const Frame& f, const Key& k)
{
    const int step = 3 * k.unit;
    const QColor colours[4] = {Red, Olive, Olive, Red};
    for (int i = 0; i < 4; ++i) {
        const int y = k.mid + (2 * i - 3) * step / 2;
        s.line(k.x, y, k.x + k.sampleWidth, y, colours[i], f.thin(), Qt::DotLine);
    }
    s.text(k.x + k.sampleWidth + 4 * k.unit, k.textY, u("生理界線"), Black);
}

// The span of no real change with the neutral marker of a point inside it,
// beside "變化在量測誤差內".
void noChangeKey(ChartSurface& s, const Frame& f, const Key& k)
{
    const int half = f.paper() ? f.mm(1) : 4, span = 2 * half;
    s.fillRect(k.x, k.mid - span, k.x + k.sampleWidth + 1, k.mid + span, noChangeBandColour());
    const int centre = k.x + k.sampleWidth / 2;
    s.outlinedRect(centre - half, k.mid - half, centre + half, k.mid + half, noChangeMarkerColour(),
                   MarkerOutline, f.ring());
    s.text(k.x + k.sampleWidth + 4 * k.unit, k.textY, noRealChangeText(), Black);
}

// The two-record chart's marks that are no series of their own: left of the
// legend the physiological band, right of series 1 on paper (of series 2 on
// screen) the span of no real change and its grey markers.
void bandKeys(ChartSurface& s, const ComparisonChart& c, const Frame& f)
{
    if (c.kind != ComparisonKind::TwoRecord) return;
    if (c.bandSeries > 0 && c.bandSeries <= c.series.size()) physiologicalBandKey(s, f, keyAt(f, 1));
    if (c.changeBand && c.series.size() >= 2) noChangeKey(s, f, keyAt(f, f.paper() ? 4 : 5));
}

int curveOffset(const Frame& f)
{
    return f.paper() ? f.mm(4) : 12;
}

// A value of series 2 whose change from series 1 is no real one.
bool noRealChange(const ComparisonChart& c, int series, int point)
{
    if (!c.changeBand || series != 2 || c.series.size() < 2) return false;
    return c.noChange[size_t(point - 1)];
}

// Values of 180 uA and more plot at or above the top: nothing is clamped.
// The lines of every series first and the markers over them, so that no
// later series' line runs across an earlier series' marker.
void curves(ChartSurface& s, const ComparisonChart& c, const Frame& f)
{
    const int offset = curveOffset(f);
    const int half = f.paper() ? f.mm(1) : 3;
    auto pointAt = [&](int n, int k) {
        const double v = c.series[n - 1][size_t(slotPoint(k + 1) - 1)];
        return QPoint(f.X0 + offset + r(f.W / 24.0 * k), f.T + f.H - r(f.H / 180.0 * v));
    };
    for (int n = 1; n <= c.series.size(); ++n) {
        const SeriesStyle st = seriesStyle(c.kind, n);
        for (int k = 1; k < 24; ++k) {
            const QPoint a = pointAt(n, k - 1), b = pointAt(n, k);
            s.line(a.x(), a.y(), b.x(), b.y(), st.line, f.thin(), st.style);
        }
    }
    for (int n = 1; n <= c.series.size(); ++n) {
        const SeriesStyle st = seriesStyle(c.kind, n);
        const QColor marker = f.paper() ? st.printMarker : st.screenMarker;
        for (int k = 0; k < 24; ++k) {
            const QPoint p = pointAt(n, k);
            const QColor fill = noRealChange(c, n, slotPoint(k + 1)) ? noChangeMarkerColour() : marker;
            s.outlinedRect(p.x() - half, p.y() - half, p.x() + half, p.y() + half, fill, MarkerOutline,
                           f.ring());
        }
    }
}

// The span around series 1 that is no real change, under the curves, kept
// inside the frame (the MDC of a point can reach beyond the scale).
void changeBandArea(ChartSurface& s, const ComparisonChart& c, const Frame& f)
{
    if (!c.changeBand || c.series.isEmpty()) return;
    QVector<QPoint> upper, lower;
    for (int k = 0; k < 24; ++k) {
        const int point = slotPoint(k + 1);
        const ChangeBand b = noChangeBand(c.series[0][size_t(point - 1)], c.changeMdcPct[size_t(point - 1)]);
        const int x = f.X0 + curveOffset(f) + r(f.W / 24.0 * k);
        auto y = [&](double v) {
            return std::clamp(f.T + f.H - r(f.H / 180.0 * std::min(v, 1e6)), f.T, f.T + f.H);
        };
        upper << QPoint(x, y(b.high));
        lower.prepend(QPoint(x, y(b.low)));
    }
    s.polygon(upper + lower, noChangeBandColour());
}

void band(ChartSurface& s, const ComparisonChart& c, const Frame& f)
{
    if (c.bandSeries <= 0) return;
    const auto levels = bandLevels(c.bandCentre);
    const QColor colours[4] = {Red, Olive, Olive, Red};
    for (int i = 0; i < 4; ++i) {
        const int y = f.T + r(f.H - f.H / 180.0 * levels[size_t(i)]);
        s.line(f.X0, y, f.right, y, colours[i], f.thin(), Qt::DotLine);
    }
}

void paint(ChartSurface& s, const ComparisonChart& c, const Frame& f)
{
    changeBandArea(s, c, f);
    axisAndGrid(s, f);
    columnLabels(s, f);
    legend(s, c, f);
    bandKeys(s, c, f);
    curves(s, c, f);
    band(s, c, f);
}

} // namespace

const QColor& noChangeBandColour()
{
    static const QColor c(214, 226, 238); // a pale blue-grey: visible on the button face and on paper
    return c;
}

const QColor& noChangeMarkerColour()
{
    static const QColor c(150, 150, 150);
    return c;
}

SeriesStyle seriesStyle(ComparisonKind kind, int series)
{
    if (kind == ComparisonKind::TwoRecord)
        return series == 1 ? SeriesStyle{Blue, Qt::DashLine, Red, Red}
                           : SeriesStyle{Teal, Qt::DotLine, Aqua, Aqua};
    static const SeriesStyle multi[6] = {
        {Black, Qt::DotLine, Red, Red},
        {Blue, Qt::DashLine, Yellow, Yellow},
        {Maroon, Qt::DashDotDotLine, QColor(255, 255, 255), Blue}, // white vanishes on paper
        {Teal, Qt::DotLine, Aqua, Aqua},
        {Purple, Qt::DashLine, Fuchsia, Fuchsia},
        {Navy, Qt::DashDotDotLine, Lime, Lime},
    };
    return multi[std::clamp(series, 1, 6) - 1];
}

std::array<double, 4> bandLevels(double m)
{
    const PhysiologicalBand b = bandOf(m);
    return {m + b.UpperOuterLimit, m + b.UpperInnerLimit, m - b.LowerInnerLimit, m - b.LowerOuterLimit};
}

void paintComparisonChart(ChartSurface& s, const ComparisonChart& c, int width, int height)
{
    paint(s, c, Frame{30, 0, width - 30, height - 30, width});
}

void paintPrintedComparisonChart(ChartSurface& s, const ComparisonChart& c, const ReportPage& page, int top)
{
    const int x0 = page.MmInDots(30), cw = page.MmInDots(150), ch = page.MmInDots(100);
    paint(s, c, Frame{x0, top, cw, ch, x0 + cw, &page});
}

QFont comparisonChartFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(11); // 8 points at 96 pixels per inch
    return font;
}

QImage renderComparisonChart(const ComparisonChart& c, QSize box)
{
    QImage image(box, QImage::Format_RGB32);
    image.fill(QGuiApplication::palette().color(QPalette::Button));
    QPainter p(&image);
    p.setFont(comparisonChartFont());
    ChartSurface s(p);
    paintComparisonChart(s, c, box.width(), box.height());
    return image;
}

} // namespace lumo
