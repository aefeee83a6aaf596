#include "base/clock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace lumo {
namespace {
QElapsedTimer& monotonic()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t;
}
} // namespace

void Clock::wait(int ms)
{
    const qint64 end = nowMs() + ms;
    for (qint64 now = nowMs(); now < end; now = nowMs()) waitEvents(int(end - now));
}

RealClock::RealClock() { monotonic(); }

qint64 RealClock::nowMs() const { return monotonic().elapsed(); }

void RealClock::waitEvents(int maxWaitMs)
{
    QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (!d) {
        QThread::msleep(quint64(std::min(maxWaitMs, 1)));
        return;
    }
    // Something was handled (it may be the awaited reply): let the caller look first.
    if (d->processEvents(QEventLoop::AllEvents) || maxWaitMs <= 0) return;
    // Sleep in the event dispatcher until an event arrives (a reply report is one)
    // or the timer fires: no busy waiting, and no delay added to a reply.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(maxWaitMs);
    d->processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
}

void VirtualClock::elapse(int ms)
{
    m_now += ms;
    if (m_tick) m_tick(m_now);
}

void VirtualClock::waitEvents(int maxWaitMs)
{
    // Posted calls (a reply handed over by a read thread) are delivered
    // explicitly: the read thread waits for them.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_settle && m_settle()) {
        // A reply is being handed over in real time: let the reader thread run.
        QThread::yieldCurrentThread();
        return;
    }
    if (maxWaitMs <= 0) return;
    m_now += 1;
    if (m_tick) m_tick(m_now);
}

} // namespace lumo
