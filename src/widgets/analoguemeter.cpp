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
    QFont small = p.font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    p.setFont(small);
    const QFontMetrics fm = p.fontMetrics();
    // The caption has a strip of its own under the pivot; the scale's values
    // stand outside the arc, so nothing is written over anything else.
    const double captionTop = r.bottom() - fm.height() - 2;
    const QPointF centre(r.center().x() + 0.5, captionTop - 5);
    const double labelRoom = fm.height() + 4;
    const double radius =
        std::max(10.0, std::min(r.width() / 2.0 - fm.horizontalAdvance(QStringLiteral("-10")) - 8,
                                centre.y() - r.top() - labelRoom));
    const QRectF arc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(QPen(Qt::black, 1.2));
    p.drawArc(arc, int(EndAngle * 16), int((180 - 2 * EndAngle) * 16));
    for (int i = 0; i <= 10; ++i) {
        const double deg = 180 - EndAngle - i * (180 - 2 * EndAngle) / 10;
        const double inner = radius - (i % 5 == 0 ? 8 : 4);
        p.drawLine(onArc(centre, radius, deg), onArc(centre, inner, deg));
        if (i % 5 == 0) {
            const QString text = scaleText(minimum + (maximum - minimum) * i / 10);
            const QPointF at = onArc(centre, radius + fm.height() * 0.7, deg);
            const double w = fm.horizontalAdvance(text) + 4;
            p.drawText(QRectF(at.x() - w / 2, at.y() - fm.height() / 2.0, w, fm.height()), Qt::AlignCenter,
                       text);
        }
    }
    p.drawText(QRectF(r.left(), captionTop, r.width(), fm.height()), Qt::AlignCenter, caption);
    // The needle.
    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawLine(centre, onArc(centre, radius - 3, needleAngle(value, minimum, maximum)));
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
