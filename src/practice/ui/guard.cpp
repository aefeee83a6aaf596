#include "practice/ui/guard.h"

#include <QAction>
#include <QWidget>

namespace lumo {

bool guardControl(QWidget* control, const OperatorSession& session, Permission permission)
{
    if (!control || allowed(session, permission)) return true;
    control->setEnabled(false);
    control->setToolTip(refusalReason(permission));
    return false;
}

bool guardControl(QAction* control, const OperatorSession& session, Permission permission)
{
    if (!control || allowed(session, permission)) return true;
    control->setEnabled(false);
    control->setToolTip(refusalReason(permission));
    control->setStatusTip(refusalReason(permission));
    return false;
}

} // namespace lumo
