#include "treatment/programscreen.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

QString programModeStatus(ProgramScreenMode mode)
{
    switch (mode) {
    case ProgramScreenMode::Query:
        return u("【查詢療程模式】");
    case ProgramScreenMode::AddCondition:
        return u("【新增條件模式】");
    case ProgramScreenMode::ModifyCondition:
        return u("【修改療程模式】");
    case ProgramScreenMode::DeleteProgram:
        return u("【刪除療程模式】");
    case ProgramScreenMode::DeleteCondition:
        return u("【刪除條件模式】");
    }
    return {};
}

ProgramScreenEnabling programScreenEnabling(ProgramScreenMode mode, ProgramGrid active, int programs,
                                            int conditions)
{
    ProgramScreenEnabling e;
    if (mode == ProgramScreenMode::AddCondition || mode == ProgramScreenMode::ModifyCondition) {
        e.confirm = e.cancel = true;
        e.editing = true;
        return e;
    }
    // Query, and the two questions, which are asked from query mode.
    e.grids = true;
    e.leave = true;
    if (active == ProgramGrid::Programs) {
        e.addProgram = true;
        e.modifyProgram = e.deleteProgram = programs > 0;
    } else {
        e.addCondition = programs > 0;
        e.modifyCondition = e.deleteCondition = programs > 0 && conditions > 0;
    }
    return e;
}

QString programCountLine(int programs, int conditions)
{
    // The count shows a 0 too: an empty field would read as a fault.
    return u("療程總計:") + QString::asprintf("%6d", programs) + QStringLiteral("  -  [ ") +
           QString::number(conditions) + QStringLiteral(" ]");
}

QString deleteProgramQuestion(const QString& ProName)
{
    return u("您確定要刪除【") + ProName.trimmed() + u("】這筆療程群組嗎 ?");
}

QString deleteConditionQuestion(const QString& ProSubN)
{
    return u("您確定要刪除【") + ProSubN.trimmed() + u("】這筆條件嗎 ?");
}

} // namespace lumo
