#pragma once
// The rules of the treatment program screen that need no window: its modes
// with their status texts, which controls each mode and grid enables, and the
// texts of its count line and questions.

#include <QString>

namespace lumo {

enum class ProgramScreenMode
{
    Query,           // browsing
    AddCondition,    // 新增條件 until 確認異動 or 放  棄
    ModifyCondition, // 修改條件 until 確認異動 or 放  棄
    DeleteProgram,   // while 刪除療程 asks
    DeleteCondition  // while 刪除條件 asks
};

enum class ProgramGrid
{
    Programs,
    Conditions
};

struct ProgramScreenEnabling
{
    bool grids = false;
    bool addProgram = false, modifyProgram = false, deleteProgram = false;
    bool addCondition = false, modifyCondition = false, deleteCondition = false;
    bool confirm = false, cancel = false; // 確認異動, 放  棄
    bool leave = false;                   // 離  開
    bool editing = false;                 // text fields, panels and picture controls
};

QString programModeStatus(ProgramScreenMode mode);

// What is enabled in a mode, with the grid entered last and the number of
// programs and of the current program's conditions. A condition belongs to a
// program, so 新增條件 also needs a current program.
ProgramScreenEnabling programScreenEnabling(ProgramScreenMode mode, ProgramGrid active, int programs,
                                            int conditions);

// "療程總計:" with the programs right-aligned in six places, then "  -  [ ",
// the current program's conditions and " ]".
QString programCountLine(int programs, int conditions);

QString deleteProgramQuestion(const QString& ProName);
QString deleteConditionQuestion(const QString& ProSubN);

} // namespace lumo
