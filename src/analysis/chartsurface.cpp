#include "analysis/chartsurface.h"

#include <QFontMetrics>
#include <cmath>

namespace lumo {

ChartSurface::ChartSurface(QPainter& painter, QPoint origin) : m_p(painter), m_origin(origin)
{
    m_p.setRenderHint(QPainter::Antialiasing, false);
    m_p.setRenderHint(QPainter::TextAntialiasing, true);
}

QPen ChartSurface::pen(const QColor& c, int width, Qt::PenStyle style) const
{
    QPen p(filtered(c));
    p.setWidth(std::max(1, width));
    p.setStyle(style);
    p.setCapStyle(Qt::FlatCap);
    return p;
}

void ChartSurface::line(int x1, int y1, int x2, int y2, const QColor& c, int width, Qt::PenStyle style)
{
    m_p.setPen(pen(c, width, style));
    m_p.drawLine(QPoint(x1, y1) + m_origin, QPoint(x2, y2) + m_origin);
}

void ChartSurface::polyline(const QVector<QPoint>& points, const QColor& c, int width, Qt::PenStyle style)
{
    m_p.setPen(pen(c, width, style));
    QVector<QPoint> moved;
    moved.reserve(points.size());
    for (const QPoint& p : points)
        moved << p + m_origin;
    m_p.drawPolyline(moved.constData(), int(moved.size()));
}

void ChartSurface::fillRect(int x1, int y1, int x2, int y2, const QColor& c)
{
    const QRect r =
        QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2) - 1, std::max(y1, y2) - 1));
    if (r.isEmpty()) return;
    m_p.fillRect(r.translated(m_origin), filtered(c));
}

void ChartSurface::outlinedRect(int x1, int y1, int x2, int y2, const QColor& fill, const QColor& outline,
                                int ring)
{
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    fillRect(left, top, right, bottom, fill);
    fillRect(left - ring, top - ring, right + ring, top, outline);
    fillRect(left - ring, bottom, right + ring, bottom + ring, outline);
    fillRect(left - ring, top, left, bottom, outline);
    fillRect(right, top, right + ring, bottom, outline);
}

void ChartSurface::hatchedRect(int x1, int y1, int x2, int y2, const QColor& outline, const QColor& hatch,
                               Qt::BrushStyle style, int outlineWidth)
{
    const int left = std::min(x1, x2), right = std::max(x1, x2) - 1;
    const int top = std::min(y1, y2), bottom = std::max(y1, y2) - 1;
    const QRect r(QPoint(left, top) + m_origin, QPoint(right, std::max(bottom, top)) + m_origin);
    if (m_opaqueHatch) m_p.fillRect(r, Qt::white);
    if (m_hatchScale != 1.0) {
        hatchLines(r, filtered(hatch), style);
    } else {
        m_p.setBrushOrigin(m_origin);
        m_p.fillRect(r, QBrush(filtered(hatch), style));
    }
    m_p.setPen(pen(outline, outlineWidth, Qt::SolidLine));
    m_p.setBrush(Qt::NoBrush);
    // The outline sits on the outer pixels; a rectangle of no height is a line.
    m_p.drawRect(QRect(r.topLeft(), QSize(r.width() - 1, std::max(0, r.height() - 1))));
}

void ChartSurface::hatchLines(const QRect& r, const QColor& c, Qt::BrushStyle style)
{
    const int step = std::max(2, int(8 * m_hatchScale + 0.5));
    // On a diagonal grid fixed to the chart's origin, so neighbouring bars line up.
    auto aligned = [step](int v, int origin) {
        return origin + int(std::floor(double(v - origin) / step)) * step;
    };
    const int top = r.top(), bottom = r.bottom() + 1, left = r.left(), right = r.right() + 1;
    m_p.save();
    m_p.setClipRect(r, Qt::IntersectClip);
    m_p.setPen(pen(c, m_hatchWidth, Qt::SolidLine));
    if (style == Qt::BDiagPattern || style == Qt::DiagCrossPattern) { // rising: x + y constant
        for (int k = aligned(left + top, m_origin.x() + m_origin.y()); k <= right + bottom; k += step)
            m_p.drawLine(QPoint(k - bottom, bottom), QPoint(k - top, top));
    }
    if (style == Qt::FDiagPattern || style == Qt::DiagCrossPattern) { // falling: x - y constant
        for (int k = aligned(left - bottom, m_origin.x() - m_origin.y()); k <= right - top; k += step)
            m_p.drawLine(QPoint(k + top, top), QPoint(k + bottom, bottom));
    }
    m_p.restore();
}

void ChartSurface::polygon(const QVector<QPoint>& points, const QColor& c)
{
    QVector<QPoint> moved;
    for (const QPoint& p : points)
        moved << p + m_origin;
    m_p.setPen(Qt::NoPen);
    m_p.setBrush(filtered(c));
    m_p.drawPolygon(moved.constData(), int(moved.size()));
    m_p.setBrush(Qt::NoBrush);
}

void ChartSurface::ellipse(int x1, int y1, int x2, int y2, const QColor& c)
{
    m_p.setPen(Qt::NoPen);
    m_p.setBrush(filtered(c));
    m_p.drawEllipse(QRect(QPoint(x1, y1) + m_origin, QPoint(x2 - 1, y2 - 1) + m_origin));
    m_p.setBrush(Qt::NoBrush);
}

void ChartSurface::text(int x, int y, const QString& s, const QColor& c)
{
    m_p.setPen(filtered(c));
    const QFontMetrics fm = m_p.fontMetrics();
    m_p.drawText(QPoint(x, y + fm.ascent()) + m_origin, s);
}

// Metrics of the painter's device: a printer's font differs from the screen's.
int ChartSurface::textWidth(const QString& s) const
{
    return m_p.fontMetrics().horizontalAdvance(s);
}

int ChartSurface::textHeight() const
{
    return m_p.fontMetrics().height();
}

} // namespace lumo
