#pragma once
// Runs lumo-cli as a user does, optionally on a disk that fills up at `fileLimit`
// bytes per file (the file-size limit, with its signal ignored so that writes
// fail the way they fail on a full disk).

#include <QProcess>
#include <QString>
#include <QStringList>
#include <csignal>
#include <sys/resource.h>

namespace lumo::test {

struct CliRun
{
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList& args, const QString& workingDir = {},
                     rlim_t fileLimit = RLIM_INFINITY, int timeoutMs = 60000)
{
    QProcess p;
    if (!workingDir.isEmpty()) p.setWorkingDirectory(workingDir);
    if (fileLimit != RLIM_INFINITY)
        p.setChildProcessModifier([fileLimit] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit r{fileLimit, fileLimit};
            setrlimit(RLIMIT_FSIZE, &r);
        });
    p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), args);
    CliRun r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace lumo::test
