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
// A cell whose point was left out of the run: light enough for the values around it to keep their contrast.
inline const QColor MissingCell(255, 214, 153);
// A value kept from before the last run: grey italics on grey, still 5:1 in contrast.
inline const QColor EarlierText(96, 96, 96), EarlierCell(232, 232, 232);
// How long the status bar says that a measurement was stored.
constexpr int SavedNoticeMs = 20000;

// A display of a value, wide enough for its longest text so that nothing moves when it changes.
QLabel* valueLabel(QWidget* parent, const char* name, int width = 80);

} // namespace lumo::tzudec
