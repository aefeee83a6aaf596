#pragma once
// Starts an external program with a parameter, or opens a document, folder or
// web address with the program the desktop associates with it.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace lumo {

// The platform operations the launcher needs, replaceable in tests.
struct LauncherPlatform
{
    std::function<bool(const QString&)> fileExists;
    // An existing folder, or a file that is no program: it is opened, not run.
    std::function<bool(const QString&)> isDocument;
    // Runs the program with these arguments and no shell; false when it could not start.
    std::function<bool(const QString& program, const QStringList& arguments)> start;
    // Opens a document, folder or address with the desktop's associated program.
    std::function<bool(const QString& target)> openDocument;
    static LauncherPlatform system();
};

// The drive-letter search: a path whose drive does not hold the file is tried
// on drives C to Q. Returns the path found, or nothing when no drive holds it.
// Paths without a drive letter (every path on this platform) pass unchanged.
std::optional<QString> searchDriveLetters(const QString& path, const LauncherPlatform& platform);

// A program is started with the parameter split into words as a shell would
// split them; an empty program opens the parameter itself; a program that is
// a web address or a document is opened. Nothing is reported: a program that
// is missing or cannot start shows nothing.
void LaunchProgram(const QString& program, const QString& parameter,
                   const LauncherPlatform& platform = LauncherPlatform::system());

} // namespace lumo
