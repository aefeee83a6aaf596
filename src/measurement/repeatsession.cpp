#include "measurement/repeatsession.h"

#include "base/formats.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The repeat window and the one-second floor of the practice's pairs (comparison/noise.h).
constexpr double WindowDays = 30.0 / 1440;
constexpr double SecondDays = 1.0 / 86400;

} // namespace

void RepeatSession::setOn(bool on)
{
    *this = RepeatSession();
    m_on = on;
}

RepeatSession::Outcome RepeatSession::saved(const QString& custNo, double takenAt, qint64 mkey)
{
    if (!m_on) return m_last = Outcome::None;
    if (m_firstKey == 0) {
        m_firstSubject = custNo;
        m_firstTakenAt = takenAt;
        m_firstKey = mkey;
        return m_last = Outcome::None;
    }
    const double apart = takenAt - m_firstTakenAt;
    const bool pair = custNo.compare(m_firstSubject, Qt::CaseInsensitive) == 0 && apart >= SecondDays &&
                      apart < WindowDays && mkey != m_firstKey;
    m_firstKey = 0;
    m_firstSubject.clear();
    m_firstTakenAt = 0;
    return m_last = pair ? Outcome::Paired : Outcome::NotPaired;
}

QString RepeatSession::statusText() const
{
    if (!m_on) return {};
    if (m_firstKey > 0)
        return u("重複量測：第一次已儲存，請於 %1 前再量測同一位受測者並儲存。")
            .arg(longTimeOfDay(m_firstTakenAt + WindowDays));
    if (m_last == Outcome::Paired)
        return u("重複量測完成：本診所已有 %1 對重複量測。再量下一位受測者，或關閉重複量測模式。")
            .arg(m_pairs);
    if (m_last == Outcome::NotPaired)
        return u("這次儲存不構成重複量測（不同受測者或相隔 30 分鐘以上），請重新量測第一次。");
    return u("重複量測模式：量測並儲存第一次，再於 30 分鐘內量測同一位受測者第二次。");
}

} // namespace lumo
