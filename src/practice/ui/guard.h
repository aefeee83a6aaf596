#pragma once
// The one place where a screen's control follows the role table: a control
// the operator may not use is disabled, and its tool tip says why.

#include "practice/roles.h"

class QAction;
class QWidget;

namespace lumo {

// True when the session may use it; otherwise the control is disabled with
// refusalReason() as its tool tip. Controls that are allowed are left as they are.
bool guardControl(QWidget* control, const OperatorSession& session, Permission permission);
bool guardControl(QAction* control, const OperatorSession& session, Permission permission);

} // namespace lumo
