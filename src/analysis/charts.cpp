#include "charts.h"

#include "../app/formats.h"

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

struct Frame
{
    int L, W, H, M;
};

const char* const kNames[12] = {" 肺  經", "心包經", " 心  經", "小腸經", "三焦經", "大腸經",
                                " 脾  經", " 肝  經", " 腎  經", "膀胱經", " 膽  經", " 胃  經"};
const char* const kElements[12] = {"  金", "相火", "君火", "君火", "相火", "  金", "  土", "  木", "  水", "  水", "  木", "  土"};

double D(const EnergyAnalysis& a, int p) { return a.Deviation[size_t(p - 1)]; }

// Deviation bars and curve share their frame: axes, divider, meridian lines,
// band lines, ticks and labels.
void deviationAxes(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    const int L = f.L, W = f.W, H = f.H, M = f.M;
    s.line(L, 0, L, H, Black, 3);
    s.line(L, M, L + W, M, Black, 3);
    s.text(0, M - 8, fmt("%7.1f", a.BodyEnergy), Navy);
    s.line(L + idiv(W, 2), H, L + idiv(W, 2), H - idiv(H, 10) * 8, Black, 2);
    for (int k = 1; k <= 12; ++k) {
        if (k != 6) {
            const int x = L + r(W / 12.0 * k);
            s.line(x, M, x, H, Navy, 1, Qt::DotLine);
        }
        const int cx = L + r(W / 24.0) + r(W / 12.0 * (k - 1));
        s.line(cx, M, cx, H - r(H / 10.0), Grey, 1, Qt::DotLine);
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
        s.line(f.L, y, f.L + f.W, y, l.colour, 1, Qt::DotLine);
        s.text(0, y - 8, (l.upper ? QStringLiteral("+") : QStringLiteral("-")) + fmt("%5.1f", l.limit), l.colour);
    }
}

void deviationTicksAndLabels(ChartSurface& s, const Frame& f)
{
    const int L = f.L, W = f.W, H = f.H;
    for (int j = 1; j <= 19; ++j) {
        if (j == 10) continue;
        const int y = r(H / 20.0 * j);
        s.line(L, y, L + idiv(W, 80), y, Black);
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

void paintBars(ChartSurface& s, const EnergyAnalysis& a, const Frame& f)
{
    deviationAxes(s, a, f);
    const double scale = f.M / a.BodyEnergy;
    for (int slot = 1; slot <= 24; ++slot) {
        const int p = slotPoint(slot);
        const double d = D(a, p);
        const int x1 = f.L + r(f.W / 24.0 * (slot - 1));
        const int x2 = r(f.W / 24.0 * slot + f.L);
        int y1 = f.M, y2 = f.M;
        if (d >= 0) {
            y1 = std::max(r(f.M - scale * d), 5); // raised no higher than y = 5
        } else {
            y2 = r(f.M + scale * -d);
            if (y2 > f.H) y2 = f.H - 5;
        }
        const int mark = a.PointMark[size_t(p - 1)];
        s.hatchedRect(x1, y1, x2, y2 + (y1 == y2 ? 1 : 0), Black, bandColour(mark), bandHatch(mark));
    }
    deviationBandLines(s, a, f);
    deviationTicksAndLabels(s, f);
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
        const int x = f.L + r(f.W / 24.0 * (slot - 1));
        line << QPoint(x + 15, y);
        squares.append({QRect(QPoint(x + 11, y - 4), QPoint(r(f.W / 24.0 * (slot - 1) + f.L + 19), y + 4)),
                        a.PointMark[size_t(p - 1)]});
    }
    s.polyline(line, Black, 1, Qt::DotLine);
    for (const auto& [rect, mark] : squares) s.fillRect(rect.left(), rect.top(), rect.right(), rect.bottom(), bandColour(mark));
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
    const int half = pairChart ? 4 : 6;
    const auto& b = a.band;
    auto xc = [&](int c) { return L + r(W / 6.0 * c) - r(W / 12.0); };

    s.line(L, 0, L, H, Black, 3);
    s.line(L, M, L + W, M, Black, 3);
    s.text(0, M - 8, fmt("%7.1f", pairChart ? 2 * a.BodyEnergy : 0.0), Red);
    auto columnLines = [&] {
        for (int c = 1; c <= 6; ++c) s.line(xc(c), idiv(H, 20), xc(c), H - idiv(H, 20) * 2, Grey, 1, Qt::DotLine);
    };
    columnLines();

    const SixSeries v = sixValues(a, kind);
    auto series = [&](const std::array<double, 6>& values, const QColor& square, const QColor& lineColour,
                      Qt::PenStyle style) {
        QVector<QPoint> pts;
        for (int c = 1; c <= 6; ++c) pts << QPoint(xc(c), r(M - pointScale * values[size_t(c - 1)]));
        s.polyline(pts, lineColour, 1, style);
        for (const QPoint& p : pts) s.fillRect(p.x() - half, p.y() - half, p.x() + half, p.y() + half, square);
    };
    if (kind == Six::YinYang || kind == Six::QiBlood) {
        series(v.first, Red, Black, Qt::DotLine);
        series(v.second, Green, Blue, Qt::SolidLine);
    } else {
        series(v.first, kind == Six::Generating ? Green : Red, Navy, Qt::DotLine);
    }

    // Warning triangles over columns out of balance.
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
            s.polygon({QPoint(xc(c) + 8, 17), QPoint(xc(c), 1), QPoint(xc(c) - 8, 17)}, amount < to ? Yellow : Red);
    }

    // Band lines, on the scale of the yin-yang chart in all four.
    const double k = pairChart ? 2.0 : 1.0;
    const double bs = H / 200.0;
    s.line(L, r(M - bs * k * b.UpperOuterLimit), L + W, r(M - bs * k * b.UpperOuterLimit), Red, 1, Qt::DotLine);
    s.line(L, r(M + bs * k * b.LowerOuterLimit), L + W, r(M + bs * k * b.LowerOuterLimit), Red, 1, Qt::DotLine);
    s.line(L, r(M - bs * k * b.UpperInnerLimit), L + W, r(M - bs * k * b.UpperInnerLimit), Olive, 1, Qt::DotLine);
    s.line(L, r(M + bs * k * b.LowerInnerLimit), L + W, r(M + bs * k * b.LowerInnerLimit), Olive, 1, Qt::DotLine);

    for (int j = 1; j <= 19; ++j) {
        if (j == 10) continue;
        const int y = r(H / 20.0 * j);
        s.line(L, y, L + idiv(W, 80), y, Black);
        const QString label = j < 10 ? QStringLiteral("+") + fmt("%4d", 100 - 10 * j) : QStringLiteral("-") + fmt("%4d", 10 * j - 100);
        s.text(5, r(H / 20.0 * j - 8), label, Black);
    }

    static const char* const columns[6] = {" 【 木 】", "【君火】", "【相火】", " 【 土 】", " 【 金 】", " 【 水 】"};
    static const char* const columnsCtrl[6] = {" 【 金 】", " 【 木 】", " 【 土 】", " 【 水 】", "【君火】", "【相火】"};
    static const char* const first[6] = {" 肝  經", " 心  經", "心包經", " 脾  經", " 肺  經", " 腎  經"};
    static const char* const second[6] = {" 膽  經", "小腸經", "三焦經", " 胃  經", "大腸經", "膀胱經"};
    static const char* const firstCtrl[6] = {" 肺  經", " 肝  經", " 脾  經", " 腎  經", " 心  經", "心包經"};
    static const char* const secondCtrl[6] = {"大腸經", " 膽  經", " 胃  經", "膀胱經", "小腸經", "三焦經"};
    const bool ctrl = kind == Six::Controlling;
    const QColor firstColour = kind == Six::YinYang ? Red : pairChart ? Green : Maroon;
    const QColor secondColour = pairChart ? Green : Maroon;
    for (int c = 1; c <= 6; ++c) {
        s.text(xc(c) - 20, H - 50, u((ctrl ? firstCtrl : first)[c - 1]), firstColour);
        s.text(xc(c) - 20, H - 34, u((ctrl ? secondCtrl : second)[c - 1]), secondColour);
        s.text(xc(c) - 28, H - 16, u((ctrl ? columnsCtrl : columns)[c - 1]), Blue);
    }
    columnLines();

    if (pairChart) {
        const int X = W; // placed from W, not from L + W
        s.line(X - 100, 45, X - 60, 45, Black, 1, Qt::DotLine);
        s.fillRect(X - 84, 40, X - 76, 50, Red);
        s.text(X - 45, 39, u(kind == Six::YinYang ? "陰臟" : "左側"), Red);
        s.line(X - 100, 80, X - 60, 80, Blue, 1, Qt::SolidLine);
        s.fillRect(X - 84, 75, X - 76, 85, Green);
        s.text(X - 45, 74, u(kind == Six::YinYang ? "陽腑" : "右側"), Green);
    }
}

void paintRyodoraku(ChartSurface& s, const EnergyAnalysis& a, int width, int height)
{
    const int W = width - 50, H = height - 50;
    s.line(50, 0, 50, H, Black, 3);
    for (int i = 1; i <= 24; ++i) {
        const int x = r(W / 24.0 * i) + 50;
        if (i % 2)
            s.line(x, idiv(H, 17), x, H, Grey, 1, Qt::DotLine);
        else
            s.line(x, idiv(H, 17) - 10, x, H, i == 12 ? Grey : Blue, i == 12 ? 2 : 1);
    }
    for (int i = 0; i <= 16; ++i) {
        const int y = H - r(H / 17.0 * i);
        s.line(50, y, 50 + idiv(W, 80), y, Black);
        s.text(2, y - 6, fmt("%3d", 10 * i), Navy);
    }
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
    const auto& b = a.band;
    const double be = a.BodyEnergy;
    auto band = [&](double energy, const QColor& c) {
        const int y = r(H - energy * H / 170.0);
        s.line(50, y, W + 50, y, c, 1, Qt::DotLine);
    };
    band(be + b.UpperOuterLimit, Red);
    band(be - b.LowerOuterLimit, Red);
    band(be + b.UpperInnerLimit, Olive);
    band(be - b.LowerInnerLimit, Olive);
    for (int slot = 1; slot <= 24; ++slot) {
        const int p = slotPoint(slot);
        const int top = H - r(H / 170.0 * a.Values[size_t(p - 1)]);
        s.fillRect(r(W / 24.0 * (slot - 1) + 3) + 50, r(top - 2.0), r(W / 24.0 * (slot - 1) + W / 24.0) + 50, r(top + 3.0),
                   bandColour(a.PointMark[size_t(p - 1)]));
    }
}

void paintAutonomic(ChartSurface& s, const EnergyAnalysis& a, int width, int height)
{
    const int W = width - 50, H = height;
    auto xj = [&](int j) { return 50 + r(W / 8.0 * (j - 1) + W / 16.0); };
    auto yOf = [&](double g) { return r(H / 2.0 - H / 200.0 * (g - 3 * a.BodyEnergy)); };
    s.line(50, 0, 50, H, Black, 3);
    s.line(50, idiv(H, 2), W + 50, idiv(H, 2), Black, 2);
    for (int i = 1; i <= 8; ++i) {
        const int x = r(W / 8.0 * i) + 50;
        if (i % 2)
            s.line(x, idiv(H, 17), x, H - 15, Grey, 1, Qt::DotLine);
        else
            s.line(x, idiv(H, 17) - 10, x, H, i == 4 ? Grey : Blue, i == 4 ? 2 : 1);
    }
    for (int i = 0; i <= 19; ++i) {
        const int y = H - r(H / 20.0 * i);
        s.line(50, y, 50 + idiv(W, 80), y, Black);
        if (i >= 1 && i <= 9) s.text(2, y - 7, QStringLiteral(" -") + fmt("%3d", 100 - 10 * i), Black);
        if (i >= 11) s.text(2, y - 7, QStringLiteral(" +") + fmt("%3d", 10 * i - 100), Black);
    }
    s.text(0, idiv(H, 2) - 7, fmt("%7.1f", 3 * a.BodyEnergy), Red);
    for (int j = 1; j <= 8; ++j) {
        const int xt = r(W / 16.0 * (2 * j - 1));
        s.text(xt + 30, H - 45, fmt("%7.1f", a.GroupSum[size_t(j - 1)]), Red);
        s.text(xt + 36, H - 30, u(j % 2 ? "三  陰" : "三  陽"), Green);
    }
    const char* const limbs[4] = {"左  手", "右  手", "左  腳", "右  腳"};
    for (int q = 1, i = 0; q <= 7; q += 2, ++i) s.text(r(W / 8.0 * q) + 36, H - 15, u(limbs[i]), Blue);
    s.text(r(W / 2.0) + 80, 0,
           QStringLiteral("Max [") + fmt("%6.1f", a.GroupMax) + QStringLiteral("] / Min [") + fmt("%6.1f", a.GroupMin) +
               QStringLiteral("] =  ") + fmt("%6.3f", a.GroupMax / a.GroupMin) + QStringLiteral("   Range  [1.0 ~ 1.5]"),
           Red);
    QVector<QPoint> pts;
    for (int j = 1; j <= 8; ++j) pts << QPoint(xj(j), yOf(a.GroupSum[size_t(j - 1)]));
    s.polyline(pts, Maroon, 1, Qt::DotLine);
    for (const QPoint& p : pts) s.fillRect(p.x() - 4, p.y() - 4, p.x() + 4, p.y() + 4, Green);
    s.line(50, yOf(a.GroupMax), W + 50, yOf(a.GroupMax), Red, 1, Qt::DotLine);
    s.line(50, yOf(a.GroupMin), W + 50, yOf(a.GroupMin), Red, 1, Qt::DotLine);
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
    const Frame f{50, width - 50, height, height / 2};
    switch (chart) {
    case 1: paintBars(s, a, f); break;
    case 2: paintCurve(s, a, f); break;
    case 3: paintSix(s, a, f, Six::YinYang); break;
    case 4: paintSix(s, a, f, Six::QiBlood); break;
    case 5: paintSix(s, a, f, Six::Generating); break;
    case 6: paintSix(s, a, f, Six::Controlling); break;
    case 8: paintRyodoraku(s, a, width, height); break;
    case 9: paintAutonomic(s, a, width, height); break;
    default: return QString();
    }
    return chartTitle(chart);
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
