#include "widgets/analoguemeter.h"

#include <QPainter>
#include <QtMath>
#include <algorithm>

namespace lumo {
namespace {
constexpr double EndAngle = 40; // the scale runs from 180 - 40 to 40 degrees
QPointF onArc(QPointF centre, double radius, double degrees)
{
    const double a = qDegreesToRadians(degrees);
    return centre + QPointF(radius * std::cos(a), -radius * std::sin(a));
}
QString scaleText(double v)
{
    return QString::number(v, 'g', 6);
}
} // namespace

AnalogueMeter::AnalogueMeter(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(120, 80);
}

void AnalogueMeter::setRange(double minimum, double maximum)
{
    m_min = minimum;
    m_max = maximum > minimum ? maximum : minimum + 1;
    update();
}

void AnalogueMeter::setValue(double v)
{
    if (v == m_value) return;
    m_value = v;
    update();
}

void AnalogueMeter::setCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

double AnalogueMeter::needleAngle(double value, double minimum, double maximum)
{
    const double share = std::clamp((value - minimum) / (maximum - minimum), 0.0, 1.0);
    return 180 - EndAngle - share * (180 - 2 * EndAngle);
}

void AnalogueMeter::paint(QPainter& p, const QRect& r, double value, double minimum, double maximum,
                          const QString& caption)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(r, QColor(255, 255, 240));
    p.setPen(QPen(Qt::gray, 1));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const QFontMetrics fm = p.fontMetrics();
    const double radius = std::min(r.width() / 2.0 - 8, r.height() - fm.height() - 12.0);
    const QPointF centre(r.center().x() + 0.5, r.bottom() - fm.height() / 2.0 - 4);
    // The scale: the arc, eleven ticks, the end and middle values.
    const QRectF arc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(QPen(Qt::black, 1.2));
    p.drawArc(arc, int(EndAngle * 16), int((180 - 2 * EndAngle) * 16));
    QFont small = p.font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    p.setFont(small);
    for (int i = 0; i <= 10; ++i) {
        const double deg = 180 - EndAngle - i * (180 - 2 * EndAngle) / 10;
        const double inner = radius - (i % 5 == 0 ? 8 : 4);
        p.drawLine(onArc(centre, radius, deg), onArc(centre, inner, deg));
        if (i % 5 == 0) {
            const double v = minimum + (maximum - minimum) * i / 10;
            const QPointF at = onArc(centre, radius - 18, deg);
            p.drawText(QRectF(at.x() - 30, at.y() - 8, 60, 16), Qt::AlignCenter, scaleText(v));
        }
    }
    p.drawText(QRectF(r.left(), centre.y() - radius * 0.45 - 8, r.width(), 16), Qt::AlignCenter, caption);
    // The needle.
    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawLine(centre, onArc(centre, radius - 2, needleAngle(value, minimum, maximum)));
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, 3, 3);
    p.restore();
}

void AnalogueMeter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paint(p, rect(), m_value, m_min, m_max, m_caption);
}

} // namespace lumo
