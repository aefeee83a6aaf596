#include "practice/auditactions.h"

#include <algorithm>
#include <iterator>

namespace lumo {
namespace {

const AuditAction kActions[] = {
    {"login", "登入"},
    {"login.failed", "登入失敗"},
    {"logout", "登出"},
    {"lock", "螢幕鎖定"},
    {"unlock", "解除鎖定"},
    {"operator.add", "新增操作人員"},
    {"operator.passwd", "修改密碼"},
    {"operator.disable", "停用操作人員"},
    {"server.grant", "授權工作站登入"},
    {"settings.change", "修改設定"},
    {"subject.view", "檢視量測資料"},
    {"analysis.view", "檢視分析"},
    {"comparison.view", "檢視比對"},
    {"trend.view", "檢視趨勢"},
    {"subject.add", "新增受測者"},
    {"subject.change", "修改受測者"},
    {"subject.delete", "刪除受測者"},
    {"measurement.add", "新增量測"},
    {"measurement.change", "修改量測"},
    {"measurement.delete", "刪除量測"},
    {"memo.change", "修改備註"},
    {"program.add", "新增療程"},
    {"program.change", "修改療程"},
    {"program.delete", "刪除療程"},
    {"print", "列印"},
    {"pdf", "輸出PDF"},
    {"export", "匯出資料"},
    {"export.subject", "匯出個人資料"},
    {"research.export", "匯出研究檔"},
    {"import", "匯入資料"},
    {"import.subjects", "匯入受測者"},
    {"merge", "合併受測者"},
    {"merge.undo", "復原合併"},
    {"backup", "備份"},
    {"restore", "還原"},
    {"audit.export", "匯出稽核紀錄"},
    {"audit.guard", "重建稽核紀錄保護"},
};

const AuditAction* byKey(const QString& key)
{
    const auto* it = std::find_if(std::begin(kActions), std::end(kActions),
                                  [&](const AuditAction& a) { return key == QLatin1String(a.key); });
    return it == std::end(kActions) ? nullptr : it;
}

} // namespace

std::span<const AuditAction> auditActions()
{
    return kActions;
}

bool isAuditAction(const QString& key)
{
    return byKey(key) != nullptr;
}

QString auditActionLabel(const QString& key)
{
    const AuditAction* a = byKey(key);
    return a ? QString::fromUtf8(a->label) : key;
}

QString auditActionKey(const QString& typed)
{
    const QString t = typed.trimmed();
    for (const AuditAction& a : kActions)
        if (t == QString::fromUtf8(a.label)) return QString::fromLatin1(a.key);
    return t;
}

} // namespace lumo
