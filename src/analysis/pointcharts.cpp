#include "analysis/chartgeometry.h"

namespace lumo::charting {

using namespace chartcolour;

namespace {

const char* const kNames[12] = {" 肺  經", "心包經",  " 心  經", "小腸經", "三焦經",  "大腸經",
                                " 脾  經", " 肝  經", " 腎  經", "膀胱經", " 膽  經", " 胃  經"};
const char* const kElements[12] = {"  金", "相火", "君火", "君火", "相火", "  金",
                                   "  土", "  木", "  水", "  水", "  木", "  土"};

// Deviation bars and curve share their frame: axes, divider, meridian lines,
// band lines, ticks and labels.
void deviationAxes(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    const int L = f.L, W = f.W, H = f.H, M = f.M;
    const int axis = f.pen(3, 1.0 / 5), grid = f.pen(1, 1.0 / 8);
    s.line(L, 0, L, H, Black, axis);
    s.line(L, M, L + W, M, Black, axis);
    axisLabel(s, f, 0, M, fmt("%7.1f", a.BodyEnergy), Navy);
    s.line(L + idiv(W, 2), H, L + idiv(W, 2), H - idiv(H, 10) * 8, Black, f.pen(2, 1.0 / 4));
    for (int k = 1; k <= 12; ++k) {
        if (k != 6) {
            const int x = L + r(W / 12.0 * k);
            s.line(x, M, x, H, Navy, grid, Qt::DotLine);
        }
        const int cx = L + r(W / 24.0) + r(W / 12.0 * (k - 1));
        s.line(cx, M, cx, H - r(H / 10.0), Grey, grid, Qt::DotLine);
    }
}

void deviationBandLines(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    const double scale = f.M / a.BodyEnergy;
    const auto& b = a.band;
    struct Line
    {
        double limit;
        bool upper;
        QColor colour;
    };
    for (const Line& l : {Line{b.UpperOuterLimit, true, Red}, Line{b.LowerOuterLimit, false, Red},
                          Line{b.UpperInnerLimit, true, Olive}, Line{b.LowerInnerLimit, false, Olive}}) {
        const int y = l.upper ? r(f.M - scale * l.limit) : r(f.M + scale * l.limit);
        s.line(f.L, y, f.L + f.W, y, l.colour, f.pen(1, 1.0 / 7), Qt::DotLine);
        axisLabel(s, f, 0, y, (l.upper ? QStringLiteral("+") : QStringLiteral("-")) + fmt("%5.1f", l.limit),
                  l.colour);
    }
}

// The meridian names and element labels under the 24 slots, and the
// left/right, hands and feet row.
void meridianLabels(ChartSurface& s, const Frame& f, int left)
{
    const int W = f.W, H = f.H;
    if (!f.paper) return; // the screen places its own (see the callers)
    for (int k = 1; k <= 12; ++k) {
        const int centre = left + r(W / 24.0 * (2 * k - 1));
        centredText(s, centre, H - f.mm(7), label(kNames[k - 1], f), Green);
        centredText(s, centre, H - f.mm(3), label(kElements[k - 1], f), Blue);
    }
    centredText(s, left + r(W / 24.0), H + f.mm(2), u("左   右"), Red);
    s.text(left + r(W / 12.0 * 2) + f.mm(7), H + f.mm(2), u("Hands  手"), Red);
    s.text(left + r(W / 12.0 * 8) + f.mm(7), H + f.mm(2), u("Feet 足"), Red);
}

void deviationTicksAndLabels(ChartSurface& s, const Frame& f)
{
    const int L = f.L, W = f.W, H = f.H;
    for (int j = 1; j <= 19; ++j) {
        if (j == 10) continue;
        const int y = r(H / 20.0 * j);
        s.line(L, y, L + idiv(W, 80), y, Black, f.pen(1, 1.0 / 6));
    }
    if (f.paper) {
        meridianLabels(s, f, L);
        return;
    }
    for (int k = 1; k <= 12; ++k) {
        s.text(L + r(W / 12.0 * (k - 1) + 10), H - 46, u(kNames[k - 1]), Green);
        s.text(L + r(W / 12.0 * (k - 1) + 16), H - 30, u(kElements[k - 1]), Blue);
    }
    s.text(L + 10, H - 15, u("左   右"), Red);
    s.text(L + r(W / 12.0 * 2 + 35), H - 15, u("Hands  手"), Red);
    s.text(L + r(W / 12.0 * 8 + 35), H - 15, u("Feet 足"), Red);
}

const char* const kLegend[3] = {"正常", "尚可", "不良"};
const int kLegendSlots[3] = {15, 18, 21};
// On paper the legend sits in the line above the box, at these twenty-fourths.
const int kPaperLegendMarks[3] = {14, 18, 22};

// The paper legend of the bar, curve and Ryodoraku variants: one symbol per
// band, `draw(i, x, top)` draws it; the text starts `textMm` right of the mark.
template <typename Draw>
void paperLegend(ChartSurface& s, const Frame& f, int symbolHeight, double textMm, Draw draw)
{
    const int row = f.paper->lineHeight;
    const int top = -row + (row - symbolHeight) / 2;
    const int textTop = -row + (row - s.textHeight()) / 2;
    for (int i = 0; i < 3; ++i) {
        const int mark = f.L + r(f.W / 24.0 * kPaperLegendMarks[i]);
        draw(i, mark, top);
        s.text(mark + f.mm(textMm), textTop, u(kLegend[i]), Black);
    }
}

} // namespace

void paintBars(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    deviationAxes(s, a, f);
    const double scale = f.M / a.BodyEnergy;
    const int outline = f.pen(1, 1.0 / 6);
    const int highest = f.off(5, 1); // a bar is raised no higher than this
    for (int slot = 1; slot <= 24; ++slot) {
        const int p = slotPoint(slot);
        const double d = D(a, p);
        const int x1 = f.L + r(f.W / 24.0 * (slot - 1));
        const int x2 = r(f.W / 24.0 * slot + f.L);
        int y1 = f.M, y2 = f.M;
        if (d >= 0) {
            y1 = std::max(r(f.M - scale * d), highest);
        } else {
            y2 = r(f.M + scale * -d);
            if (y2 > f.H) y2 = f.H - highest;
        }
        const int mark = a.PointMark[size_t(p - 1)];
        s.hatchedRect(x1, y1, x2, y2 + (y1 == y2 ? 1 : 0), Black, bandColour(mark), bandHatch(mark), outline);
    }
    deviationBandLines(s, a, f);
    deviationTicksAndLabels(s, f);
    if (f.paper) {
        paperLegend(s, f, f.mm(5), 8, [&](int i, int x, int top) {
            s.hatchedRect(x, top, x + f.mm(7), top + f.mm(5), Black, bandColour(i), bandHatch(i), outline);
        });
        return;
    }
    for (int i = 0; i < 3; ++i) {
        const int n = kLegendSlots[i];
        s.hatchedRect(f.L + r(f.W / 24.0 * n) + 2, 0, f.L + r(f.W / 24.0 * n + 25), 20, Black, bandColour(i),
                      bandHatch(i));
        s.text(f.L + r(f.W / 24.0 * n + 32), 4, u(kLegend[i]), Blue);
    }
}

void paintCurve(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    deviationAxes(s, a, f);
    deviationBandLines(s, a, f);
    deviationTicksAndLabels(s, f);
    const double scale = f.M / a.BodyEnergy;
    QVector<QPoint> line;
    QVector<std::pair<QRect, int>> squares;
    for (int slot = 1; slot <= 24; ++slot) {
        const int p = slotPoint(slot);
        const int y = r(f.M - scale * D(a, p)); // not clamped: a far point leaves the plot
        const int mark = a.PointMark[size_t(p - 1)];
        if (f.paper) {
            // centred on the slot, 2 mm wide
            const int x = f.L + r(f.W / 24.0 * (slot - 0.5));
            line << QPoint(x, y);
            squares.append({QRect(QPoint(x - f.mm(1), y - f.mm(1)), QPoint(x + f.mm(1), y + f.mm(1))), mark});
            continue;
        }
        const int x = f.L + r(f.W / 24.0 * (slot - 1));
        line << QPoint(x + 15, y);
        squares.append(
            {QRect(QPoint(x + 11, y - 4), QPoint(r(f.W / 24.0 * (slot - 1) + f.L + 19), y + 4)), mark});
    }
    s.polyline(line, Black, f.pen(1, 1.0 / 5), Qt::DotLine);
    for (const auto& [rect, mark] : squares)
        s.fillRect(rect.left(), rect.top(), rect.right(), rect.bottom(), bandColour(mark));
    if (f.paper) {
        paperLegend(s, f, f.mm(3), 5, [&](int i, int x, int top) {
            s.fillRect(x, top, x + f.mm(3), top + f.mm(3), bandColour(i));
        });
        return;
    }
    for (int i = 0; i < 3; ++i) {
        const int n = kLegendSlots[i];
        s.fillRect(f.L + r(f.W / 24.0 * n) + 10, 5, f.L + r(f.W / 24.0 * n + 22), 15, bandColour(i));
        s.text(f.L + r(f.W / 24.0 * n + 32), 4, u(kLegend[i]), Blue);
    }
}

// Ryodoraku: absolute values on a 170 uA scale. The screen keeps a 50-pixel
// strip on the left and at the bottom for labels; paper uses the whole box.
void paintRyodoraku(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    const int L = f.L, W = f.W, H = f.H;
    s.line(L, 0, L, H, Black, f.pen(3, 1.0 / 3));
    const int grid = f.pen(1, 1.0 / 8);
    for (int i = 1; i <= 24; ++i) {
        const int x = r(W / 24.0 * i) + L;
        if (i % 2)
            s.line(x, idiv(H, 17), x, H, Grey, grid, Qt::DotLine);
        else
            s.line(x, idiv(H, 17) - f.off(10, 2), x, H, i == 12 ? Grey : Blue,
                   i == 12 ? f.pen(2, 1.0 / 4) : f.pen(1, 1.0 / 6));
    }
    for (int i = 0; i <= 16; ++i) {
        const int y = H - r(H / 17.0 * i);
        s.line(L, y, L + idiv(W, 80), y, Black, f.pen(1, 1.0 / 6));
        if (f.paper)
            s.text(L - f.mm(6), y - f.mm(2), fmt("%3d", 10 * i), Navy);
        else
            s.text(2, y - 6, fmt("%3d", 10 * i), Navy);
    }
    if (f.paper) {
        meridianLabels(s, f, L);
        // The legend keeps its colours with the dashes it explains.
        paperLegend(s, f, f.mm(3), 5, [&](int i, int x, int top) {
            s.keepColours(true);
            s.fillRect(x - f.mm(3), top, x + f.mm(3), top + f.mm(3), bandColour(i));
            s.keepColours(false);
        });
    } else {
        for (int k = 1; k <= 12; ++k) {
            s.text(r(W / 12.0 * (k - 1) + 11) + 50, H + 4, u(kNames[k - 1]), Green);
            s.text(r(W / 12.0 * (k - 1) + 18) + 50, H + 20, u(kElements[k - 1]), Blue);
        }
        s.text(61, H + 35, u("左   右"), Red);
        s.text(r(W / 12.0 * 2 + 36) + 50, H + 35, u("Hands  手"), Red);
        s.text(r(W / 12.0 * 8 + 44) + 50, H + 35, u("Feet 足"), Red);
        for (int i = 0; i < 3; ++i) {
            const int n = kLegendSlots[i];
            s.fillRect(r(W / 24.0 * n) + 57, 7, r(W / 24.0 * n + 25) + 50, 13, bandColour(i));
            s.text(r(W / 24.0 * n + 32) + 50, 4, u(kLegend[i]), Blue);
        }
    }
    const auto& b = a.band;
    const double be = a.BodyEnergy;
    auto bandLine = [&](double energy, const QColor& c) {
        const int y = r(H - energy * H / 170.0);
        s.line(L, y, W + L, y, c, f.pen(1, 1.0 / 5), Qt::DotLine);
    };
    bandLine(be + b.UpperOuterLimit, Red);
    bandLine(be - b.LowerOuterLimit, Red);
    bandLine(be + b.UpperInnerLimit, Olive);
    bandLine(be - b.LowerInnerLimit, Olive);
    // The value dashes keep their band colours on monochrome paper.
    s.keepColours(f.paper != nullptr);
    for (int slot = 1; slot <= 24; ++slot) {
        const int p = slotPoint(slot);
        const int top = H - r(H / 170.0 * a.Values[size_t(p - 1)]);
        const QColor c = bandColour(a.PointMark[size_t(p - 1)]);
        if (f.paper)
            s.fillRect(r(W / 24.0 * (slot - 1)) + f.mm(0.5) + L, top - f.mm(0.5), r(W / 24.0 * slot) + L,
                       top + f.mm(0.5), c);
        else
            s.fillRect(r(W / 24.0 * (slot - 1) + 3) + 50, r(top - 2.0),
                       r(W / 24.0 * (slot - 1) + W / 24.0) + 50, r(top + 3.0), c);
    }
    s.keepColours(false);
}

} // namespace lumo::charting
