// The treatment program screen: adding, changing and deleting conditions, and
// deleting programs. Each change is written in one step when it is confirmed;
// until then it lives in the controls only, so closing the screen discards it.
#include "shell/sharedstate.h"

#include "practice/audit.h"
#include "practice/auditdetail.h"
#include "treatment/groupediting.h"
#include "treatment/ui/conditionpanelsview.h"
#include "treatment/ui/programpicture.h"
#include "treatment/ui/tzuprof.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>

namespace lumo {

void TZuProf::addCondition()
{
    if (!m_program || editing()) return;
    m_editing = ConditionRow();
    m_editing.ProNo = m_program->ProNo;
    m_editing.ProFlg = false;
    // The new condition shows as an empty last row until it is confirmed.
    const int row = m_conditionGrid->rowCount();
    m_moving = true;
    m_conditionGrid->setRowCount(row + 1);
    m_conditionGrid->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
    m_conditionGrid->setCurrentCell(row, 2);
    m_moving = false;
    m_conditionName->clear();
    m_conditionNote->clear();
    m_required->setChecked(false);
    m_panels->setState(ConditionPanels());
    setMode(ProgramScreenMode::AddCondition);
    m_conditionName->setFocus();
}

void TZuProf::modifyCondition()
{
    if (!m_program || m_conditionRow < 0 || editing()) return;
    m_editing = m_conditions[m_conditionRow];
    setMode(ProgramScreenMode::ModifyCondition);
    m_conditionName->setFocus();
}

void TZuProf::confirm()
{
    if (!editing() || !m_program) return;
    ConditionRow c = m_editing;
    c.ProNo = m_program->ProNo;
    c.ProSubN = m_conditionName->text();
    c.ProNote = m_conditionNote->text();
    c.ProFlg = m_required->isChecked();
    m_panels->state().writeTo(c);
    ProgramRow p = *m_program;
    p.ProData = m_description->toPlainText();
    p.ProPict = m_picture->picture();
    p.ProScal = m_scale->isChecked();
    // Which condition, then each field that changed with its old value.
    QStringList detail{QStringLiteral("%1 %2: %3").arg(p.ProNo, p.ProName, c.ProSubN),
                       conditionChanges(m_editing, c), programChanges(*m_program, p)};
    detail.removeAll(QString());
    const Status s =
        auditedChange(m_state, {QStringLiteral("program.change"), {}, 0, detail.join(QStringLiteral("; "))},
                      [&](AuditEntry&) { return m_tables.confirmCondition(c, p); });
    if (!s) {
        // Nothing was written; the edit stays on screen to be tried again or
        // given up (after another workstation's change: given up and read again).
        m_state.reportFailure(s);
        return;
    }
    m_program = p;
    m_mode = ProgramScreenMode::Query;
    reloadConditions(c.MKEY, m_conditionRow);
    returnToGrid(ProgramGrid::Conditions);
}

void TZuProf::cancelEdit()
{
    if (!editing()) return;
    m_mode = ProgramScreenMode::Query;
    // The stored state again: the program's description and picture, the conditions.
    showProgram();
    reloadConditions(m_editing.MKEY, m_conditionRow);
    returnToGrid(ProgramGrid::Conditions);
}

void TZuProf::deleteProgram()
{
    if (!m_program || editing()) return;
    m_state.playTone(1);
    setMode(ProgramScreenMode::DeleteProgram);
    const bool yes = m_state.ShowMessageDialog(AskAttention, deleteProgramQuestion(m_program->ProName));
    m_mode = ProgramScreenMode::Query;
    if (yes) {
        const Status s = auditedChange(m_state,
                                       {QStringLiteral("program.delete"),
                                        {},
                                        0,
                                        QStringLiteral("%1 %2").arg(m_program->ProNo, m_program->ProName)},
                                       [&](AuditEntry&) { return m_tables.deleteProgram(*m_program); });
        if (!s) m_state.reportError(s.error);
        const int row = m_row;
        reloadPrograms();
        moveToProgram(std::min(row, programCount() - 1));
    }
    returnToGrid(ProgramGrid::Programs);
}

void TZuProf::deleteCondition()
{
    if (!m_program || m_conditionRow < 0 || editing()) return;
    m_state.playTone(1);
    setMode(ProgramScreenMode::DeleteCondition);
    const ConditionRow c = m_conditions[m_conditionRow];
    const bool yes = m_state.ShowMessageDialog(AskAttention, deleteConditionQuestion(c.ProSubN));
    m_mode = ProgramScreenMode::Query;
    if (yes) {
        const Status s = auditedChange(
            m_state,
            {QStringLiteral("program.change"),
             {},
             0,
             QString::fromUtf8("%1 %2: 刪除條件 %3").arg(m_program->ProNo, m_program->ProName, c.ProSubN)},
            [&](AuditEntry&) { return m_tables.deleteCondition(c.MKEY); });
        if (!s) m_state.reportError(s.error);
        reloadConditions(0, m_conditionRow);
    }
    returnToGrid(ProgramGrid::Conditions);
}

// Back in query mode the grid the operation started from has the focus again:
// the controls of the edit are disabled, and the focus leaving them must not
// land on the other grid and make it the active one.
void TZuProf::returnToGrid(ProgramGrid grid)
{
    m_mode = ProgramScreenMode::Query;
    applyMode();
    (grid == ProgramGrid::Programs ? static_cast<QWidget*>(m_programGrid) : m_conditionGrid)->setFocus();
    enterGrid(grid);
}

void TZuProf::choosePicture()
{
    const QString path = chooser ? chooser(this, {FileRequest::Picture}) : QString();
    if (path.isEmpty()) return;
    if (auto bytes = readPictureFile(path)) {
        m_picture->setPicture(*bytes);
        return;
    }
    m_state.playTone(1);
    m_state.ShowMessageDialog(NoteAttention, unreadablePictureMessage(path));
}

} // namespace lumo
