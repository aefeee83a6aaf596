#include "practice/idlelock.h"

#include <QEvent>
#include <algorithm>

namespace lumo {

IdleLock::IdleLock(const Clock& clock, std::function<bool()> practiceMode, std::function<bool()> runActive,
                   QObject* parent)
    : QObject(parent), m_clock(clock), m_practiceMode(std::move(practiceMode)),
      m_runActive(std::move(runActive)), m_lastInput(clock.nowMs())
{
}

void IdleLock::setLimitMinutes(int minutes)
{
    m_limitMinutes = std::clamp(minutes, IdleLockMinMinutes, IdleLockMaxMinutes);
}

void IdleLock::noteInput()
{
    m_lastInput = m_clock.nowMs();
}

void IdleLock::check()
{
    if (m_locked || !m_practiceMode()) return;
    // A run holds the practitioner's attention on the probe, not the keys:
    // its time does not count as idle, and the clock starts at its end.
    if (m_runActive()) {
        noteInput();
        return;
    }
    if (m_clock.nowMs() - m_lastInput >= qint64(m_limitMinutes) * 60 * 1000) emit lockDue();
}

void IdleLock::setLocked(bool locked)
{
    m_locked = locked;
    if (!locked) noteInput();
}

bool IdleLock::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        noteInput();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lumo
