#pragma once
// The desktop's word that nobody is at the machine: the machine going to
// sleep (logind's PrepareForSleep on the system bus), the session being
// locked (logind's Lock on this session's object) and the screen saver
// coming on (org.freedesktop.ScreenSaver on the session bus). Each asks for
// the program's own lock. A bus or service that is not there is quietly
// skipped: the idle lock still holds.

#include <QObject>

namespace lumo {

class SessionSignals : public QObject
{
    Q_OBJECT
public:
    explicit SessionSignals(QObject* parent = nullptr) : QObject(parent) {}
    // Listens on whatever buses are there; XDG_SESSION_ID names the session.
    void listen();

public slots:
    // The handlers, called by the buses (and directly by tests).
    void prepareForSleep(bool start);
    void sessionLock();
    void screenSaverActiveChanged(bool active);

signals:
    void lockRequested(const QString& why);
};

} // namespace lumo
