#include "shell/ui/launcher.h"

#include "base/messages.h"
#include "shell/shellwords.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The desktop's answer to "what opens this?", from its MIME database; empty
// when it has none (or the question cannot be asked within a moment).
QString desktopHandler(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("xdg-mime"), arguments);
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QString systemOpenerMissing(const QString& target)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return u("這台電腦沒有開啟檔案或網址的程式（xdg-open）。");
    if (isWebAddress(target)) {
        const QString scheme = target.section(QLatin1Char(':'), 0, 0).toLower();
        if (!desktopHandler({QStringLiteral("query"), QStringLiteral("default"),
                             QStringLiteral("x-scheme-handler/") + scheme})
                 .isEmpty())
            return {};
        for (const char* browser : {"x-www-browser", "sensible-browser", "firefox", "firefox-esr", "chromium",
                                    "google-chrome", "epiphany-browser", "konqueror"})
            if (!QStandardPaths::findExecutable(QLatin1String(browser)).isEmpty()) return {};
        return u("這台電腦沒有可以開啟網址的瀏覽器。");
    }
    if (!QFileInfo::exists(target)) return u("找不到檔案：%1").arg(target);
    return {};
}

} // namespace

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
    p.locate = [](const QString& program) {
        if (program.contains(QLatin1Char('/'))) {
            const QFileInfo info(program);
            return info.isFile() && info.isExecutable() ? program : QString();
        }
        return QStandardPaths::findExecutable(program);
    };
    p.openerMissing = systemOpenerMissing;
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

namespace {

LaunchOutcome openTarget(const QString& target, const LauncherPlatform& platform)
{
    if (target.isEmpty()) return {false, u("沒有設定要執行的程式或要開啟的檔案。")};
    if (platform.openerMissing)
        if (const QString why = platform.openerMissing(target); !why.isEmpty())
            return {false, u("無法開啟「%1」：%2").arg(target, why)};
    if (!platform.openDocument(target))
        return {false, u("無法開啟「%1」：這台電腦沒有可以開啟它的程式。").arg(target)};
    return {true, {}};
}

} // namespace

LaunchOutcome LaunchProgram(const QString& program, const QString& parameter,
                            const LauncherPlatform& platform)
{
    std::optional<QString> found = searchDriveLetters(program, platform);
    if (!found) return {false, u("找不到程式「%1」：它所在的磁碟機都沒有這個檔案。").arg(program.trimmed())};
    const QString p = found->trimmed();
    const QString param = searchDriveLetters(parameter, platform).value_or(parameter).trimmed();
    if (p.isEmpty()) return openTarget(param, platform);
    if (isWebAddress(p) || platform.isDocument(p)) return openTarget(p, platform);
    if (platform.locate && platform.locate(p).isEmpty())
        return {false, u("找不到程式「%1」：這台電腦沒有安裝這個程式。").arg(p)};
    if (!platform.start(p, splitShellWords(param)))
        return {false, u("程式「%1」無法啟動：它不是這台電腦可以執行的程式，或沒有執行的權限。").arg(p)};
    return {true, {}};
}

void launchAndReport(MessageSource* messages, const QString& program, const QString& parameter,
                     const LauncherPlatform& platform)
{
    const LaunchOutcome o = LaunchProgram(program, parameter, platform);
    if (!o.started && messages) messages->show(NoteAttention, o.message);
}

bool programFound(const QString& program, const LauncherPlatform& platform)
{
    const std::optional<QString> found = searchDriveLetters(program, platform);
    if (!found) return false;
    const QString p = found->trimmed();
    if (p.isEmpty() || isWebAddress(p) || platform.isDocument(p)) return true;
    return !platform.locate || !platform.locate(p).isEmpty();
}

} // namespace lumo
