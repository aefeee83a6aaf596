#include "analysis/chartgeometry.h"

namespace lumo {

int PrintedChartSetting::mm(double millimetres) const
{
    return int(rnd(dpi * millimetres / 25.4));
}

namespace charting {

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

void axisLabel(ChartSurface& s, const Frame& f, int screenX, int y, const QString& t, const QColor& c)
{
    if (!f.paper) {
        s.text(screenX, y - 8, t, c);
        return;
    }
    const QString trimmed = t.trimmed();
    s.text(f.L - f.mm(3) - s.textWidth(trimmed), y - f.mm(2), trimmed, c);
}

} // namespace charting
} // namespace lumo
