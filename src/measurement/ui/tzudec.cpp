#include "measurement/ui/tzudec.h"
#include "practice/ui/guard.h"
#include "widgets/actions.h"

#include "base/formats.h"
#include "measurement/earlierparts.h"
#include "measurement/missingpoints.h"
#include "measurement/ui/tzudecstyle.h"
#include "practice/masking.h"
#include "records/caliblog.h"
#include "shell/ui/recentsubjects.h"

#include <QAction>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>

namespace lumo {

TZudec::TZudec(SharedState& state, Instrument& instrument, MeasurementLinks links, QWidget* parent)
    : QDialog(parent), m_state(state), m_instrument(instrument), m_links(std::move(links)),
      m_run(state, instrument, *this)
{
    setObjectName(QStringLiteral("TZudec"));
    setWindowTitle(tzudec::u("經絡量測"));
    buildUi();
    offerRecentSubjects(*this, m_state, [this] { showSubject(); });
    connect(&m_state.waitingRoom, &WaitingRoomDisplay::changed, this, &TZudec::showSubject);
    // Creating the screen: headings, minimum response, potential and picture style from the settings.
    setMinResponse(int(rnd(m_state.config.MinResponse * 10)));
    (m_state.config.HighPotential ? m_high : m_standard)->setChecked(true);
    const int style = std::clamp(m_state.config.PointPictureStyle, 1, 3);
    m_style[style - 1]->setChecked(true);
}

QAction* TZudec::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

void TZudec::setMinResponse(int tenths)
{
    QSignalBlocker a(m_minUpDown), b(m_minTrack);
    m_minUpDown->setValue(tenths / 10.0);
    m_minTrack->setValue(tenths);
    m_state.config.MinResponse = tenths / 10.0;
}

void TZudec::fillGrid()
{
    showAllGrades(); // each cell's value, with the mark of a point graded C
}

// After a run that left points out, their empty cells stand out, so the
// operator sees where to measure again; during a run no cell is marked.
// Values kept from before the last run look apart from the run's own.
void TZudec::markCell(QTableWidgetItem* item, int point, QString tip, bool poor)
{
    const EnergySet& e = m_state.energy;
    const bool has = e.Readings[size_t(point - 1)] != 0;
    const QString earlier = has ? earlierCellNote(e.Quality, point) : QString();
    QFont font = item->font();
    font.setItalic(!earlier.isEmpty());
    item->setFont(font);
    if (!earlier.isEmpty()) {
        if (!poor) {
            item->setForeground(QBrush(tzudec::EarlierText));
            item->setBackground(QBrush(tzudec::EarlierCell));
        }
        tip = tip.isEmpty() ? earlier : earlier + QLatin1Char('\n') + tip;
    }
    if (!has && m_markMissing && e.hasData()) {
        item->setBackground(QBrush(tzudec::MissingCell));
        tip = tzudec::u("未測量");
    }
    item->setToolTip(tip);
    item->setData(Qt::AccessibleDescriptionRole, tip);
}

void TZudec::gridChanged()
{
    showAllGrades();
    m_idleStatus->setText(idleStatusText());
}

void TZudec::focusNextStep()
{
    QAction* next = m_actions[2]->isEnabled()   ? m_actions[2]
                    : m_actions[3]->isEnabled() ? m_actions[3]
                                                : m_actions[0];
    if (QWidget* b = m_toolBar->widgetForAction(next)) b->setFocus(Qt::OtherFocusReason);
}

QString TZudec::idleStatusText() const
{
    const QString missing = missingPointsText(m_state.energy);
    if (!missing.isEmpty()) return missing;
    if (const QString parts = earlierPartsText(m_state.energy); !parts.isEmpty())
        return parts + tzudec::u("（先前的數值以灰色斜體顯示）");
    // A probe not calibrated for a long time reads wrong: the idle screen says so.
    return m_state.MainDatabase ? calibrationReminder(*m_state.MainDatabase, QDate::currentDate())
                                : QString();
}

void TZudec::showModeLabel(bool high)
{
    m_mode->setText(high ? QStringLiteral("[ Hi ]") : QStringLiteral("[Standard]"));
    m_mode->setStyleSheet(high ? QStringLiteral("color: rgb(255,0,0);")
                               : QStringLiteral("color: rgb(0,128,0);"));
}

void TZudec::showSubject()
{
    const SubjectRow& s = m_state.CurrentSubject;
    const ShownSubject shown = shownSubject(s, m_state.waitingRoom.on());
    m_subject[0]->setText(shown.CUSTNO);
    m_subject[1]->setText(shown.NAME);
    const bool birth = s.DBIRTH >= NoBirthDateLimit;
    m_subject[2]->setText(shown.DBIRTH);
    m_subject[3]->setText(birth ? fmt("%3d", ageInYears(s.DBIRTH, QDate::currentDate())) : QString());
    m_subject[4]->setText(shown.TEL);
    (s.SEX ? m_male : m_female)->setChecked(true);
}

void TZudec::setIdleButtons()
{
    const bool data = m_state.energy.hasData();
    const bool complete = data && m_state.energy.allMeasured();
    m_actions[0]->setEnabled(true);  // 經絡測量
    m_actions[1]->setEnabled(false); // 停止測量
    m_actions[2]->setEnabled(complete);
    m_actions[3]->setEnabled(data);
    m_actions[4]->setEnabled(true);
    m_actions[5]->setEnabled(data);
    m_actions[6]->setEnabled(true);
    m_actions[7]->setEnabled(complete);
    m_actions[8]->setEnabled(true);
    // The role's rules over the idle states: analysis and comparison are not the front desk's.
    guardControl(m_actions[2], m_state.Session, Permission::Analyse);
    guardControl(m_actions[3], m_state.Session, Permission::Save);
    guardControl(m_actions[7], m_state.Session, Permission::Compare);
    m_high->setEnabled(true);
    m_standard->setEnabled(true);
    updateRemeasureAction();
}

void TZudec::refreshFromState()
{
    m_grid->setEnabled(false);
    EnergySet& e = m_state.energy;
    if (e.hasData()) {
        m_date->setText(e.TakenAt == 0 ? QString() : shortDateOfDay(e.TakenAt));
        m_time->setText(e.TakenAt == 0 ? QString() : longTimeOfDay(e.TakenAt));
    } else {
        e.TakenAt = 0;
        m_date->clear();
        m_time->clear();
        e.VoltageMode = m_state.config.HighPotential;
    }
    m_markMissing = true;
    fillGrid();
    showModeLabel(e.VoltageMode);
    // After a load or typed values the potential buttons follow the measurement.
    (e.VoltageMode ? m_high : m_standard)->setChecked(true);
    m_state.config.HighPotential = e.VoltageMode;
    setIdleButtons();
    showSubject();
    m_status->clearMessage();
    m_idleStatus->setText(idleStatusText());
}

void TZudec::showEvent(QShowEvent* ev)
{
    QDialog::showEvent(ev);
    refreshFromState();
}

// The opened screen covers this one rather than hiding it: hiding a dialog ends
// its modal loop, and the screen would be left neither modal nor finished.
void TZudec::openLinked(const std::function<void(QWidget*)>& open, bool afterAnalysis)
{
    if (!open) {
        m_state.ShowMessageDialog(NoteAttention, tzudec::u("本功能尚未安裝。"));
        return;
    }
    open(this);
    if (afterAnalysis) advanceUsageCounterIfDue(m_state, m_instrument);
    refreshFromState();
    activateWindow();
}

void TZudec::ToolButtonSaveClick()
{
    const qint64 before = m_state.CurrentMeasurementKey;
    openLinked(m_links.save);
    const qint64 key = m_state.CurrentMeasurementKey;
    if (key <= 0 || key == before) return;
    measurementSaved();
    if (m_repeat.on()) return; // the repeat mode's status line says what comes next
    // The save screen closes on storing; without a word the operator cannot
    // tell a stored measurement from a screen that was left.
    const ShownSubject s = shownSubject(m_state.CurrentSubject, m_state.waitingRoom.on());
    m_status->showMessage(tzudec::u("已儲存 ") + s.CUSTNO + QLatin1Char(' ') + s.NAME + QLatin1Char(' ') +
                              longTime(QTime::currentTime()),
                          tzudec::SavedNoticeMs);
}

void TZudec::ToolButtonMeasureClick()
{
    if (m_run.running()) return;
    prepareRepeatRun();
    m_run.start();
}

void TZudec::ToolButtonStopClick()
{
    // The grid gives up the keys to the button that stopped, not to the
    // next control in the chain (the sex, the minimum response).
    if (m_grid->hasFocus()) m_toolBar->widgetForAction(m_actions[1])->setFocus(Qt::OtherFocusReason);
    m_grid->setEnabled(false);
    m_run.requestStop();
}

void TZudec::ToolButtonClearClick()
{
    if (!m_state.ShowMessageDialog(
            AskQuestion, tzudec::u("確定要清除視窗中的經絡能量數據嗎?") + QStringLiteral("\r\n") +
                             tzudec::u(" (本功能只會清除視窗表格中的資料，不會影響已經儲存的病歷資料)")))
        return;
    SharedState& s = m_state;
    s.CurrentMeasurementKey = 0;
    s.PointsSinceAnalysis = 0;
    s.energy.Memo.clear();
    s.AnalysisPage = 0;
    s.energy.clearReadings();
    s.resetCurrentSubject();
    s.energy.TakenAt = 0;
    s.energy.VoltageMode = s.config.HighPotential;
    refreshFromState();
}

void TZudec::gridClicked(int row, int column)
{
    m_run.pick(pointOfGridCell(column + 1, row + 1));
}

void TZudec::reject()
{
    if (m_run.running()) return; // a run ends through 停止測量
    // Closing keeps the measuring settings.
    m_state.config.HighPotential = m_high->isChecked();
    m_state.saveConfiguration();
    QDialog::reject();
}

void TZudec::closeEvent(QCloseEvent* e)
{
    if (m_run.running()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e); // goes through reject()
}

} // namespace lumo
