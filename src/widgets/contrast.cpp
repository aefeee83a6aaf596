#include "widgets/contrast.h"

#include <QPalette>
#include <QWidget>

namespace lumo {

void readableWhenDisabled(QWidget* w)
{
    QPalette p = w->palette();
    // A dark grey: lighter than the enabled text, so the state still shows,
    // but about 8:1 on the usual light grey of a disabled control. Texts and
    // check marks only: a disabled push button (ButtonText) keeps looking
    // disabled, since pressing it does nothing.
    const QColor text(72, 72, 72);
    for (auto role : {QPalette::Text, QPalette::WindowText})
        p.setColor(QPalette::Disabled, role, text);
    w->setPalette(p);
}

} // namespace lumo
