#pragma once
// The user settings screen as plain fields, and the rules by which saving
// turns them into the configuration.

#include "shell/configuration.h"

#include <array>

namespace lumo {

struct UserSettingsFields
{
    // UserName1, UserName2, UserData1, UserData2.
    std::array<QString, 4> user;
    // Row N: 程式 N ticked, 說明, 執行功能程式, 參數與檔案.
    std::array<bool, 6> enabled{};
    std::array<QString, 6> hint, program, param;

    // Opening: box N is ticked only when character N of ToolFlags is exactly "1".
    static UserSettingsFields of(const Configuration& c);
};

// Saving: the four texts exactly as typed, ToolFlags as six "1"/"0"
// characters in row order, the eighteen row fields without surrounding
// blanks. Every other setting stays as it was.
Configuration withUserSettings(Configuration c, const UserSettingsFields& f);

// Custom button N of the main window is hidden only for a "0" at position N
// of ToolFlags; any other character, or none, shows it.
bool customButtonVisible(const QString& ToolFlags, int n);

} // namespace lumo
