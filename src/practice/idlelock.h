#pragma once
// When the screen locks by itself: in practice mode, after the set idle time
// without a key or mouse event in any of the program's windows. A measuring
// run in progress is never interrupted: the lock waits for its end.
// The time is read from the injected clock so tests run minutes in an instant.

#include "base/clock.h"

#include <QObject>
#include <functional>

namespace lumo {

inline constexpr int IdleLockDefaultMinutes = 10;
inline constexpr int IdleLockMinMinutes = 1;
inline constexpr int IdleLockMaxMinutes = 120;

class IdleLock : public QObject
{
    Q_OBJECT
public:
    // practiceMode and runActive are asked at each check.
    IdleLock(const Clock& clock, std::function<bool()> practiceMode, std::function<bool()> runActive,
             QObject* parent = nullptr);

    // Clamped to 1..120 minutes.
    void setLimitMinutes(int minutes);
    int limitMinutes() const { return m_limitMinutes; }
    // A key or mouse event: the idle time starts again.
    void noteInput();
    // Asked by a timer: lockDue once the idle time has passed (not while
    // locked, not outside practice mode, not during a run).
    void check();
    // The lock shown or taken away; unlocking starts the idle time again.
    void setLocked(bool locked);
    bool locked() const { return m_locked; }

signals:
    void lockDue();

protected:
    // Installed on the application: counts every key and mouse event.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const Clock& m_clock;
    std::function<bool()> m_practiceMode, m_runActive;
    int m_limitMinutes = IdleLockDefaultMinutes;
    qint64 m_lastInput;
    bool m_locked = false;
};

} // namespace lumo
