#pragma once
// A round signal lamp: a colour, on or off, optionally blinking.

#include <QColor>
#include <QWidget>

class QTimer;

namespace lumo {

class LedLamp : public QWidget
{
    Q_OBJECT
public:
    explicit LedLamp(QWidget* parent = nullptr);
    void setColor(const QColor& c);
    QColor color() const { return m_color; }
    void setOn(bool on);
    bool isOn() const { return m_on; }
    // 0 stops blinking (the lamp stays as set).
    void setBlinkInterval(int ms);
    int blinkInterval() const { return m_blinkMs; }
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_color = Qt::green;
    bool m_on = false;
    bool m_phase = true;
    int m_blinkMs = 0;
    QTimer* m_timer;
};

} // namespace lumo
