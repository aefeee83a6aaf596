#include "widgets/gradientbar.h"

#include <QLinearGradient>
#include <QPainter>

namespace lumo {

GradientBar::GradientBar(QWidget* parent) : QWidget(parent) { setMinimumHeight(12); }

void GradientBar::setRange(int maximum)
{
    m_max = std::max(maximum, 1);
    update();
}

void GradientBar::setValue(int v)
{
    m_value = v;
    update();
}

void GradientBar::setEndColor(const QColor& c)
{
    m_end = c;
    update();
}

void GradientBar::setShowPercentage(bool on)
{
    m_percentage = on;
    update();
}

void GradientBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    p.fillRect(frame, palette().base());
    // Values above the maximum show a full bar.
    const double share = std::clamp(double(m_value) / m_max, 0.0, 1.0);
    const int w = int(share * (frame.width() - 1));
    if (w > 0) {
        QLinearGradient g(frame.topLeft(), frame.topRight());
        g.setColorAt(0, Qt::white);
        g.setColorAt(1, m_end);
        p.fillRect(QRect(frame.left() + 1, frame.top() + 1, w, frame.height() - 1), g);
    }
    p.setPen(Qt::gray);
    p.drawRect(frame);
    if (m_percentage) {
        p.setPen(Qt::black);
        p.drawText(frame, Qt::AlignCenter, QStringLiteral("%1%").arg(int(share * 100)));
    }
}

} // namespace lumo
