#include "shell/ui/launcher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace lumo {

LauncherPlatform LauncherPlatform::system()
{
    LauncherPlatform p;
    p.fileExists = [](const QString& f) { return QFileInfo::exists(f); };
    p.open = [](const QString& file, const QString& parameter) {
        if (file.isEmpty()) return;
        if (!parameter.isEmpty() || QFileInfo(file).isExecutable()) {
            QStringList args;
            if (!parameter.isEmpty()) args << parameter;
            if (QProcess::startDetached(file, args)) return;
        }
        // A document, folder or address opens with the program the desktop associates with it.
        QUrl url = QUrl::fromUserInput(file);
        QDesktopServices::openUrl(url);
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
    QString p = *found;
    QString param = searchDriveLetters(parameter, platform).value_or(parameter);
    p = p.trimmed();
    param = param.trimmed();
    if (!p.isEmpty())
        platform.open(p, param);
    else
        platform.open(param, QString());
}

} // namespace lumo
