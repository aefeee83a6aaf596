#include "practice/waitingroomkey.h"

#include "practice/waitingroom.h"

#include <QKeyEvent>

namespace lumo {

bool WaitingRoomKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type t = event->type();
    if (t != QEvent::KeyPress && t != QEvent::ShortcutOverride) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (QKeySequence(key->keyCombination()) != WaitingRoomKey) return QObject::eventFilter(watched, event);
    // The override is taken so that no window's shortcut claims the key; the
    // press that follows it toggles, once, and no widget sees it.
    event->accept();
    if (t == QEvent::KeyPress && !key->isAutoRepeat()) {
        const Status st = m_display.toggle();
        if (!st && onError) onError(st.error);
    }
    return true;
}

} // namespace lumo
