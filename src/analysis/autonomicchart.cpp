#include "analysis/chartgeometry.h"

namespace lumo::charting {

using namespace chartcolour;

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
            s.line(x, idiv(H, 17) - f.off(10, 2), x, H, i == 4 ? Grey : Blue,
                   i == 4 ? f.pen(2, 1.0 / 4) : f.pen(1, 1.0 / 6));
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
    const QString balance = QStringLiteral("Max [") + fmt("%6.1f", a.GroupMax) + QStringLiteral("] / Min [") +
                            fmt("%6.1f", a.GroupMin) + QStringLiteral("] =  ") +
                            fmt("%6.3f", a.GroupMax / a.GroupMin) + QStringLiteral("   Range  [1.0 ~ 1.5]");
    if (f.paper)
        s.text(L + r(W / 4.0) - f.mm(6), 0, balance, Red);
    else
        s.text(r(W / 2.0) + 80, 0, balance, Red);
    s.keepColours(false);

    QVector<QPoint> pts;
    for (int j = 1; j <= 8; ++j)
        pts << QPoint(xj(j), yOf(a.GroupSum[size_t(j - 1)]));
    const int polyline = f.pen(1, 1.0 / 5);
    s.polyline(pts, Maroon, polyline, Qt::DotLine);
    const int half = f.off(4, 1);
    for (const QPoint& p : pts)
        s.fillRect(p.x() - half, p.y() - half, p.x() + half, p.y() + half, Green);
    s.line(L, yOf(a.GroupMax), W + L, yOf(a.GroupMax), Red, polyline, Qt::DotLine);
    s.line(L, yOf(a.GroupMin), W + L, yOf(a.GroupMin), Red, polyline, Qt::DotLine);
}

} // namespace lumo::charting
