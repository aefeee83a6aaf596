#pragma once
// The screen lock of practice mode on the main window: the idle time counted
// over every window, the desktop's lock and sleep heard on D-Bus, and the
// lock screen shown over whatever is open.

#include "practice/idlelock.h"
#include "practice/unlockcheck.h"

#include <QObject>
#include <memory>

class QTimer;
class QWidget;

namespace lumo {

class SessionSignals;
struct SharedState;

class ScreenLock : public QObject
{
public:
    ScreenLock(SharedState& state, const Clock& clock, UnlockCheck check, QWidget* window);

    IdleLock& idle() { return *m_idle; }
    SessionSignals& desktop() { return *m_signals; }
    // Shows the lock now (unless outside practice mode or already locked)
    // and returns when it is taken away.
    void lock(const QString& why);

private:
    SharedState& m_state;
    UnlockCheck m_check;
    QWidget* m_window;
    IdleLock* m_idle;
    SessionSignals* m_signals;
    QTimer* m_timer;
    QString m_pending; // a lock asked for during a run
};

} // namespace lumo
