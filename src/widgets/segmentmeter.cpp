#include "widgets/segmentmeter.h"

#include <QPainter>
#include <algorithm>

namespace lumo {

SegmentMeter::SegmentMeter(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(Segments * 2, 14);
}

void SegmentMeter::setZones(int green, int yellow, int red)
{
    if (green == m_green && yellow == m_yellow && red == m_red) return;
    m_green = green;
    m_yellow = yellow;
    m_red = red;
    update();
}

void SegmentMeter::setValue(int value)
{
    if (value == m_value) return;
    m_value = value;
    update();
}

int SegmentMeter::litSegments(int value, int green, int yellow, int red)
{
    const int spans[3] = {green, yellow, red};
    const int counts[3] = {GreenSegments, YellowSegments, RedSegments};
    int lit = 0;
    long long start = 0;
    for (int z = 0; z < 3; ++z) {
        if (spans[z] <= 0) return lit; // the zones above an empty one stay dark too
        const long long into = value - start;
        if (into < spans[z]) return lit + int(std::max<long long>(into, 0) * counts[z] / spans[z]);
        lit += counts[z];
        start += spans[z];
    }
    return lit;
}

void SegmentMeter::paint(QPainter& p, const QRect& r, int lit)
{
    p.fillRect(r, Qt::black);
    const double w = double(r.width() - 2) / Segments;
    for (int i = 0; i < Segments; ++i) {
        QColor c = i < GreenSegments                    ? QColor(0, 255, 0)
                   : i < GreenSegments + YellowSegments ? QColor(255, 255, 0)
                                                        : QColor(255, 0, 0);
        if (i >= lit) c = c.darker(450);
        const QRectF seg(r.left() + 1 + i * w, r.top() + 2, std::max(w - 1, 1.0), r.height() - 4);
        p.fillRect(seg, c);
    }
}

void SegmentMeter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paint(p, rect(), litCount());
}

} // namespace lumo
