#include "instrument/replyqueue.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

namespace lumo {

void ReplyQueue::push(const QByteArray& report, qint64 due)
{
    QMutexLocker lock(&m_mutex);
    if (m_gone) return;
    m_pending.push_back({report, due});
    m_changed.wakeAll();
}

void ReplyQueue::clear()
{
    QMutexLocker lock(&m_mutex);
    m_pending.clear();
}

void ReplyQueue::setGone(bool gone)
{
    QMutexLocker lock(&m_mutex);
    m_gone = gone;
    if (gone) {
        m_pending.clear();
        m_inTransit = false;
    }
    m_changed.wakeAll();
}

int ReplyQueue::take(QByteArray& out, int timeoutMs, const std::atomic<bool>& cancelled)
{
    QMutexLocker lock(&m_mutex);
    const QDeadlineTimer deadline(timeoutMs);
    while (!cancelled) {
        if (m_gone) return -1;
        if (!m_pending.empty() && m_pending.front().due <= m_clock.nowMs()) {
            out = m_pending.front().report;
            m_pending.pop_front();
            m_inTransit = true; // until the read thread has taken it on
            return int(out.size());
        }
        if (deadline.hasExpired()) return 0;
        // A late report becomes due as the clock moves on: with one waiting,
        // look again every millisecond.
        const qint64 slice =
            m_pending.empty() ? deadline.remainingTime() : std::min<qint64>(deadline.remainingTime(), 1);
        m_changed.wait(&m_mutex, QDeadlineTimer(std::max<qint64>(slice, 0)));
    }
    return 0;
}

void ReplyQueue::takenOn()
{
    QMutexLocker lock(&m_mutex);
    m_inTransit = false;
}

void ReplyQueue::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_inTransit = false;
    m_changed.wakeAll();
}

bool ReplyQueue::inTransit() const
{
    QMutexLocker lock(&m_mutex);
    return m_inTransit;
}

bool ReplyQueue::ready() const
{
    QMutexLocker lock(&m_mutex);
    return m_inTransit || (!m_pending.empty() && m_pending.front().due <= m_clock.nowMs());
}

void ReplyQueue::wake()
{
    // Under the lock, so a reader about to wait cannot miss the wake-up.
    QMutexLocker lock(&m_mutex);
    m_changed.wakeAll();
}

} // namespace lumo
