#pragma once
// A progress bar or gauge that fills from white to an end colour, with an
// optional percentage text.

#include <QColor>
#include <QWidget>

namespace lumo {

class GradientBar : public QWidget
{
    Q_OBJECT
public:
    explicit GradientBar(QWidget* parent = nullptr);
    void setRange(int maximum);
    int maximum() const { return m_max; }
    void setValue(int v);
    int value() const { return m_value; }
    void setEndColor(const QColor& c);
    QColor endColor() const { return m_end; }
    void setShowPercentage(bool on);
    QSize sizeHint() const override { return {200, 18}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_max = 100;
    int m_value = 0;
    QColor m_end = QColor(0, 128, 0);
    bool m_percentage = false;
};

} // namespace lumo
