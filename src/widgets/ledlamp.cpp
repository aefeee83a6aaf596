#include "widgets/ledlamp.h"

#include <QPainter>
#include <QRadialGradient>
#include <QTimer>

namespace lumo {

LedLamp::LedLamp(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this))
{
    setMinimumSize(12, 12);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_phase = !m_phase;
        update();
    });
}

void LedLamp::setColor(const QColor& c)
{
    m_color = c;
    update();
}

void LedLamp::setOn(bool on)
{
    m_on = on;
    m_phase = true;
    update();
}

void LedLamp::setBlinkInterval(int ms)
{
    m_blinkMs = ms;
    m_phase = true;
    if (ms > 0)
        m_timer->start(ms);
    else
        m_timer->stop();
    update();
}

void LedLamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(width(), height()) - 2;
    const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    const bool lit = m_on && m_phase;
    QColor c = lit ? m_color : m_color.darker(400);
    QRadialGradient g(r.center() - QPointF(d / 5.0, d / 5.0), d / 1.5);
    g.setColorAt(0, lit ? c.lighter(160) : c.lighter(130));
    g.setColorAt(1, c);
    p.setBrush(g);
    p.setPen(QPen(Qt::darkGray, 1));
    p.drawEllipse(r);
}

} // namespace lumo
