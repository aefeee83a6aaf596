#include "practice/idletime.h"

#include "base/atomicfile.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace lumo {
namespace {

// A number and a line break; anything longer is not this program's file.
constexpr qint64 kReadLimit = 64;

} // namespace

int idleMinutesOf(const QByteArray& content)
{
    bool ok = false;
    const qlonglong n = content.left(kReadLimit).split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok) return IdleLockDefaultMinutes;
    return int(std::clamp<qlonglong>(n, IdleLockMinMinutes, IdleLockMaxMinutes));
}

void IdleTimeSetting::load(const QString& dataDirectory)
{
    m_dataDirectory = dataDirectory;
    QFile f(QDir(dataDirectory).filePath(QLatin1String(IdleTimeFileName)));
    const bool read = !dataDirectory.isEmpty() && f.open(QIODevice::ReadOnly);
    const int minutes = read ? idleMinutesOf(f.read(kReadLimit)) : IdleLockDefaultMinutes;
    if (minutes == m_minutes) return;
    m_minutes = minutes;
    emit changed(m_minutes);
}

Status IdleTimeSetting::setMinutes(int minutes)
{
    minutes = std::clamp(minutes, IdleLockMinMinutes, IdleLockMaxMinutes);
    if (!m_dataDirectory.isEmpty()) {
        const QString path = QDir(m_dataDirectory).filePath(QLatin1String(IdleTimeFileName));
        const Status s = writeFileAtomically(path, QByteArray::number(minutes) + '\n');
        if (!s) return s;
    }
    if (minutes != m_minutes) {
        m_minutes = minutes;
        emit changed(m_minutes);
    }
    return Status::success();
}

} // namespace lumo
