#pragma once
// What the measurement screen's files share: texts and the palette it sets.

#include <QColor>
#include <QString>

class QLabel;
class QWidget;

namespace lumo::tzudec {

inline QString u(const char* s)
{
    return QString::fromUtf8(s);
}
inline const QColor Red(255, 0, 0), Green(0, 128, 0), LightGreen(0, 255, 0), Yellow(255, 255, 0);

// A display of a value, wide enough for its longest text so that nothing moves when it changes.
QLabel* valueLabel(QWidget* parent, const char* name, int width = 80);

} // namespace lumo::tzudec
