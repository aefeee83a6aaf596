#include "widgets/balancegraph.h"

#include <QPainter>

namespace lumo {

BalanceGraph::BalanceGraph(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(300, 100);
}

void BalanceGraph::paintBackground(QPainter& p, int w, int h)
{
    const QColor light(0, 255, 0);
    p.fillRect(0, 0, w, h, Qt::black);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(light, 1, Qt::DotLine));
    for (int i = 1; i <= 19; ++i)
        p.drawLine(i * w / 20, 3, i * w / 20, h - 3);
    for (int i = 1; i <= 5; ++i)
        p.drawLine(3, i * h / 6, w - 3, i * h / 6);
    p.setPen(QPen(light, 1, Qt::SolidLine));
    p.drawLine(10 * w / 20, 3, 10 * w / 20, h - 3);
    p.drawLine(3, 3 * h / 6, w - 3, 3 * h / 6);
    const int yMid = 12 * h / 24, xMid = 25 * w / 50;
    for (int i = 1; i < 50; ++i)
        p.drawLine(i * w / 50, yMid - 2, i * w / 50, yMid + 2);
    for (int i = 1; i < 24; ++i)
        p.drawLine(xMid - 2, i * h / 24, xMid + 2, i * h / 24);
    p.setPen(QPen(QColor(192, 220, 192), 5));
    p.drawRect(QRectF(2.5, 2.5, w - 5, h - 5));
}

void BalanceGraph::clearTrace()
{
    m_trace = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_trace.fill(Qt::transparent);
    update();
}

void BalanceGraph::traceLine(QPoint from, QPoint to)
{
    if (m_trace.size() != size()) clearTrace();
    QPainter p(&m_trace);
    p.setPen(QPen(QColor(255, 0, 0), 2, Qt::DotLine));
    p.drawLine(from, to);
    update();
}

void BalanceGraph::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintBackground(p, width(), height());
    if (!m_trace.isNull()) p.drawImage(0, 0, m_trace);
    p.setPen(QColor(0, 255, 0));
    p.drawText(8, 16, QStringLiteral("Scale: 10uA"));
}

void BalanceGraph::resizeEvent(QResizeEvent*)
{
    clearTrace();
}

} // namespace lumo
