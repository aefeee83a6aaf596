#include "widgets/focusframe.h"

#include <QPainter>
#include <QStyleOption>

namespace lumo {

void FocusFrameStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control != CC_ToolButton || !(option->state & State_HasFocus) || !(option->state & State_Enabled))
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(option->palette.color(QPalette::Highlight), 2);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(1, 1, -2, -2));
    painter->restore();
}

} // namespace lumo
