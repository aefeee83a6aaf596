// The record browser's actions that take a subject to another screen
// (export, merge, trend), and the rights over the browser's buttons.
#include "comparison/ui/tzutrend.h"
#include "practice/ui/guard.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuexport.h"
#include "records/ui/tzumerge.h"
#include "records/ui/tzuread.h"
#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QAction>
#include <QTableView>

namespace lumo {

// After every change of the buttons' states: what the operator's role does
// not allow stays disabled, with the reason as its tool tip.
void TZuread::applyRights()
{
    const OperatorSession& s = m_state.Session;
    guardControl(m_actions[1], s, Permission::EditContacts);
    guardControl(m_actions[2], s, Permission::Delete);
    guardControl(m_actions[3], s, Permission::Save);
    guardControl(m_actions[4], s, Permission::Delete);
    guardControl(m_trend, s, Permission::Trend);
    guardControl(m_exportSubject, s, Permission::ExportSubject);
    guardControl(m_mergeSubjects, s, Permission::Merge);
}

void TZuread::exportSubject()
{
    if (!m_picker->hasCurrentRow() || !allowed(m_state.Session, Permission::ExportSubject)) return;
    TZuExport screen(m_state, m_picker->currentRow(), this);
    execModal(screen);
}

void TZuread::mergeSubjects()
{
    if (!m_picker->hasCurrentRow() || !allowed(m_state.Session, Permission::Merge)) return;
    const qint64 key = m_picker->list().keyAt(m_picker->currentPosition());
    TZuMerge screen(m_state, key, this);
    execModal(screen);
    // The kept subject may have a new number, the other one is gone (or back).
    m_picker->reload();
    m_picker->selectKey(key);
    subjectChanged();
    m_picker->view()->setFocus();
}

void TZuread::showTrend()
{
    if (!m_picker->hasCurrentRow() || m_rows.size() < 2 || !allowed(m_state.Session, Permission::Trend))
        return;
    const qint64 key = m_picker->list().keyAt(m_picker->currentPosition());
    TZuTrend screen(m_state, m_picker->currentRow(), this);
    execModal(screen);
    m_picker->selectKey(key);
}

} // namespace lumo
