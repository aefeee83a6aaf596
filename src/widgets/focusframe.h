#pragma once
// The application's style with a visible frame around a tool button that has
// the keyboard focus: the style draws none, and a person working by keyboard
// must see where Tab and Enter will act.

#include <QProxyStyle>

namespace lumo {

class FocusFrameStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
};

} // namespace lumo
