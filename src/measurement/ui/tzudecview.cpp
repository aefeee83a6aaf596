// The measurement screen as the measuring run shows itself on it: the point,
// the values, the bars, the lamps and the stability trace.
#include "measurement/ui/tzudec.h"
#include "widgets/picturelabel.h"

#include "base/formats.h"
#include "measurement/ui/tzudecstyle.h"
#include "shell/datadir.h"
#include "widgets/balancegraph.h"
#include "widgets/gradientbar.h"
#include "widgets/ledlamp.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableWidget>

namespace lumo {

using namespace tzudec;

void TZudec::runStarted()
{
    m_grid->setEnabled(true);
    m_grid->setFocus();
    for (int i : {2, 7, 6, 3, 5, 8, 0, 4})
        m_actions[i]->setEnabled(false);
    m_actions[1]->setEnabled(true);
    updateRemeasureAction();
    m_high->setEnabled(false);
    m_standard->setEnabled(false);
    m_graphOrSubject->setCurrentWidget(m_graphGroup);
    m_markMissing = false;
    gridChanged();
}

void TZudec::runEnded()
{
    m_graphOrSubject->setCurrentWidget(m_subjectGroup);
    m_picture->setPicture(QPixmap());
    m_statusLamp->setOn(false);
    m_grid->setCurrentCell(0, 0);
    m_live->setText(QStringLiteral("[  0.0]"));
    for (QLabel* l : {m_position, m_channel, m_source, m_english, m_pictureSource, m_measured, m_compensated})
        l->clear();
    m_shownPoint = 0;
    setIdleButtons();
    // The next step has the keys before the grid lets them go: disabled with
    // the focus in it, the grid would hand them to the next control in the
    // chain, where an arrow key changes the sex or the minimum response.
    focusNextStep();
    m_grid->setEnabled(false);
    m_markMissing = true;
    gridChanged();
}

void TZudec::measurementCleared()
{
    refreshFromState();
}

void TZudec::loadPicture(int point)
{
    const QString folder = dataFilePath(m_state.DataDirectory, QLatin1String(PictureFolder));
    QPixmap pm(dataFilePath(folder, pictureFileName(point, m_state.config.PointPictureStyle)));
    m_picture->setPicture(pm);
}

void TZudec::showPoint(int point)
{
    m_shownPoint = point;
    const Meridian m = meridianOfPoint(point);
    loadPicture(point);
    m_position->setText(positionText(point));
    m_channel->setText(channelName(m));
    m_source->setText(sourcePoint(m));
    m_pictureSource->setText(sourcePoint(m));
    m_english->setText(englishLabel(m));
    const GridCell c = gridCellOfPoint(point);
    m_grid->setCurrentCell(c.row - 1, c.column - 1);
}

void TZudec::setStatus(const QString& text)
{
    m_status->showMessage(text);
}
// The status line stays the run's prompt; while the instrument is missing it
// turns red, and 停止測量 (enabled throughout a run) is the way out it names.
void TZudec::instrumentMissing(bool missing)
{
    m_status->setStyleSheet(missing ? QStringLiteral("QStatusBar { color: rgb(255,0,0); font-weight: bold; }")
                                    : QString());
}

void TZudec::setPickAllowed(bool allowed)
{
    m_grid->setEnabled(allowed || m_run.running());
}

void TZudec::showValues(double measured, double compensated)
{
    m_measured->setText(fmt("%5.2f", measured));
    m_compensated->setText(fmt("%5.2f", compensated));
}

void TZudec::showLive(double ua)
{
    m_live->setText(QStringLiteral("[") + fmt("%5.1f", ua) + QStringLiteral("]"));
}
void TZudec::setLevelBar(int value)
{
    m_level->setValue(value);
}
void TZudec::setCompletionBar(int value)
{
    m_completion->setValue(value);
}

void TZudec::setLamps(Phase phase)
{
    switch (phase) {
    case Phase::Waiting:
        m_statusLamp->setColor(LightGreen);
        m_statusLamp->setOn(true);
        m_statusLamp->setBlinkInterval(200);
        m_levelLamp->setColor(Green);
        m_levelLamp->setOn(false);
        m_levelLamp->setBlinkInterval(200);
        m_graphLamp->setColor(LightGreen);
        m_graphLamp->setOn(true);
        m_graphLamp->setBlinkInterval(200);
        break;
    case Phase::Reading:
        m_levelLamp->setOn(true);
        m_statusLamp->setBlinkInterval(0);
        m_statusLamp->setColor(Red);
        m_graphLamp->setColor(Red);
        break;
    case Phase::Stored:
        m_levelLamp->setBlinkInterval(0);
        for (LedLamp* l : {m_statusLamp, m_levelLamp, m_graphLamp})
            l->setColor(Yellow);
        break;
    case Phase::Idle:
        m_statusLamp->setOn(false);
        m_levelLamp->setOn(false);
        m_graphLamp->setBlinkInterval(0);
        break;
    }
}

QSize TZudec::graphSize() const
{
    return m_graph->size();
}
void TZudec::clearGraph()
{
    m_graph->clearTrace();
}
void TZudec::traceLine(QPoint from, QPoint to, bool)
{
    m_graph->traceLine(from, to);
}

void TZudec::pointStored(int point)
{
    gridChanged();
    announceGrade(point);
    updateRemeasureAction();
    m_date->setText(shortDateOfDay(m_state.energy.TakenAt));
    m_time->setText(longTimeOfDay(m_state.energy.TakenAt));
    showModeLabel(m_state.energy.VoltageMode);
}

} // namespace lumo
