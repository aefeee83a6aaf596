#include "measurement/ui/tsyspt.h"
#include "widgets/actions.h"

#include "base/formats.h"
#include "records/caliblog.h"
#include "widgets/analoguemeter.h"
#include "widgets/gradientbar.h"
#include "widgets/ledlamp.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QTableWidget>

namespace lumo {
namespace {
void showLamp(LedLamp* lamp, const LampShow& show)
{
    lamp->setColor(show.color);
    lamp->setOn(show.on);
    lamp->setBlinkInterval(show.on && show.blinking ? CalibrationRun::BlinkMs : 0);
}
void setText(QLabel* label, const QString& text)
{
    if (label->text() != text) label->setText(text);
}
} // namespace

TSyspt::TSyspt(SharedState& state, Instrument& instrument, QWidget* parent)
    : QDialog(parent), m_state(state), m_run(state, instrument, *this)
{
    setObjectName(QStringLiteral("TSyspt"));
    setWindowTitle(QString::fromUtf8("數位自動校準系統"));
    buildUi();
}

QAction* TSyspt::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

void TSyspt::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_run.running()) return;
    m_run.showScreen();
    fillLog();
}

void TSyspt::ToolButtonStartClick()
{
    if (!m_run.running()) m_run.start();
}

void TSyspt::ToolButtonStopClick()
{
    m_run.requestStop();
}

void TSyspt::showCalibration(const CalibrationDisplay& d)
{
    const bool all = !m_anyShown;
    const CalibrationDisplay& o = m_shown;
    setText(m_previousDate, d.previousDate);
    setText(m_previousStandard, thousands(d.previousStandard, 5));
    setText(m_previousHigh, thousands(d.previousHigh, 5));
    m_previousStandardGauge->setValue(d.previousStandard);
    m_previousHighGauge->setValue(d.previousHigh);
    setText(m_todayDate, d.todayDate);
    setText(m_newStandard, d.newStandard);
    setText(m_newHigh, d.newHigh);
    m_standardChangeGauge->setValue(d.standardChange);
    m_highChangeGauge->setValue(d.highChange);
    setText(m_standardIndicator, d.standardIndicator);
    setText(m_highIndicator, d.highIndicator);
    m_standardBar->setValue(d.standardBar);
    m_highBar->setValue(d.highBar);
    if (all || !(d.standardLamp == o.standardLamp)) showLamp(m_standardLamp, d.standardLamp);
    if (all || !(d.highLamp == o.highLamp)) showLamp(m_highLamp, d.highLamp);
    if (all || !(d.resultLamp == o.resultLamp)) showLamp(m_resultLamp, d.resultLamp);
    m_balanceGauge->setValue(d.balance);
    setText(m_result, d.result);
    if (all || d.resultColor != o.resultColor)
        m_result->setStyleSheet(QStringLiteral("color: rgb(%1,%2,%3); font-weight: bold;")
                                    .arg(d.resultColor.red())
                                    .arg(d.resultColor.green())
                                    .arg(d.resultColor.blue()));
    setText(m_status, d.status);
    m_actions[0]->setEnabled(!d.running);
    m_actions[1]->setEnabled(d.running);
    m_actions[2]->setEnabled(!d.running);
    m_shown = d;
    m_anyShown = true;
}

void TSyspt::fillLog()
{
    const QVector<CalibrationEntry> entries =
        m_state.MainDatabase ? CalibrationLog(*m_state.MainDatabase).latest(5) : QVector<CalibrationEntry>();
    m_log->clearContents();
    for (int row = 0; row < entries.size(); ++row) {
        const CalibrationEntry& e = entries.at(row);
        const QString cells[] = {shortDate(e.at.date()) + QLatin1Char(' ') + longTime(e.at.time()),
                                 thousands(e.standard, 5),
                                 thousands(e.high, 5),
                                 thousands(e.previousStandard, 5),
                                 thousands(e.previousHigh, 5),
                                 QString::fromUtf8(e.success   ? "成功"
                                                   : e.applied ? "失敗，已採用"
                                                               : "失敗，未採用")};
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                          : Qt::Alignment(Qt::AlignCenter));
            m_log->setItem(row, c, item);
        }
    }
}

void TSyspt::reject()
{
    if (m_run.running()) return; // a calibration runs to its end, or stops while waiting
    QDialog::reject();
}

void TSyspt::closeEvent(QCloseEvent* e)
{
    if (m_run.running()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

} // namespace lumo
