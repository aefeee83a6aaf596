#pragma once
// Input reports of a device model (the simulated instrument, a replayed trace)
// waiting for the read thread, each due at a time of the program's clock. In
// virtual time the clock waits while a report is due or in the read thread's
// hands, so the two models share how a report travels.

#include "base/clock.h"

#include <QByteArray>
#include <QMutex>
#include <QWaitCondition>
#include <atomic>
#include <deque>

namespace lumo {

// A device model whose replies follow a virtual clock (followVirtualTime).
class VirtualTimeDevice
{
public:
    virtual ~VirtualTimeDevice() = default;
    // A reply is due for the read thread, or was read and is on its way to the
    // thread's handover.
    virtual bool replyReady() const = 0;
    // Virtual time moved on: late replies may have become due.
    virtual void timeAdvanced() = 0;
};

class ReplyQueue
{
public:
    explicit ReplyQueue(const Clock& clock) : m_clock(clock) {}

    void push(const QByteArray& report, qint64 due);
    void clear();
    // While the device is gone a read fails at once (-1) and nothing is queued.
    void setGone(bool gone);

    // Read thread: waits up to timeoutMs (real time) for a due report. Returns
    // its length, 0 when the time passed or cancelled was set, -1 while gone.
    int take(QByteArray& out, int timeoutMs, const std::atomic<bool>& cancelled);
    // The report take() returned is now in the read thread's own bookkeeping.
    void takenOn();
    // A stopping read thread takes nothing further on.
    void cancel();

    bool inTransit() const;
    bool ready() const; // in transit, or the first report is due
    void wake();        // after virtual time moved on

private:
    const Clock& m_clock;
    mutable QMutex m_mutex;
    QWaitCondition m_changed;
    struct Pending
    {
        QByteArray report;
        qint64 due;
    };
    std::deque<Pending> m_pending;
    bool m_inTransit = false;
    bool m_gone = false;
};

} // namespace lumo
