#include "practice/waitingroom.h"

#include "base/atomicfile.h"

#include <QDir>
#include <QFile>

namespace lumo {
namespace {

// A few dozen host names; a larger file is not this program's.
constexpr qint64 kReadLimit = 16 * 1024;

QStringList readNames(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.read(kReadLimit)).split(QLatin1Char('\n'));
}

} // namespace

QStringList withWorkstation(const QStringList& names, const QString& workstation, bool on)
{
    const QString w = workstation.trimmed();
    QStringList out;
    for (const QString& n : names) {
        const QString t = n.trimmed();
        if (t.isEmpty() || t.compare(w, Qt::CaseInsensitive) == 0 || out.contains(t, Qt::CaseInsensitive))
            continue;
        out << t;
    }
    if (on && !w.isEmpty()) out << w;
    return out;
}

void WaitingRoomDisplay::load(const QString& dataDirectory, const QString& workstation)
{
    m_dataDirectory = dataDirectory;
    m_workstation = workstation;
    const QStringList names = readNames(QDir(dataDirectory).filePath(QLatin1String(WaitingRoomFileName)));
    const QString w = workstation.trimmed();
    bool on = false;
    for (const QString& n : names)
        on = on || (!w.isEmpty() && n.trimmed().compare(w, Qt::CaseInsensitive) == 0);
    if (on != m_on) {
        m_on = on;
        emit changed(m_on);
    }
}

Status WaitingRoomDisplay::setOn(bool on)
{
    if (on != m_on) {
        m_on = on;
        emit changed(m_on);
    }
    if (m_dataDirectory.isEmpty()) return Status::success();
    const QString path = QDir(m_dataDirectory).filePath(QLatin1String(WaitingRoomFileName));
    const QStringList names = withWorkstation(readNames(path), m_workstation, on);
    return writeFileAtomically(path, names.join(QLatin1Char('\n')).toUtf8());
}

} // namespace lumo
