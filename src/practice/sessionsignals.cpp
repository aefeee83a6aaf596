#include "practice/sessionsignals.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

namespace lumo {
namespace {

const char* const kLogin = "org.freedesktop.login1";

// Where the desktops announce their screen saver on the session bus: the
// freedesktop name (at its usual path, and at the short one some desktops
// use) and GNOME's own, which is the one GNOME's lock sends.
const char* const kScreenSavers[][2] = {
    {"/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
};

// The object of this session, from logind, for its Lock signal: by the
// session's id, or (started without one, from a launcher) by this process.
QString sessionPath(QDBusConnection& bus)
{
    QDBusInterface manager(QLatin1String(kLogin), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid()) return {};
    const QByteArray id = qgetenv("XDG_SESSION_ID");
    const QDBusReply<QDBusObjectPath> reply =
        id.isEmpty()
            ? manager.call(QStringLiteral("GetSessionByPID"), uint(QCoreApplication::applicationPid()))
            : manager.call(QStringLiteral("GetSession"), QString::fromUtf8(id));
    return reply.isValid() ? reply.value().path() : QString();
}

} // namespace

// QDBusConnection::connect takes its slot by name only (it matches the
// signal's arguments at run time): there is no function-pointer form.
void SessionSignals::listen()
{
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected()) {
        system.connect(QLatin1String(kLogin), QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                       this, SLOT(prepareForSleep(bool)));
        const QString path = sessionPath(system);
        if (!path.isEmpty())
            system.connect(QLatin1String(kLogin), path, QStringLiteral("org.freedesktop.login1.Session"),
                           QStringLiteral("Lock"), this, SLOT(sessionLock()));
    }
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) return;
    for (const auto& [path, interface] : kScreenSavers)
        session.connect(QString(), QLatin1String(path), QLatin1String(interface),
                        QStringLiteral("ActiveChanged"), this, SLOT(screenSaverActiveChanged(bool)));
}

void SessionSignals::prepareForSleep(bool start)
{
    // True before sleeping; false on waking, when the lock is already up.
    if (start) emit lockRequested(QStringLiteral("sleep"));
}

void SessionSignals::sessionLock()
{
    emit lockRequested(QStringLiteral("session"));
}

void SessionSignals::screenSaverActiveChanged(bool active)
{
    if (active) emit lockRequested(QStringLiteral("screensaver"));
}

} // namespace lumo
