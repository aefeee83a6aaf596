#include "shell/usersettings.h"

namespace lumo {

UserSettingsFields UserSettingsFields::of(const Configuration& c)
{
    UserSettingsFields f;
    f.user = {c.UserName1, c.UserName2, c.UserData1, c.UserData2};
    for (int n = 1; n <= 6; ++n) {
        const size_t i = size_t(n - 1);
        f.enabled[i] = n <= c.ToolFlags.size() && c.ToolFlags.at(n - 1) == QLatin1Char('1');
        f.hint[i] = c.ToolHint[i];
        f.program[i] = c.ToolProgram[i];
        f.param[i] = c.ToolParam[i];
    }
    return f;
}

Configuration withUserSettings(Configuration c, const UserSettingsFields& f)
{
    c.UserName1 = f.user[0];
    c.UserName2 = f.user[1];
    c.UserData1 = f.user[2];
    c.UserData2 = f.user[3];
    c.ToolFlags.clear();
    for (bool on : f.enabled)
        c.ToolFlags += on ? QLatin1Char('1') : QLatin1Char('0');
    for (size_t i = 0; i < 6; ++i) {
        c.ToolHint[i] = f.hint[i].trimmed();
        c.ToolProgram[i] = f.program[i].trimmed();
        c.ToolParam[i] = f.param[i].trimmed();
    }
    return c;
}

bool customButtonVisible(const QString& ToolFlags, int n)
{
    return !(n <= ToolFlags.size() && ToolFlags.at(n - 1) == QLatin1Char('0'));
}

} // namespace lumo
