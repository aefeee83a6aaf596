#pragma once
// The box a comparison or trend chart is drawn in. It draws the whole chart
// again on every paint, so covering and uncovering the window never leaves a
// hole; a click reports where it landed.

#include "analysis/chartsurface.h"

#include <QWidget>
#include <functional>

namespace lumo {

class ChartBox : public QWidget
{
public:
    using Painter = std::function<void(ChartSurface&, QSize)>;
    ChartBox(const QFont& font, Painter painter, QWidget* parent = nullptr);

    std::function<void(QPoint)> clicked;
    int paintCount() const { return m_paints; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    Painter m_painter;
    int m_paints = 0;
};

} // namespace lumo
