#pragma once
// The one millisecond clock of the program. Every wait, timeout and timestamp
// reads it, so tests can run minutes of instrument time in virtual time.

#include <QtGlobal>
#include <atomic>
#include <functional>

namespace lumo {

class Clock
{
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0;
    // One pass of a waiting loop: processes pending user-interface events and
    // lets at most maxWaitMs pass (real clock: sleeps until an event arrives
    // or the time is up; virtual clock: advances time unless an event is on its way).
    virtual void waitEvents(int maxWaitMs) = 0;
    // Waits ms while processing events (the loops that "wait while processing messages").
    void wait(int ms);
    // A simulated device spends ms of its own time (an exchange's frame): a
    // virtual clock moves on by it, a real one has already spent it.
    virtual void elapse(int ms) { Q_UNUSED(ms); }
    virtual bool isVirtual() const { return false; }
};

class RealClock : public Clock
{
public:
    RealClock();
    qint64 nowMs() const override;
    void waitEvents(int maxWaitMs) override;
};

class VirtualClock : public Clock
{
public:
    qint64 nowMs() const override { return m_now; }
    void waitEvents(int maxWaitMs) override;
    void advance(qint64 ms) { m_now += ms; }
    void elapse(int ms) override;
    bool isVirtual() const override { return true; }
    // Asked in every pass: true while something (a reply report, a handler call)
    // is on its way in real time, so that virtual time waits for it.
    void setSettle(std::function<bool()> settle) { m_settle = std::move(settle); }
    // Called after each advance (the simulated probe follows the time).
    void setTick(std::function<void(qint64)> tick) { m_tick = std::move(tick); }

private:
    std::atomic<qint64> m_now{1000}; // read by the device read threads too
    std::function<bool()> m_settle;
    std::function<void(qint64)> m_tick;
};

} // namespace lumo
