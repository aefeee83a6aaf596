#pragma once
// A system journal for the tests that need one: these machines boot no
// systemd, so journald is started here when its socket is missing, and the
// one started here is ended by its PID afterwards.
#include "practice/auditanchor.h"

#include <QFile>
#include <QProcess>
#include <QThread>

namespace lumo::test {

class JournalForTest
{
public:
    JournalForTest()
    {
        if (journalRunning()) return;
        m_journald.setProgram(QStringLiteral("/lib/systemd/systemd-journald"));
        m_journald.start();
        for (int i = 0; i < 100 && !journalRunning(); ++i)
            QThread::msleep(50);
    }
    ~JournalForTest()
    {
        if (m_journald.state() == QProcess::NotRunning) return;
        m_journald.terminate();
        m_journald.waitForFinished(5000);
        // Its sockets stay behind it; another test that looks for the socket
        // must find none and start its own.
        for (const char* socket : {"socket", "stdout", "dev-log"})
            QFile::remove(QStringLiteral("/run/systemd/journal/") + QLatin1String(socket));
    }
    bool running() const { return journalRunning(); }

private:
    QProcess m_journald;
};

} // namespace lumo::test
