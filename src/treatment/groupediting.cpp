#include "treatment/groupediting.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

void fill(ProgramRow& r, const GroupFields& f)
{
    r.ProName = f.ProName;
    r.ProData = f.ProData;
    r.ProPict = f.ProPict;
    r.ProScal = f.ProScal;
    r.ProFN = programButtonFlags(f.buttons);
    r.ProScrp = f.ProScrp;
    r.ProPrg = f.ProPrg;
    r.ProParm = f.ProParm;
}

GroupSaveResult refused(const QString& message)
{
    return {GroupSaveResult::Refused, message, {}};
}

} // namespace

GroupFields GroupFields::of(const ProgramRow& r)
{
    GroupFields f;
    f.ProNo = r.ProNo;
    f.ProName = r.ProName;
    f.ProData = r.ProData;
    f.ProPict = r.ProPict;
    f.ProScal = r.ProScal;
    for (int n = 1; n <= 4; ++n)
        f.buttons[size_t(n - 1)] = flagIsOn(r.ProFN, n);
    f.ProScrp = r.ProScrp;
    f.ProPrg = r.ProPrg;
    f.ProParm = r.ProParm;
    return f;
}

QString programButtonFlags(const std::array<bool, 4>& buttons)
{
    QString s;
    for (bool b : buttons)
        s += b ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

bool flagIsOn(const QString& flags, int n)
{
    return n >= 1 && n <= flags.size() && flags.at(n - 1) == QLatin1Char('1');
}

bool groupNumberGiven(const QString& typed)
{
    return !typed.trimmed().isEmpty();
}

QString duplicateGroupMessage(const QString& existingName)
{
    return u("您所輸入的群組編號已經與另一群組 [ ") + existingName.trimmed() +
           u(" ] 重覆!!請重新指定另一個編號。");
}

QString groupNumberTooLongMessage()
{
    return u("療程編號最多只能有 %1 個字，請重新輸入。").arg(GroupNumberLength);
}

QString groupNameTooLongMessage()
{
    return u("療程名稱最多只能有 %1 個字，請重新輸入。").arg(GroupNameLength);
}

QString unreadablePictureMessage(const QString& path)
{
    return u("無法讀取圖片檔案 [ ") + path + u(" ]，請選擇另一個圖片檔案。");
}

GroupSaveResult addGroup(TreatmentTables& tables, const GroupFields& f)
{
    const QString number = f.ProNo.trimmed();
    if (number.isEmpty()) return refused({}); // the save button is not offered then
    if (number.size() > GroupNumberLength) return refused(groupNumberTooLongMessage());
    if (f.ProName.size() > GroupNameLength) return refused(groupNameTooLongMessage());
    if (auto existing = tables.findNumber(number))
        return {GroupSaveResult::Duplicate, duplicateGroupMessage(existing->ProName), {}};
    ProgramRow r;
    r.ProNo = number;
    fill(r, f);
    Status s = tables.appendProgram(r);
    if (!s) return {GroupSaveResult::Failed, s.error, {}};
    return {GroupSaveResult::Saved, {}, number};
}

GroupSaveResult changeGroup(TreatmentTables& tables, const ProgramRow& current, const GroupFields& f)
{
    if (f.ProName.size() > GroupNameLength) return refused(groupNameTooLongMessage());
    ProgramRow r = current;
    fill(r, f);
    Status s = tables.updateProgram(r);
    // Another workstation changed the program since it was shown: told as a notice, the editor stays.
    if (isRowConflict(s)) return refused(s.error);
    if (!s) return {GroupSaveResult::Failed, s.error, {}};
    return {GroupSaveResult::Saved, {}, current.ProNo};
}

} // namespace lumo
