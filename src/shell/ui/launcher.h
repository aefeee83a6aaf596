#pragma once
// Starts an external program with a parameter, or opens a document, folder or
// web address with the program the desktop associates with it.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace lumo {

class MessageSource;

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
    // Optional, asked before starting or opening: where a program named
    // without a folder is found (empty when it is nowhere), and why a
    // document or address cannot be opened here (empty when it can).
    std::function<QString(const QString& program)> locate;
    std::function<QString(const QString& target)> openerMissing;
    static LauncherPlatform system();
};

// The drive-letter search: a path whose drive does not hold the file is tried
// on drives C to Q. Returns the path found, or nothing when no drive holds it.
// Paths without a drive letter (every path on this platform) pass unchanged.
std::optional<QString> searchDriveLetters(const QString& path, const LauncherPlatform& platform);

// What became of a launch: `message` says why nothing started, for the
// system's dialog (empty when it started).
struct LaunchOutcome
{
    bool started = false;
    QString message;
};

// A program is started with the parameter split into words as a shell would
// split them; an empty program opens the parameter itself; a program that is
// a web address or a document is opened. A program that is missing, cannot
// start, or a document or address nothing here can open is reported in the
// outcome, never silently dropped.
LaunchOutcome LaunchProgram(const QString& program, const QString& parameter,
                            const LauncherPlatform& platform = LauncherPlatform::system());

// Whether the program of a custom button exists on this computer: an empty
// program (the parameter is opened) and a web address count as found.
bool programFound(const QString& program, const LauncherPlatform& platform = LauncherPlatform::system());

// Launches; when nothing started, the reason is said in the system's dialog
// as a 注意 notice (naming the program and why).
void launchAndReport(MessageSource* messages, const QString& program, const QString& parameter,
                     const LauncherPlatform& platform = LauncherPlatform::system());

} // namespace lumo
