#pragma once
// A horizontal meter of lit segments in three zones: 67 green, 20 yellow and
// 20 red. Each zone spans a range of values of its own, so the meter shows how
// far a value has come towards a target (the yellow and red zones are the last
// fifth before it).

#include <QWidget>

namespace lumo {

class SegmentMeter : public QWidget
{
    Q_OBJECT
public:
    static constexpr int GreenSegments = 67;
    static constexpr int YellowSegments = 20;
    static constexpr int RedSegments = 20;
    static constexpr int Segments = GreenSegments + YellowSegments + RedSegments;

    explicit SegmentMeter(QWidget* parent = nullptr);
    // The value spans of the three zones, one after the other from 0.
    void setZones(int green, int yellow, int red);
    void setValue(int value);
    int value() const { return m_value; }
    int litCount() const { return litSegments(m_value, m_green, m_yellow, m_red); }
    QSize sizeHint() const override { return {428, 22}; }

    // How many segments, from the left, a value lights: a segment lights once
    // the value reaches its upper end; a zone without a span lights none.
    static int litSegments(int value, int green, int yellow, int red);
    static void paint(QPainter& p, const QRect& r, int lit);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_green = 0, m_yellow = 0, m_red = 0;
    int m_value = 0;
};

} // namespace lumo
