#pragma once
// An analogue meter: a needle over a scale arc from a minimum to a maximum,
// with a caption and the scale's end and middle values. The balance meter and
// the calibration gauges are such meters.

#include <QWidget>

namespace lumo {

class AnalogueMeter : public QWidget
{
    Q_OBJECT
public:
    explicit AnalogueMeter(QWidget* parent = nullptr);
    void setRange(double minimum, double maximum);
    void setValue(double v);
    double value() const { return m_value; }
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    void setCaption(const QString& caption);
    QSize sizeHint() const override { return {150, 96}; }

    // The needle's angle in degrees counter-clockwise from 3 o'clock: 140 at
    // the minimum, 90 in the middle, 40 at the maximum; values beyond the
    // scale rest at its ends, as a real needle does at its stops.
    static double needleAngle(double value, double minimum, double maximum);
    static void paint(QPainter& p, const QRect& r, double value, double minimum, double maximum,
                      const QString& caption);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double m_min = 0, m_max = 100, m_value = 0;
    QString m_caption;
};

} // namespace lumo
