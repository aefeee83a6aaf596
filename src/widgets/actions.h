#pragma once
// Tool bar buttons found by their captions: how the screens' tests and the
// end-to-end sessions name them, and how the screens enable them.

#include <QList>
#include <QString>

class QAction;

namespace lumo {

// The first action whose caption is `caption`, or nullptr.
QAction* actionByCaption(const QList<QAction*>& actions, const QString& caption);

} // namespace lumo
