#include "analysis/charts.h"

#include "base/formats.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

namespace lumo {
namespace {

using namespace chartcolour;

QString u(const char* s) { return QString::fromUtf8(s); }

// A div B truncating toward zero.
int idiv(int a, int b) { return a / b; }
int r(double x) { return int(rnd(x)); }

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

const char* const kNames[12] = {" 肺  經", "心包經", " 心  經", "小腸經", "三焦經", "大腸經",
                                " 脾  經", " 肝  經", " 腎  經", "膀胱經", " 膽  經", " 胃  經"};
const char* const kElements[12] = {"  金", "相火", "君火", "君火", "相火", "  金", "  土", "  木", "  水", "  水", "  木", "  土"};

// Paper centres its labels, so they drop the leading blanks and close the
// double blank of a name to one full-width blank ("肺　經").
QString label(const char* screen, const Frame& f)
{
    const QString t = u(screen);
    if (!f.paper) return t;
    return t.trimmed().replace(QStringLiteral("  "), QStringLiteral("\u3000"));
}

void centredText(ChartSurface& s, int centreX, int y, const QString& t, const QColor& c)
{
    s.text(centreX - s.textWidth(t) / 2, y, t, c);
}

// A value beside the axis for the line at y: on screen at (x, y - 8); on paper
// right-aligned 3 mm left of the box and raised 2 mm.
void axisLabel(ChartSurface& s, const Frame& f, int screenX, int y, const QString& t, const QColor& c)
{
    if (!f.paper) {
        s.text(screenX, y - 8, t, c);
        return;
    }
    const QString trimmed = t.trimmed();
    s.text(f.L - f.mm(3) - s.textWidth(trimmed), y - f.mm(2), trimmed, c);
}

double D(const EnergyAnalysis& a, int p) { return a.Deviation[size_t(p - 1)]; }

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
        axisLabel(s, f, 0, y, (l.upper ? QStringLiteral("+") : QStringLiteral("-")) + fmt("%5.1f", l.limit), l.colour);
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
template<typename Draw>
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
        s.hatchedRect(f.L + r(f.W / 24.0 * n) + 2, 0, f.L + r(f.W / 24.0 * n + 25), 20, Black, bandColour(i), bandHatch(i));
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
        squares.append({QRect(QPoint(x + 11, y - 4), QPoint(r(f.W / 24.0 * (slot - 1) + f.L + 19), y + 4)), mark});
    }
    s.polyline(line, Black, f.pen(1, 1.0 / 5), Qt::DotLine);
    for (const auto& [rect, mark] : squares) s.fillRect(rect.left(), rect.top(), rect.right(), rect.bottom(), bandColour(mark));
    if (f.paper) {
        paperLegend(s, f, f.mm(3), 5, [&](int i, int x, int top) { s.fillRect(x, top, x + f.mm(3), top + f.mm(3), bandColour(i)); });
        return;
    }
    for (int i = 0; i < 3; ++i) {
        const int n = kLegendSlots[i];
        s.fillRect(f.L + r(f.W / 24.0 * n) + 10, 5, f.L + r(f.W / 24.0 * n + 22), 15, bandColour(i));
        s.text(f.L + r(f.W / 24.0 * n + 32), 4, u(kLegend[i]), Blue);
    }
}

enum class Six { YinYang, QiBlood, Generating, Controlling };

struct SixSeries
{
    std::array<double, 6> first{};
    std::array<double, 6> second{};
    bool hasSecond = true;
};

SixSeries sixValues(const EnergyAnalysis& a, Six kind)
{
    auto d = [&](int p) { return D(a, p); };
    SixSeries v;
    std::array<double, 6> generating = {(d(14) + d(20) + d(17) + d(23)) / 1.8, (d(3) + d(9) + d(4) + d(10)) / 1.8,
                                        (d(2) + d(8) + d(5) + d(11)) / 1.8,    (d(13) + d(19) + d(18) + d(24)) / 1.8,
                                        (d(1) + d(7) + d(6) + d(12)) / 1.8,    (d(15) + d(21) + d(16) + d(22)) / 1.8};
    switch (kind) {
    case Six::YinYang:
        v.first = {d(14) + d(20), d(3) + d(9), d(2) + d(8), d(13) + d(19), d(1) + d(7), d(15) + d(21)};
        v.second = {d(17) + d(23), d(4) + d(10), d(5) + d(11), d(18) + d(24), d(6) + d(12), d(16) + d(22)};
        break;
    case Six::QiBlood:
        v.first = {d(14) + d(17), d(3) + d(4), d(2) + d(5), d(13) + d(18), d(1) + d(6), d(15) + d(16)};
        v.second = {d(20) + d(23), d(9) + d(10), d(8) + d(11), d(19) + d(24), d(7) + d(12), d(21) + d(22)};
        break;
    case Six::Generating:
        v.first = generating;
        v.hasSecond = false;
        break;
    case Six::Controlling:
        // Metal, Wood, Earth, Water, sovereign fire, minister fire.
        v.first = {generating[4], generating[0], generating[3], generating[5], generating[1], generating[2]};
        v.hasSecond = false;
        break;
    }
    return v;
}

void paintSix(ChartSurface& s, const EnergyAnalysis& a, const Frame& f, Six kind)
{
    const int L = f.L, W = f.W, H = f.H, M = f.M;
    const bool pairChart = kind == Six::YinYang || kind == Six::QiBlood;
    const double pointScale = pairChart ? H / 200.0 : H / 400.0;
    const int half = f.paper ? f.mm(1) : pairChart ? 4 : 6;
    const int grid = f.pen(1, 1.0 / 8), polyline = f.pen(1, 1.0 / 5);
    const auto& b = a.band;
    auto xc = [&](int c) { return L + r(W / 6.0 * c) - r(W / 12.0); };

    s.line(L, 0, L, H, Black, f.pen(3, 1.0 / 5));
    s.line(L, M, L + W, M, Black, f.pen(3, 1.0 / 5));
    axisLabel(s, f, 0, M, fmt("%7.1f", pairChart ? 2 * a.BodyEnergy : 0.0), Red);
    auto columnLines = [&] {
        for (int c = 1; c <= 6; ++c) s.line(xc(c), idiv(H, 20), xc(c), H - idiv(H, 20) * 2, Grey, grid, Qt::DotLine);
    };
    columnLines();

    // Monochrome paper keeps the two series apart by shape: circles for the first.
    auto marker = [&](QPoint p, const QColor& c, bool round) {
        if (round)
            s.ellipse(p.x() - half, p.y() - half, p.x() + half, p.y() + half, c);
        else
            s.fillRect(p.x() - half, p.y() - half, p.x() + half, p.y() + half, c);
    };
    const bool firstRound = pairChart && f.monochrome();
    const SixSeries v = sixValues(a, kind);
    auto series = [&](const std::array<double, 6>& values, const QColor& square, const QColor& lineColour,
                      Qt::PenStyle style, bool round) {
        QVector<QPoint> pts;
        for (int c = 1; c <= 6; ++c) pts << QPoint(xc(c), r(M - pointScale * values[size_t(c - 1)]));
        s.polyline(pts, lineColour, polyline, style);
        for (const QPoint& p : pts) marker(p, square, round);
    };
    if (pairChart) {
        series(v.first, Red, Black, Qt::DotLine, firstRound);
        series(v.second, Green, Blue, Qt::SolidLine, false);
    } else {
        // Paper prints the controlling points green, as the generating ones.
        series(v.first, kind == Six::Generating || f.paper ? Green : Red, Navy, Qt::DotLine, false);
    }

    // Warning triangles over columns out of balance.
    const int tipY = f.off(1, 1), baseY = f.off(17, 4), wing = f.off(8, 2);
    for (int c = 1; c <= 6; ++c) {
        double amount;
        double from, to;
        if (pairChart) {
            amount = std::fabs(v.first[size_t(c - 1)] - v.second[size_t(c - 1)]);
            from = 2 * (b.UpperInnerLimit + b.LowerInnerLimit);
            to = 2 * (b.UpperOuterLimit + b.LowerOuterLimit);
        } else {
            amount = std::fabs(v.first[size_t(c - 1)]);
            from = b.UpperInnerLimit + b.LowerInnerLimit;
            to = b.UpperOuterLimit + b.LowerOuterLimit;
        }
        if (amount >= from)
            s.polygon({QPoint(xc(c) + wing, baseY), QPoint(xc(c), tipY), QPoint(xc(c) - wing, baseY)}, amount < to ? Yellow : Red);
    }

    // Band lines, on the scale of the yin-yang chart in all four.
    const double k = pairChart ? 2.0 : 1.0;
    const double bs = H / 200.0;
    const int band = f.pen(1, 1.0 / 5);
    s.line(L, r(M - bs * k * b.UpperOuterLimit), L + W, r(M - bs * k * b.UpperOuterLimit), Red, band, Qt::DotLine);
    s.line(L, r(M + bs * k * b.LowerOuterLimit), L + W, r(M + bs * k * b.LowerOuterLimit), Red, band, Qt::DotLine);
    s.line(L, r(M - bs * k * b.UpperInnerLimit), L + W, r(M - bs * k * b.UpperInnerLimit), Olive, band, Qt::DotLine);
    s.line(L, r(M + bs * k * b.LowerInnerLimit), L + W, r(M + bs * k * b.LowerInnerLimit), Olive, band, Qt::DotLine);

    for (int j = 1; j <= 19; ++j) {
        if (j == 10) continue;
        const int y = r(H / 20.0 * j);
        s.line(L, y, L + idiv(W, 80), y, Black, f.pen(1, 1.0 / 6));
        const QString text = j < 10 ? QStringLiteral("+") + fmt("%4d", 100 - 10 * j) : QStringLiteral("-") + fmt("%4d", 10 * j - 100);
        if (f.paper)
            axisLabel(s, f, 0, y, text, Black);
        else
            s.text(5, r(H / 20.0 * j - 8), text, Black);
    }

    static const char* const columns[6] = {" 【 木 】", "【君火】", "【相火】", " 【 土 】", " 【 金 】", " 【 水 】"};
    static const char* const columnsCtrl[6] = {" 【 金 】", " 【 木 】", " 【 土 】", " 【 水 】", "【君火】", "【相火】"};
    static const char* const first[6] = {" 肝  經", " 心  經", "心包經", " 脾  經", " 肺  經", " 腎  經"};
    static const char* const second[6] = {" 膽  經", "小腸經", "三焦經", " 胃  經", "大腸經", "膀胱經"};
    static const char* const firstCtrl[6] = {" 肺  經", " 肝  經", " 脾  經", " 腎  經", " 心  經", "心包經"};
    static const char* const secondCtrl[6] = {"大腸經", " 膽  經", " 胃  經", "膀胱經", "小腸經", "三焦經"};
    const bool ctrl = kind == Six::Controlling;
    for (int c = 1; c <= 6; ++c) {
        const char* one = (ctrl ? firstCtrl : first)[c - 1];
        const char* two = (ctrl ? secondCtrl : second)[c - 1];
        const char* element = (ctrl ? columnsCtrl : columns)[c - 1];
        if (f.paper) {
            // Three centred rows; every variant prints red, green and blue.
            centredText(s, xc(c), H - f.mm(12), label(one, f), Red);
            centredText(s, xc(c), H - f.mm(8), label(two, f), Green);
            centredText(s, xc(c), H - f.mm(4), label(element, f), Blue);
            continue;
        }
        const QColor firstColour = kind == Six::YinYang ? Red : pairChart ? Green : Maroon;
        const QColor secondColour = pairChart ? Green : Maroon;
        s.text(xc(c) - 20, H - 50, u(one), firstColour);
        s.text(xc(c) - 20, H - 34, u(two), secondColour);
        s.text(xc(c) - 28, H - 16, u(element), Blue);
    }
    columnLines();

    if (!pairChart) return;
    const QString firstText = u(kind == Six::YinYang ? "陰臟" : "左側");
    const QString secondText = u(kind == Six::YinYang ? "陽腑" : "右側");
    if (f.paper) {
        // Inside the box near its right end, measured from the page's 150 mm mark.
        const int mark = f.mm(150 - f.paper->boxLeftMm);
        const int x1 = mark - f.mm(18), x2 = mark - f.mm(10), centre = (x1 + x2) / 2;
        const int y1 = f.mm(7), y2 = f.mm(14);
        const int textDrop = s.textHeight() / 2;
        s.line(x1, y1, x2, y1, Black, polyline, Qt::DotLine);
        marker(QPoint(centre, y1), Red, firstRound);
        s.text(mark - f.mm(6), y1 - textDrop, firstText, Red);
        s.line(x1, y2, x2, y2, Blue, polyline, Qt::SolidLine);
        marker(QPoint(centre, y2), Green, false);
        s.text(mark - f.mm(6), y2 - textDrop, secondText, Green);
        return;
    }
    const int X = W; // placed from W, not from L + W
    s.line(X - 100, 45, X - 60, 45, Black, 1, Qt::DotLine);
    s.fillRect(X - 84, 40, X - 76, 50, Red);
    s.text(X - 45, 39, firstText, Red);
    s.line(X - 100, 80, X - 60, 80, Blue, 1, Qt::SolidLine);
    s.fillRect(X - 84, 75, X - 76, 85, Green);
    s.text(X - 45, 74, secondText, Green);
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
            s.line(x, idiv(H, 17) - f.off(10, 2), x, H, i == 12 ? Grey : Blue, i == 12 ? f.pen(2, 1.0 / 4) : f.pen(1, 1.0 / 6));
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
            s.fillRect(r(W / 24.0 * (slot - 1)) + f.mm(0.5) + L, top - f.mm(0.5), r(W / 24.0 * slot) + L, top + f.mm(0.5), c);
        else
            s.fillRect(r(W / 24.0 * (slot - 1) + 3) + 50, r(top - 2.0), r(W / 24.0 * (slot - 1) + W / 24.0) + 50, r(top + 3.0), c);
    }
    s.keepColours(false);
}

// The eight three-meridian group sums against three times the body energy.
void paintAutonomic(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    const int L = f.L, W = f.W, H = f.H;
    auto xj = [&](int j) { return L + r(W / 8.0 * (j - 1) + W / 16.0); };
    auto yOf = [&](double g) { return r(H / 2.0 - H / 200.0 * (g - 3 * a.BodyEnergy)); };
    s.line(L, 0, L, H, Black, f.pen(3, 1.0 / 3));
    s.line(L, idiv(H, 2), W + L, idiv(H, 2), Black, f.pen(2, 1.0 / 4));
    for (int i = 1; i <= 8; ++i) {
        const int x = r(W / 8.0 * i) + L;
        if (i % 2)
            s.line(x, idiv(H, 17), x, H - f.off(15, 3), Grey, f.pen(1, 1.0 / 8), Qt::DotLine);
        else
            s.line(x, idiv(H, 17) - f.off(10, 2), x, H, i == 4 ? Grey : Blue, i == 4 ? f.pen(2, 1.0 / 4) : f.pen(1, 1.0 / 6));
    }
    for (int i = 0; i <= 19; ++i) {
        const int y = H - r(H / 20.0 * i);
        s.line(L, y, L + idiv(W, 80), y, Black, f.pen(1, 1.0 / 6));
        const int x = f.paper ? L - f.mm(10) : 2;
        const int ty = f.paper ? y - f.mm(2) : y - 7;
        if (i >= 1 && i <= 9) s.text(x, ty, QStringLiteral(" -") + fmt("%3d", 100 - 10 * i), Black);
        if (i >= 11) s.text(x, ty, QStringLiteral(" +") + fmt("%3d", 10 * i - 100), Black);
    }
    if (f.paper)
        s.text(L - f.mm(12), idiv(H, 2) - f.mm(2), fmt("%7.1f", 3 * a.BodyEnergy), Red);
    else
        s.text(0, idiv(H, 2) - 7, fmt("%7.1f", 3 * a.BodyEnergy), Red);

    // The texts under the columns and the balance line keep their colours on
    // monochrome paper.
    s.keepColours(f.paper != nullptr);
    const char* const limbs[4] = {"左  手", "右  手", "左  腳", "右  腳"};
    for (int j = 1; j <= 8; ++j) {
        const QString sum = fmt("%7.1f", a.GroupSum[size_t(j - 1)]);
        const QString side = u(j % 2 ? "三  陰" : "三  陽");
        if (f.paper) {
            s.text(xj(j) - f.mm(6), H - f.mm(12), sum.trimmed(), Red);
            s.text(xj(j) - f.mm(4), H - f.mm(8), side, Green);
        } else {
            const int xt = r(W / 16.0 * (2 * j - 1));
            s.text(xt + 30, H - 45, sum, Red);
            s.text(xt + 36, H - 30, side, Green);
        }
    }
    for (int q = 1, i = 0; q <= 7; q += 2, ++i) {
        if (f.paper)
            s.text(L + r(W / 8.0 * q) - f.mm(4), H - f.mm(4), u(limbs[i]), Blue);
        else
            s.text(r(W / 8.0 * q) + 36, H - 15, u(limbs[i]), Blue);
    }
    const QString balance = QStringLiteral("Max [") + fmt("%6.1f", a.GroupMax) + QStringLiteral("] / Min [") + fmt("%6.1f", a.GroupMin) +
                            QStringLiteral("] =  ") + fmt("%6.3f", a.GroupMax / a.GroupMin) + QStringLiteral("   Range  [1.0 ~ 1.5]");
    if (f.paper)
        s.text(L + r(W / 4.0) - f.mm(6), 0, balance, Red);
    else
        s.text(r(W / 2.0) + 80, 0, balance, Red);
    s.keepColours(false);

    QVector<QPoint> pts;
    for (int j = 1; j <= 8; ++j) pts << QPoint(xj(j), yOf(a.GroupSum[size_t(j - 1)]));
    const int polyline = f.pen(1, 1.0 / 5);
    s.polyline(pts, Maroon, polyline, Qt::DotLine);
    const int half = f.off(4, 1);
    for (const QPoint& p : pts) s.fillRect(p.x() - half, p.y() - half, p.x() + half, p.y() + half, Green);
    s.line(L, yOf(a.GroupMax), W + L, yOf(a.GroupMax), Red, polyline, Qt::DotLine);
    s.line(L, yOf(a.GroupMin), W + L, yOf(a.GroupMin), Red, polyline, Qt::DotLine);
}

void paint(int chart, const EnergyAnalysis& a, ChartSurface& s, const Frame& f)
{
    switch (chart) {
    case 1: paintBars(s, a, f); break;
    case 2: paintCurve(s, a, f); break;
    case 3: paintSix(s, a, f, Six::YinYang); break;
    case 4: paintSix(s, a, f, Six::QiBlood); break;
    case 5: paintSix(s, a, f, Six::Generating); break;
    case 6: paintSix(s, a, f, Six::Controlling); break;
    case 8: paintRyodoraku(s, a, f); break;
    case 9: paintAutonomic(s, a, f); break;
    }
}

} // namespace

int slotPoint(int slot)
{
    static const int order[24] = {1, 7, 2, 8, 3, 9, 4, 10, 5, 11, 6, 12, 13, 19, 14, 20, 15, 21, 16, 22, 17, 23, 18, 24};
    return order[std::clamp(slot, 1, 24) - 1];
}

QColor bandColour(int mark)
{
    const int m = std::abs(mark);
    return m == 0 ? Green : m == 1 ? Yellow : Red;
}

Qt::BrushStyle bandHatch(int mark)
{
    const int m = std::abs(mark);
    // cross hatch for normal, rising diagonals for fair, falling for poor
    return m == 0 ? Qt::DiagCrossPattern : m == 1 ? Qt::BDiagPattern : Qt::FDiagPattern;
}

bool isChartNumber(int chart) { return (chart >= 1 && chart <= 6) || chart == 8 || chart == 9; }

QString chartTitle(int chart)
{
    switch (chart) {
    case 1: return u("經絡虛實分析圖-長條");
    case 2: return u("經絡虛實分析圖-曲線");
    case 3: return u("經絡陰陽分析圖");
    case 4: return u("經絡氣血分析圖");
    case 5: return u("經絡五行相生分析圖");
    case 6: return u("經絡五行相剋分析圖");
    case 8: return u("良導絡分析圖");
    case 9: return u("自律神經平衡圖");
    }
    return QString();
}

QString chartStatusText(int chart)
{
    switch (chart) {
    case 3: return u("本圖為比較陰臟與陽腑間的氣血平衡狀態，兩點之間差距越小越好.");
    case 4: return u("本圖為比較身體左側與右側表裡經絡的氣血平衡狀態，兩點之間差距越小越好.");
    case 5: return u("本圖為比較身體十二經絡之五行相生能量狀態.");
    case 6: return u("本圖為比較身體十二經絡之五行相剋能量狀態.");
    case 9: return u("本圖為比較身體三陰三陽氣血平衡狀態.");
    }
    return u("【平均體能】為基準中線的數據,每一受測者均不相同.");
}

QString paintChart(int chart, const EnergyAnalysis& a, ChartSurface& s, int width, int height)
{
    if (!isChartNumber(chart)) return QString();
    // Ryodoraku keeps the bottom 50 pixels for its labels.
    const int plotHeight = chart == 8 ? height - 50 : height;
    paint(chart, a, s, Frame{50, width - 50, plotHeight, height / 2});
    return chartTitle(chart);
}

int PrintedChartSetting::mm(double millimetres) const { return int(rnd(dpi * millimetres / 25.4)); }

void paintPrintedChart(int chart, const EnergyAnalysis& a, ChartSurface& s, const PrintedChartSetting& paper)
{
    if (!isChartNumber(chart)) return;
    const int W = paper.mm(150), H = paper.mm(90);
    const Frame f{0, W, H, H / 2, &paper};
    const QColor black(Qt::black), olive = Olive, yellow = Yellow;
    const bool yellowAsOlive = chart >= 1 && chart <= 4;
    if (paper.monochrome)
        s.setColourFilter([black](const QColor&) { return black; });
    else if (yellowAsOlive) // fair yellow would vanish on white paper
        s.setColourFilter([olive, yellow](const QColor& c) { return c == yellow ? olive : c; });
    else
        s.setColourFilter(nullptr);
    s.setOpaqueHatch(true);
    s.setHatchScale(paper.dpi / 96.0, std::max(1, paper.mm(1.0 / 8))); // the screen's spacing at 96 pixels per inch
    paint(chart, a, s, f);
}

QImage renderChart(int chart, const EnergyAnalysis& a, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QGuiApplication::palette().color(QPalette::Button));
    QPainter p(&image);
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(11);
    p.setFont(font);
    ChartSurface s(p);
    paintChart(chart, a, s, width, height);
    return image;
}

} // namespace lumo
