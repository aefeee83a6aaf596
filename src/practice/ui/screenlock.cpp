#include "practice/ui/screenlock.h"

#include "practice/audit.h"
#include "practice/sessionsignals.h"
#include "practice/ui/lockscreen.h"
#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <utility>

namespace lumo {
namespace {
// Often enough that the lock comes within seconds of the set time.
constexpr int kCheckMs = 5000;
} // namespace

ScreenLock::ScreenLock(SharedState& state, const Clock& clock, UnlockCheck check, QWidget* window)
    : QObject(window), m_state(state), m_check(std::move(check)), m_window(window)
{
    m_idle = new IdleLock(
        clock, [&state] { return state.Session.practiceMode; }, [&state] { return state.MeasuringRunActive; },
        this);
    qApp->installEventFilter(m_idle);
    // The time set on the user settings screen, now and whenever it is saved.
    state.idleTime.load(state.DataDirectory);
    m_idle->setLimitMinutes(state.idleTime.minutes());
    connect(&state.idleTime, &IdleTimeSetting::changed, m_idle, &IdleLock::setLimitMinutes);
    m_signals = new SessionSignals(this);
    m_timer = new QTimer(this);
    m_timer->setInterval(kCheckMs);
    connect(m_timer, &QTimer::timeout, m_idle, &IdleLock::check);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (!m_pending.isEmpty() && !m_state.MeasuringRunActive) lock(std::exchange(m_pending, QString()));
    });
    connect(m_idle, &IdleLock::lockDue, this, [this] { lock(QStringLiteral("idle")); });
    connect(m_signals, &SessionSignals::lockRequested, this, &ScreenLock::lock);
    m_timer->start();
    m_signals->listen();
}

void ScreenLock::lock(const QString& why)
{
    if (!m_state.Session.practiceMode || m_idle->locked()) return;
    // A modal lock inside a run would stop its loop: the desktop's lock or
    // sleep during a run waits for the run's end.
    if (m_state.MeasuringRunActive) {
        m_pending = why;
        return;
    }
    m_idle->setLocked(true);
    audit(m_state, {QStringLiteral("lock"), {}, 0, why});
    // The lock goes over the screen on top and holds every window: one made
    // modal to the main window alone would leave the open screens usable
    // beside it, and closing it would hand the keys to the main window, which
    // those screens keep from answering.
    QWidget* top = QApplication::activeModalWidget();
    QPointer<QWidget> under = top ? top->window() : m_window;
    QPointer<QWidget> focus = under->focusWidget();
    LockScreen screen(m_state, m_check, under);
    prepareScreen(screen);
    screen.setWindowModality(Qt::ApplicationModal);
    screen.exec();
    m_idle->setLocked(false);
    // The screens stay as they were: the keys go back where they were typed.
    if (under && under->isVisible()) {
        under->activateWindow();
        if (focus) focus->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace lumo
