#pragma once
// The program's settings: 36 positional lines in ZuDefTw.ini, texts in code page 950.

#include "base/status.h"

#include <QString>
#include <array>
#include <variant>

namespace lumo {

inline constexpr const char* ConfigurationFileName = "ZuDefTw.ini";
inline constexpr const char* MakerWebAddress = "http://www.quenta.com.tw/";

struct Configuration
{
    int CalibStandard = 4000;
    int CalibHigh = 4000;
    QString PrintOptions;
    double MinResponse = 1.0;
    QString CalibDate;
    bool HighPotential = false;
    QString UserName1;
    QString UserName2;
    QString UserData1;
    QString UserData2;
    QString ReservedFlags;
    bool LocateSound = false;
    bool LocateKeepHighest = false;
    int LocateSensitivity = 2;
    double LocateHighest = 0;
    bool LocateHighPotential = false;
    int PointPictureStyle = 1;
    QString ToolFlags;
    std::array<QString, 6> ToolHint;
    std::array<QString, 6> ToolProgram;
    std::array<QString, 6> ToolParam;

    // The values a newly created file gets.
    static Configuration createdDefaults();

    // Character `position` (1-based) of a flag string is "1"; beyond the end counts as off.
    bool printOption(int position) const;
};

constexpr int ConfigurationLineCount = 36;
// 36 short lines: no real file comes near this; anything larger is not a settings file.
constexpr qint64 ConfigurationSizeLimit = 64 * 1024;

// One setting of the file: its name and a reference to its value.
using SettingRef = std::variant<int*, double*, bool*, QString*>;
const char* settingName(int line); // 1-based, "CalibStandard" .. "ToolParam6"
SettingRef settingRef(Configuration& c, int line);

// Parses file content (bytes in code page 950) with every fallback rule.
Configuration parseConfiguration(const QByteArray& content);
QByteArray serializeConfiguration(const Configuration& c);

// Load and save against a file path. Loading reads only a regular file of at
// most ConfigurationSizeLimit bytes; anything else is an error and `out` keeps
// what it held. Saving writes beside the file and renames, so a crash or full
// disk never leaves a truncated file behind, and never replaces what is not a
// regular file.
Status LoadConfiguration(const QString& path, Configuration& out);
Status SaveConfiguration(const QString& path, const Configuration& c);

} // namespace lumo
