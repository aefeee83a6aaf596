#include "measurement/ui/tzuloc.h"
#include "widgets/actions.h"

#include "base/formats.h"
#include "widgets/analoguemeter.h"
#include "widgets/gradientbar.h"
#include "widgets/ledlamp.h"
#include "widgets/segmentmeter.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

namespace lumo {
namespace {
constexpr int LocatingBlinkMs = 250;
QString colourSheet(const QColor& c)
{
    return QStringLiteral("color: rgb(%1,%2,%3);").arg(c.red()).arg(c.green()).arg(c.blue());
}
} // namespace

TZuLoc::TZuLoc(SharedState& state, Instrument& instrument, QWidget* parent)
    : QDialog(parent), m_state(state), m_run(state, instrument, *this)
{
    setObjectName(QStringLiteral("TZuLoc"));
    setWindowTitle(QString::fromUtf8("穴道定位"));
    buildUi();
}

QAction* TZuLoc::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

void TZuLoc::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_run.running()) return;
    // The options as stored; the run settles the sensitivity and the mode.
    m_run.showScreen();
    const Configuration& c = m_state.config;
    QSignalBlocker a(m_sound), b(m_keepHighest), h(m_highPotential), s(m_sensitivity);
    m_sound->setChecked(c.LocateSound);
    m_keepHighest->setChecked(c.LocateKeepHighest);
    m_highPotential->setChecked(c.LocateHighPotential);
    m_sensitivity->setValue(c.LocateSensitivity);
}

void TZuLoc::ToolButtonStartClick()
{
    if (!m_run.running()) m_run.start();
}

void TZuLoc::ToolButtonStopClick()
{
    m_run.requestStop();
}

void TZuLoc::ToolButtonClearClick()
{
    m_run.clearHighest();
}

void TZuLoc::showLamp(LedLamp* lamp, const LampShow& show)
{
    lamp->setColor(show.color);
    lamp->setOn(show.on);
    lamp->setBlinkInterval(show.on && show.blinking ? LocatingBlinkMs : 0);
}

// The run reports after every reading: only what changed is touched, so that
// the lamps keep their blinking rhythm and nothing repaints needlessly.
void TZuLoc::showLocating(const LocatingDisplay& d)
{
    showValues(d);
    showControls(d);
    m_shown = d;
    m_anyShown = true;
}

void TZuLoc::showValues(const LocatingDisplay& d)
{
    const bool all = !m_anyShown;
    const LocatingDisplay& o = m_shown;
    if (all || d.reading != o.reading) m_reading->setText(fmt("%5.1f", d.reading));
    if (all || d.readingBar != o.readingBar) m_readingBar->setValue(d.readingBar);
    if (all || d.highest != o.highest) m_highest->setText(fmt("%5.1f", d.highest));
    if (all || d.highestBar != o.highestBar) m_highestBar->setValue(d.highestBar);
    if (all || d.stateText != o.stateText) m_stateText->setText(d.stateText);
    if (all || d.stateColor != o.stateColor) m_stateText->setStyleSheet(colourSheet(d.stateColor));
    if (all || !(d.stateLamp == o.stateLamp)) showLamp(m_stateLamp, d.stateLamp);
    if (all || !(d.readingLamp == o.readingLamp)) showLamp(m_readingLamp, d.readingLamp);
    if (all || !(d.highestLamp == o.highestLamp)) showLamp(m_highestLamp, d.highestLamp);
    m_segments->setZones(d.zones.green, d.zones.yellow, d.zones.red);
    m_segments->setValue(d.segment);
    m_balance->setValue(d.balance);
}

void TZuLoc::showControls(const LocatingDisplay& d)
{
    const bool all = !m_anyShown;
    const LocatingDisplay& o = m_shown;
    if (all || d.highPotential != o.highPotential) {
        m_potentialText->setText(QString::fromUtf8(d.highPotential ? "高電位定位" : "標準電位定位"));
        m_potentialText->setStyleSheet(colourSheet(d.highPotential ? QColor(128, 0, 0) : QColor(0, 128, 0)));
        showLamp(m_potentialLamp, {d.highPotential ? QColor(255, 0, 0) : QColor(0, 255, 0), true, false});
    }
    if (all || d.mode != o.mode) {
        const bool search = d.mode == LocatingMode::Search;
        QSignalBlocker a(m_searchMode), b(m_locatingMode);
        (search ? m_searchMode : m_locatingMode)->setChecked(true);
        m_searchLamp->setOn(search);
        m_locatingLamp->setOn(!search);
    }
    m_searchMode->setEnabled(d.modeControlsEnabled);
    m_locatingMode->setEnabled(d.modeControlsEnabled);
    m_actions[2]->setEnabled(d.modeControlsEnabled);
    m_actions[0]->setEnabled(!d.running);
    m_actions[1]->setEnabled(d.running);
    m_actions[3]->setEnabled(!d.running);
    m_highPotential->setEnabled(d.highPotentialEnabled);
}

void TZuLoc::reject()
{
    if (m_run.running()) return; // a run ends through 停止定位
    // Closing keeps the options, the sensitivity and the highest value.
    m_state.saveConfiguration();
    QDialog::reject();
}

void TZuLoc::closeEvent(QCloseEvent* e)
{
    if (m_run.running()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e); // goes through reject()
}

} // namespace lumo
