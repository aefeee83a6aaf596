#pragma once
// A system journal for the tests that need one: these machines boot no
// systemd, so journald is started here when its socket is missing, and the
// one started here is ended by its PID afterwards.
#include "practice/auditanchor.h"

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
    }
    bool running() const { return journalRunning(); }

private:
    QProcess m_journald;
};

} // namespace lumo::test
