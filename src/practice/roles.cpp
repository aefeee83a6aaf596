#include "practice/roles.h"

#include "practice/operators.h"

#include <QStringList>
#include <iterator>

namespace lumo {
namespace {

struct Rule
{
    Permission permission;
    const char* label; // the action, as the refusal names it
    bool practitioner;
    bool assistant;
};

// Admins may do everything. Practitioners work every clinical screen but
// manage neither the accounts nor the log, and cannot overwrite the records
// wholesale (restore, replacing import). Assistants at the front desk look
// after subjects' contact data and measure, and see nothing of the results.
constexpr Rule kRules[] = {
    {Permission::Measure, "量測", true, true},
    {Permission::Save, "儲存量測", true, true},
    {Permission::Analyse, "分析", true, false},
    {Permission::Compare, "比較", true, false},
    {Permission::Trend, "趨勢", true, false},
    {Permission::Knowledge, "知識頁", true, false},
    {Permission::Treatment, "處理頁", true, false},
    {Permission::Print, "列印", true, false},
    {Permission::ExportSubject, "匯出個案資料", true, false},
    {Permission::ResearchExport, "研究資料匯出", true, false},
    {Permission::Delete, "刪除個案或量測", true, false},
    {Permission::EditContacts, "新增或修改個案資料", true, true},
    {Permission::Import, "匯入", true, false},
    {Permission::ReplacingImport, "取代式匯入", false, false},
    {Permission::Restore, "還原", false, false},
    {Permission::Backup, "備份", true, false},
    {Permission::Settings, "使用者設定", true, false},
    {Permission::Operators, "操作人員管理", false, false},
    {Permission::AuditLog, "稽核紀錄", false, false},
    {Permission::Calibrate, "校正", true, true},
    {Permission::Merge, "合併個案", true, false},
};
static_assert(std::size(kRules) == size_t(PermissionCount), "one rule per permission");

const Rule& ruleOf(Permission p)
{
    for (const Rule& r : kRules)
        if (r.permission == p) return r;
    return kRules[0];
}

} // namespace

bool roleAllows(Role role, Permission permission)
{
    const Rule& r = ruleOf(permission);
    if (r.permission != permission) return false; // a permission without its rule: refused
    switch (role) {
    case Role::Admin:
        return true;
    case Role::Practitioner:
        return r.practitioner;
    case Role::Assistant:
        return r.assistant;
    }
    return false;
}

bool allowed(const OperatorSession& session, Permission permission)
{
    if (!session.practiceMode) return true;
    return session.loggedIn() && roleAllows(session.role, permission);
}

QString refusalReason(Permission permission)
{
    QStringList roles;
    for (Role r : {Role::Admin, Role::Practitioner, Role::Assistant})
        if (roleAllows(r, permission)) roles << roleLabel(r);
    return QString::fromUtf8("權限不足：%1僅限%2使用。")
        .arg(QString::fromUtf8(ruleOf(permission).label), roles.join(QString::fromUtf8("、")));
}

QString insufficientRightsMessage()
{
    return QString::fromUtf8("權限不足");
}

QString loginRequiredMessage()
{
    return QString::fromUtf8("需要登入");
}

} // namespace lumo
