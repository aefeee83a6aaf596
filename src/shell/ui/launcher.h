#pragma once
// Starts an external program with a parameter, or opens a document or web address.

#include <QString>
#include <functional>
#include <optional>

namespace lumo {

// The platform operations the launcher needs, replaceable in tests.
struct LauncherPlatform
{
    std::function<bool(const QString&)> fileExists;
    std::function<void(const QString& file, const QString& parameter)> open;
    static LauncherPlatform system();
};

// The drive-letter search: a path whose drive does not hold the file is tried
// on drives C to Q. Returns the path found, or nothing when no drive holds it.
std::optional<QString> searchDriveLetters(const QString& path, const LauncherPlatform& platform);

void LaunchProgram(const QString& program, const QString& parameter,
                   const LauncherPlatform& platform = LauncherPlatform::system());

} // namespace lumo
