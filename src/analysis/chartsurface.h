#pragma once
// What a chart painter needs of a drawing surface: lines, polylines, filled and
// hatched rectangles, polygons and text, in integer coordinates relative to the
// chart's origin, without antialiasing so every rounded coordinate lands on
// its pixel. A colour filter lets a printout turn colours black.

#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QVector>
#include <functional>

namespace lumo {

namespace chartcolour {
inline const QColor Green(0, 128, 0);
inline const QColor Yellow(255, 255, 0);
inline const QColor Red(255, 0, 0);
inline const QColor Olive(128, 128, 0);
inline const QColor Navy(0, 0, 128);
inline const QColor Blue(0, 0, 255);
inline const QColor Maroon(128, 0, 0);
inline const QColor Grey(128, 128, 128);
inline const QColor Black(0, 0, 0);
} // namespace chartcolour

class ChartSurface
{
public:
    ChartSurface(QPainter& painter, QPoint origin = {});

    void setColourFilter(std::function<QColor(const QColor&)> f) { m_filter = std::move(f); }
    // Suspends the colour filter for the few marks a monochrome printout keeps in colour.
    void keepColours(bool on) { m_keepColours = on; }
    // Hatched shapes get an opaque white background (printing).
    void setOpaqueHatch(bool on) { m_opaqueHatch = on; }
    // The screen's hatch patterns are tiles of device pixels, far too fine on
    // a printer; a scale other than 1 draws the hatch as lines instead, spaced
    // as the screen's 8-pixel tiles times the scale, `width` wide.
    void setHatchScale(double s, int width = 1)
    {
        m_hatchScale = s;
        m_hatchWidth = width;
    }

    void line(int x1, int y1, int x2, int y2, const QColor& c, int width = 1,
              Qt::PenStyle style = Qt::SolidLine);
    void polyline(const QVector<QPoint>& points, const QColor& c, int width = 1,
                  Qt::PenStyle style = Qt::SolidLine);
    // The rectangle covers x1..x2-1 and y1..y2-1 (as a window's rectangle does).
    void fillRect(int x1, int y1, int x2, int y2, const QColor& c);
    // The same filled pixels with a ring `ring` pixels wide around them, so a
    // light fill stays visible on a light background.
    void outlinedRect(int x1, int y1, int x2, int y2, const QColor& fill, const QColor& outline,
                      int ring = 1);
    // An outline in `outline` around the same pixels, filled with the hatch.
    void hatchedRect(int x1, int y1, int x2, int y2, const QColor& outline, const QColor& hatch,
                     Qt::BrushStyle style, int outlineWidth = 1);
    void polygon(const QVector<QPoint>& points, const QColor& c);
    void ellipse(int x1, int y1, int x2, int y2, const QColor& c);
    // Text with its top-left corner at (x, y), transparent background.
    void text(int x, int y, const QString& s, const QColor& c);
    int textWidth(const QString& s) const;
    int textHeight() const;

    QPainter& painter() { return m_p; }

private:
    QColor filtered(const QColor& c) const { return m_filter && !m_keepColours ? m_filter(c) : c; }
    QPen pen(const QColor& c, int width, Qt::PenStyle style) const;
    QPainter& m_p;
    QPoint m_origin;
    std::function<QColor(const QColor&)> m_filter;
    bool m_keepColours = false;
    bool m_opaqueHatch = false;
    double m_hatchScale = 1.0;
    int m_hatchWidth = 1;
    void hatchLines(const QRect& r, const QColor& c, Qt::BrushStyle style);
};

} // namespace lumo
