#include "widgets/actions.h"

#include <QAction>

namespace lumo {

QAction* actionByCaption(const QList<QAction*>& actions, const QString& caption)
{
    for (QAction* a : actions)
        if (a->text() == caption) return a;
    return nullptr;
}

} // namespace lumo
