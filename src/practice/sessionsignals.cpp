#include "practice/sessionsignals.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

namespace lumo {
namespace {

const char* const kLogin = "org.freedesktop.login1";

// The object of this session, from logind, for its Lock signal.
QString sessionPath(QDBusConnection& bus)
{
    const QByteArray id = qgetenv("XDG_SESSION_ID");
    if (id.isEmpty()) return {};
    QDBusInterface manager(QLatin1String(kLogin), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid()) return {};
    const QDBusReply<QDBusObjectPath> reply =
        manager.call(QStringLiteral("GetSession"), QString::fromUtf8(id));
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
    if (session.isConnected())
        session.connect(QString(), QStringLiteral("/org/freedesktop/ScreenSaver"),
                        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"), this,
                        SLOT(screenSaverActiveChanged(bool)));
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
