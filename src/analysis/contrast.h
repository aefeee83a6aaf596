#pragma once
// The contrast of two colours as the accessibility guidelines measure it: 1
// for equal colours, 21 for black on white; 4.5 is their least for text.

#include <QColor>

namespace lumo {

constexpr double ReadableContrast = 4.5;

double relativeLuminance(const QColor& c);
double contrastRatio(const QColor& a, const QColor& b);

} // namespace lumo
