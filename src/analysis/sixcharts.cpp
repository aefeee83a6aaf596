#include "analysis/chartgeometry.h"

namespace lumo::charting {

using namespace chartcolour;

namespace {

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
    std::array<double, 6> generating = {
        (d(14) + d(20) + d(17) + d(23)) / 1.8, (d(3) + d(9) + d(4) + d(10)) / 1.8,
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

// One six-column chart being drawn: what its steps share.
struct SixChart
{
    ChartSurface& s;
    const EnergyAnalysis& a;
    const Frame& f;
    Six kind;
    bool pairChart;  // yin-yang and qi-blood: two series, on twice the scale
    int half;        // half a marker's side
    bool firstRound; // monochrome paper keeps the two series apart by shape: circles for the first
    SixSeries v;

    int xc(int c) const { return f.L + r(f.W / 6.0 * c) - r(f.W / 12.0); }
    int polylinePen() const { return f.pen(1, 1.0 / 5); }
    void axes() const;
    void columnLines() const;
    void marker(QPoint p, const QColor& c, bool round) const;
    void series(const std::array<double, 6>& values, const QColor& square, const QColor& lineColour,
                Qt::PenStyle style, bool round) const;
    void points() const;
    void warnings() const;
    void bandsAndScale() const;
    void columnLabels() const;
    void legend() const;
};

void SixChart::axes() const
{
    s.line(f.L, 0, f.L, f.H, Black, f.pen(3, 1.0 / 5));
    s.line(f.L, f.M, f.L + f.W, f.M, Black, f.pen(3, 1.0 / 5));
    axisLabel(s, f, 0, f.M, fmt("%7.1f", pairChart ? 2 * a.BodyEnergy : 0.0), Red);
}

void SixChart::columnLines() const
{
    const int grid = f.pen(1, 1.0 / 8);
    for (int c = 1; c <= 6; ++c)
        s.line(xc(c), idiv(f.H, 20), xc(c), f.H - idiv(f.H, 20) * 2, Grey, grid, Qt::DotLine);
}

void SixChart::marker(QPoint p, const QColor& c, bool round) const
{
    if (round)
        s.ellipse(p.x() - half, p.y() - half, p.x() + half, p.y() + half, c);
    else
        s.fillRect(p.x() - half, p.y() - half, p.x() + half, p.y() + half, c);
}

void SixChart::series(const std::array<double, 6>& values, const QColor& square, const QColor& lineColour,
                      Qt::PenStyle style, bool round) const
{
    const double pointScale = pairChart ? f.H / 200.0 : f.H / 400.0;
    QVector<QPoint> pts;
    for (int c = 1; c <= 6; ++c)
        pts << QPoint(xc(c), r(f.M - pointScale * values[size_t(c - 1)]));
    s.polyline(pts, lineColour, polylinePen(), style);
    for (const QPoint& p : pts)
        marker(p, square, round);
}

void SixChart::points() const
{
    if (pairChart) {
        series(v.first, Red, Black, Qt::DotLine, firstRound);
        series(v.second, Green, Blue, Qt::SolidLine, false);
    } else {
        // Paper prints the controlling points green, as the generating ones.
        series(v.first, kind == Six::Generating || f.paper ? Green : Red, Navy, Qt::DotLine, false);
    }
}

// Warning triangles over columns out of balance.
void SixChart::warnings() const
{
    const auto& b = a.band;
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
            s.polygon({QPoint(xc(c) + wing, baseY), QPoint(xc(c), tipY), QPoint(xc(c) - wing, baseY)},
                      amount < to ? Yellow : Red);
    }
}

// Band lines, on the scale of the yin-yang chart in all four, then the ticks
// and their percentages.
void SixChart::bandsAndScale() const
{
    const int L = f.L, W = f.W, H = f.H, M = f.M;
    const auto& b = a.band;
    const double k = pairChart ? 2.0 : 1.0;
    const double bs = H / 200.0;
    const int band = f.pen(1, 1.0 / 5);
    s.line(L, r(M - bs * k * b.UpperOuterLimit), L + W, r(M - bs * k * b.UpperOuterLimit), Red, band,
           Qt::DotLine);
    s.line(L, r(M + bs * k * b.LowerOuterLimit), L + W, r(M + bs * k * b.LowerOuterLimit), Red, band,
           Qt::DotLine);
    s.line(L, r(M - bs * k * b.UpperInnerLimit), L + W, r(M - bs * k * b.UpperInnerLimit), Olive, band,
           Qt::DotLine);
    s.line(L, r(M + bs * k * b.LowerInnerLimit), L + W, r(M + bs * k * b.LowerInnerLimit), Olive, band,
           Qt::DotLine);

    for (int j = 1; j <= 19; ++j) {
        if (j == 10) continue;
        const int y = r(H / 20.0 * j);
        s.line(L, y, L + idiv(W, 80), y, Black, f.pen(1, 1.0 / 6));
        const QString text = j < 10 ? QStringLiteral("+") + fmt("%4d", 100 - 10 * j)
                                    : QStringLiteral("-") + fmt("%4d", 10 * j - 100);
        if (f.paper)
            axisLabel(s, f, 0, y, text, Black);
        else
            s.text(5, r(H / 20.0 * j - 8), text, Black);
    }
}

// Under each column its two meridians and its element.
void SixChart::columnLabels() const
{
    static const char* const columns[6] = {" 【 木 】", "【君火】",  "【相火】",
                                           " 【 土 】", " 【 金 】", " 【 水 】"};
    static const char* const columnsCtrl[6] = {" 【 金 】", " 【 木 】", " 【 土 】",
                                               " 【 水 】", "【君火】",  "【相火】"};
    static const char* const first[6] = {" 肝  經", " 心  經", "心包經", " 脾  經", " 肺  經", " 腎  經"};
    static const char* const second[6] = {" 膽  經", "小腸經", "三焦經", " 胃  經", "大腸經", "膀胱經"};
    static const char* const firstCtrl[6] = {" 肺  經", " 肝  經", " 脾  經", " 腎  經", " 心  經", "心包經"};
    static const char* const secondCtrl[6] = {"大腸經", " 膽  經", " 胃  經", "膀胱經", "小腸經", "三焦經"};
    const bool ctrl = kind == Six::Controlling;
    const int H = f.H;
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
}

// The legend of the two series of the pair charts.
void SixChart::legend() const
{
    const QString firstText = u(kind == Six::YinYang ? "陰臟" : "左側");
    const QString secondText = u(kind == Six::YinYang ? "陽腑" : "右側");
    if (f.paper) {
        // Inside the box near its right end, measured from the page's 150 mm mark.
        const int mark = f.mm(150 - f.paper->boxLeftMm);
        const int x1 = mark - f.mm(18), x2 = mark - f.mm(10), centre = (x1 + x2) / 2;
        const int y1 = f.mm(7), y2 = f.mm(14);
        const int textDrop = s.textHeight() / 2;
        s.line(x1, y1, x2, y1, Black, polylinePen(), Qt::DotLine);
        marker(QPoint(centre, y1), Red, firstRound);
        s.text(mark - f.mm(6), y1 - textDrop, firstText, Red);
        s.line(x1, y2, x2, y2, Blue, polylinePen(), Qt::SolidLine);
        marker(QPoint(centre, y2), Green, false);
        s.text(mark - f.mm(6), y2 - textDrop, secondText, Green);
        return;
    }
    const int X = f.W; // placed from W, not from L + W
    s.line(X - 100, 45, X - 60, 45, Black, 1, Qt::DotLine);
    s.fillRect(X - 84, 40, X - 76, 50, Red);
    s.text(X - 45, 39, firstText, Red);
    s.line(X - 100, 80, X - 60, 80, Blue, 1, Qt::SolidLine);
    s.fillRect(X - 84, 75, X - 76, 85, Green);
    s.text(X - 45, 74, secondText, Green);
}

} // namespace

// The yin-yang, qi-blood, generating and controlling charts: six columns of
// meridian pairs.
void paintSix(ChartSurface& s, const EnergyAnalysis& a, const Frame& f, Six kind)
{
    const bool pairChart = kind == Six::YinYang || kind == Six::QiBlood;
    const SixChart chart{s,
                         a,
                         f,
                         kind,
                         pairChart,
                         f.paper     ? f.mm(1)
                         : pairChart ? 4
                                     : 6,
                         pairChart && f.monochrome(),
                         sixValues(a, kind)};
    chart.axes();
    chart.columnLines();
    chart.points();
    chart.warnings();
    chart.bandsAndScale();
    chart.columnLabels();
    chart.columnLines();
    if (pairChart) chart.legend();
}

} // namespace lumo::charting
