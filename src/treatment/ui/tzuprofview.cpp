// The treatment program screen: what it shows of the current program and
// condition, and how it moves between them.
#include "treatment/conditionpanels.h"
#include "treatment/groupediting.h"
#include "treatment/ui/conditionpanelsview.h"
#include "treatment/ui/programpicture.h"
#include "treatment/ui/programtablemodel.h"
#include "treatment/ui/tzuprof.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>

namespace lumo {
namespace {

// The title row of the grid entered last is tinted light orange.
void tintHeader(QHeaderView* header, bool active)
{
    header->setStyleSheet(
        active ? QStringLiteral("QHeaderView::section { background-color: rgb(255,176,128); }") : QString());
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    return item;
}

} // namespace

void TZuProf::reloadPrograms()
{
    m_moving = true;
    m_programModel->setPrograms(m_tables.programs());
    m_moving = false;
}

void TZuProf::refreshFromElsewhere(const QString& table)
{
    if (editing() ||
        !(table.isEmpty() || table == QLatin1String("ZUPRO") || table == QLatin1String("ZUPRDT")))
        return;
    const qint64 program = m_program ? m_program->MKEY : 0;
    const qint64 condition =
        m_conditionRow >= 0 && m_conditionRow < m_conditions.size() ? m_conditions[m_conditionRow].MKEY : 0;
    const int conditionRow = m_conditionRow;
    reloadPrograms();
    int row = std::min(m_row, programCount() - 1);
    const QVector<ProgramSummary>& programs = m_programModel->programs();
    for (int i = 0; i < programs.size(); ++i)
        if (programs[i].MKEY == program) row = i;
    moveToProgram(row);
    reloadConditions(condition, std::max(0, conditionRow));
    applyMode();
}

void TZuProf::moveToProgram(int row)
{
    if (row >= programCount()) row = programCount() - 1;
    m_row = row;
    m_program.reset();
    if (row >= 0) m_program = m_tables.program(m_programModel->programs()[row].MKEY);
    m_conditions = m_program ? m_tables.conditions(m_program->ProNo) : QVector<ConditionRow>();
    m_conditionRow = m_conditions.isEmpty() ? -1 : 0;
    m_moving = true;
    if (row >= 0) {
        const QModelIndex i = m_programModel->index(row, 1);
        if (m_programGrid->currentIndex().row() != row) m_programGrid->setCurrentIndex(i);
        m_programGrid->scrollTo(i);
    }
    fillConditionGrid();
    m_moving = false;
    showProgram();
    showCondition();
    applyMode();
}

void TZuProf::moveToCondition(int row)
{
    if (editing()) return;
    m_conditionRow = row >= 0 && row < m_conditions.size() ? row : -1;
    showCondition();
    applyMode();
}

// After a change: the conditions of the program again, on the row of `keepKey`
// when it is still there, else on `fallbackRow` (or the last row).
void TZuProf::reloadConditions(qint64 keepKey, int fallbackRow)
{
    m_conditions = m_program ? m_tables.conditions(m_program->ProNo) : QVector<ConditionRow>();
    int row = std::min(fallbackRow, int(m_conditions.size()) - 1);
    for (int i = 0; i < m_conditions.size(); ++i)
        if (keepKey != 0 && m_conditions[i].MKEY == keepKey) row = i;
    m_conditionRow = row;
    m_moving = true;
    fillConditionGrid();
    m_moving = false;
    showCondition();
}

void TZuProf::fillConditionGrid()
{
    m_conditionGrid->setRowCount(int(m_conditions.size()));
    for (int r = 0; r < m_conditions.size(); ++r) {
        const ConditionRow& c = m_conditions[r];
        m_conditionGrid->setItem(r, 0, cell(QString::number(r + 1))); // CoNo
        m_conditionGrid->setItem(r, 1, cell(ProFlgC(c), Qt::AlignCenter));
        m_conditionGrid->setItem(r, 2, cell(c.ProSubN));
        m_conditionGrid->setItem(r, 3, cell(c.ProNote));
    }
    if (m_conditionRow >= 0) m_conditionGrid->setCurrentCell(m_conditionRow, 2);
}

void TZuProf::showProgram()
{
    const ProgramRow p = m_program.value_or(ProgramRow());
    m_programNumber->setText(p.ProNo);
    m_programName->setText(p.ProName);
    m_description->setPlainText(p.ProData);
    m_picture->setPicture(p.ProPict);
    m_scale->setChecked(p.ProScal);
    m_picture->setOwnSize(p.ProScal);
    for (int n = 1; n <= 4; ++n) {
        QPushButton* b = m_programButtons[size_t(n - 1)];
        b->setEnabled(m_program && flagIsOn(p.ProFN, n));
        b->setToolTip(p.ProScrp[size_t(n - 1)]);
    }
}

void TZuProf::showCondition()
{
    const ConditionRow c = m_conditionRow >= 0 ? m_conditions[m_conditionRow] : ConditionRow();
    m_conditionName->setText(c.ProSubN);
    m_conditionNote->setText(c.ProNote);
    m_required->setChecked(c.ProFlg);
    m_panels->setState(ConditionPanels::read(c));
    m_count->setText(programCountLine(programCount(), int(m_conditions.size())));
}

bool TZuProf::editing() const
{
    return m_mode == ProgramScreenMode::AddCondition || m_mode == ProgramScreenMode::ModifyCondition;
}

void TZuProf::setMode(ProgramScreenMode mode)
{
    m_mode = mode;
    applyMode();
}

void TZuProf::enterGrid(ProgramGrid grid)
{
    if (editing()) return;
    m_active = grid;
    tintHeader(m_programGrid->horizontalHeader(), grid == ProgramGrid::Programs);
    tintHeader(m_conditionGrid->horizontalHeader(), grid == ProgramGrid::Conditions);
    applyMode();
}

void TZuProf::applyMode()
{
    const ProgramScreenEnabling e =
        programScreenEnabling(m_mode, m_active, programCount(), int(m_conditions.size()));
    const bool buttons[] = {e.addProgram,   e.modifyProgram,   e.deleteProgram,
                            e.addCondition, e.modifyCondition, e.deleteCondition,
                            e.confirm,      e.cancel,          e.leave};
    for (int i = 0; i < m_actions.size(); ++i)
        m_actions[i]->setEnabled(buttons[i]);
    m_programGrid->setEnabled(e.grids);
    m_conditionGrid->setEnabled(e.grids);
    m_description->setReadOnly(!e.editing);
    m_conditionName->setReadOnly(!e.editing);
    m_conditionNote->setReadOnly(!e.editing);
    for (QWidget* w : std::initializer_list<QWidget*>{m_conditionName, m_conditionNote, m_required,
                                                      m_pictureChange, m_pictureClear, m_scale})
        w->setEnabled(e.editing);
    m_panels->setEditable(e.editing);
    m_status->setText(programModeStatus(m_mode));
    m_count->setText(programCountLine(programCount(), int(m_conditions.size())));
}

} // namespace lumo
