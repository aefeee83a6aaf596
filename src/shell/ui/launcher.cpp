#include "shell/ui/launcher.h"

#include "shell/shellwords.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>

namespace lumo {

LauncherPlatform LauncherPlatform::system()
{
    LauncherPlatform p;
    p.fileExists = [](const QString& f) { return QFileInfo::exists(f); };
    p.isDocument = [](const QString& f) {
        const QFileInfo info(f);
        return info.exists() && (info.isDir() || !info.isExecutable());
    };
    // Detached, so that the program outlives this one and never blocks it;
    // the arguments go to the program as they are, no shell reads them.
    p.start = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    // The desktop's own opener (xdg-open on this platform).
    p.openDocument = [](const QString& target) {
        if (target.isEmpty()) return false;
        return QDesktopServices::openUrl(documentUrl(target));
    };
    return p;
}

std::optional<QString> searchDriveLetters(const QString& path, const LauncherPlatform& platform)
{
    const int colon = int(path.indexOf(QLatin1Char(':'))) + 1; // 1-based, 0 when none
    if (colon != 2 && colon != 3) return path;
    if (platform.fileExists(path)) return path;
    for (char letter = 'C'; letter <= 'Q'; ++letter) {
        QString variant = path;
        variant[colon - 2] = QLatin1Char(letter);
        if (platform.fileExists(variant)) return variant;
    }
    return std::nullopt;
}

void LaunchProgram(const QString& program, const QString& parameter, const LauncherPlatform& platform)
{
    std::optional<QString> found = searchDriveLetters(program, platform);
    if (!found) return; // a program on no drive: nothing is started, nothing reported
    const QString p = found->trimmed();
    const QString param = searchDriveLetters(parameter, platform).value_or(parameter).trimmed();
    // What the platform answers is not examined: a failure to start shows nothing.
    if (p.isEmpty())
        platform.openDocument(param);
    else if (isWebAddress(p) || platform.isDocument(p))
        platform.openDocument(p);
    else
        platform.start(p, splitShellWords(param));
}

} // namespace lumo
