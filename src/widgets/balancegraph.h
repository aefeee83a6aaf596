#pragma once
// The balance graph of the measurement screen: a light green grid with tick
// marks and a frame, and the stability trace drawn over it during a reading.

#include <QImage>
#include <QWidget>

namespace lumo {

class BalanceGraph : public QWidget
{
    Q_OBJECT
public:
    explicit BalanceGraph(QWidget* parent = nullptr);
    void clearTrace();
    void traceLine(QPoint from, QPoint to);
    QSize sizeHint() const override { return {500, 110}; }
    const QImage& trace() const { return m_trace; }

    // Draws the background into a painter of the given size.
    static void paintBackground(QPainter& p, int width, int height);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    QImage m_trace; // transparent, the lines of the current reading
};

} // namespace lumo
