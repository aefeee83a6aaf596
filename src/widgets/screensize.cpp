#include "widgets/screensize.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace lumo {

void openAt(QWidget* w, QSize size)
{
    QScreen* screen = w->parentWidget() ? w->parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        // The frame and the title bar come on top of the window's own size.
        const QSize room = screen->availableGeometry().size() - QSize(16, 40);
        size = size.boundedTo(room);
    }
    w->resize(size.expandedTo(w->minimumSizeHint()));
}

} // namespace lumo
