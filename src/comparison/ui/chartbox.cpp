#include "comparison/ui/chartbox.h"

#include <QMouseEvent>
#include <QPainter>

namespace lumo {

ChartBox::ChartBox(const QFont& font, Painter painter, QWidget* parent)
    : QWidget(parent), m_painter(std::move(painter))
{
    setFont(font);
    setAutoFillBackground(false);
}

void ChartBox::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    p.setFont(font());
    ChartSurface s(p);
    m_painter(s, size());
}

void ChartBox::mousePressEvent(QMouseEvent* event)
{
    if (clicked && event->button() == Qt::LeftButton) clicked(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

} // namespace lumo
