// The measurement screen's side of the reading grades: a point graded C is
// marked in its cell at once (a mark, its colour, the reason in the tool tip
// and the status text), R measures it again during the run or after it, and
// the repeat-measurement mode guides the practice's pairs.
#include "measurement/ui/tzudec.h"

#include "base/formats.h"
#include "comparison/noise.h"
#include "measurement/ui/tzudecstyle.h"

#include <QAction>
#include <QCheckBox>
#include <QStatusBar>
#include <QTableWidget>

namespace lumo {

using namespace tzudec;

namespace {

const QColor PoorBackground(255, 215, 215);

} // namespace

QString TZudec::cellText(int point) const
{
    const EnergySet& e = m_state.energy;
    const double v = e.Readings[size_t(point - 1)];
    if (v == 0) return {};
    const PointGrade& g = e.Quality.grades[size_t(point - 1)];
    // The mark beside the value: read at a glance and by a screen reader.
    const bool poor = g.validFor(v) && g.grade == QualityGrade::C;
    return fmt("%3.0f", v) + (poor ? u(" C") : QString());
}

void TZudec::showGrade(int point)
{
    const GridCell c = gridCellOfPoint(point);
    QTableWidgetItem* item = m_grid->item(c.row - 1, c.column - 1);
    if (!item) return;
    const EnergySet& e = m_state.energy;
    const double v = e.Readings[size_t(point - 1)];
    const PointGrade& g = e.Quality.grades[size_t(point - 1)];
    const bool graded = v != 0 && g.validFor(v);
    const bool poor = graded && g.grade == QualityGrade::C;
    item->setText(cellText(point));
    item->setBackground(poor ? QBrush(PoorBackground) : QBrush());
    item->setForeground(poor ? QBrush(Red) : QBrush());
    QString tip;
    if (graded) {
        tip = qualityTipText(g);
        if (poor) tip += u("\n按 R 重新測量");
    }
    item->setToolTip(tip);
    item->setData(Qt::AccessibleDescriptionRole, tip); // a screen reader hears the grade too
}

void TZudec::showAllGrades()
{
    for (int p = 1; p <= 24; ++p)
        showGrade(p);
}

// Stored: a poor point says why at once; the run goes on regardless.
void TZudec::announceGrade(int point)
{
    const PointGrade& g = m_state.energy.Quality.grades[size_t(point - 1)];
    if (g.grade != QualityGrade::C) return;
    m_status->showMessage(u("【經絡能量測定完畢,請移開探測棒】 第 %1 點品質不佳（%2），可按 R 重新測量")
                              .arg(point)
                              .arg(qualityReason(g)));
}

// The first point graded C that was not measured again yet.
int TZudec::remeasureTarget() const
{
    const EnergySet& e = m_state.energy;
    for (int p = 1; p <= 24; ++p) {
        const double v = e.Readings[size_t(p - 1)];
        const PointGrade& g = e.Quality.grades[size_t(p - 1)];
        if (v == 0 || !g.validFor(v) || g.grade != QualityGrade::C) continue;
        const bool repeated = std::any_of(e.Quality.repeats.begin(), e.Quality.repeats.end(),
                                          [p](const RepeatReading& r) { return r.point == p; });
        if (!repeated) return p;
    }
    return 0;
}

void TZudec::ToolButtonRemeasureClick()
{
    QString refusal;
    if (m_run.running()) {
        const int point = m_run.lastStored();
        if (point == 0) return;
        if (m_run.requestRemeasure(point, &refusal))
            m_status->showMessage(u("第 %1 點將重新測量：請把探測棒放回該點").arg(point));
        else
            m_status->showMessage(refusal);
        return;
    }
    const int point = remeasureTarget();
    if (point == 0) {
        m_state.ShowMessageDialog(NoteAttention, u("沒有需要重新測量的品質不佳 (C) 測定點。"));
        return;
    }
    if (!m_run.measureAgain(point, &refusal)) m_state.ShowMessageDialog(NoteAttention, refusal);
}

void TZudec::repeatDone(int point, bool replaced)
{
    showGrade(point);
    m_status->showMessage(replaced ? u("第 %1 點已改用重新測量的數值，兩次數值都已保留").arg(point)
                                   : u("第 %1 點保留原來的數值，重新測量的數值也已保留").arg(point));
}

void TZudec::updateRemeasureAction()
{
    const bool possible = m_run.running() ? m_run.lastStored() > 0
                                          : remeasureTarget() > 0 && m_state.CurrentMeasurementKey == 0;
    m_remeasure->setEnabled(possible);
}

// Repeat-measurement mode.
void TZudec::repeatModeToggled(bool on)
{
    m_repeat.setOn(on);
    m_status->showMessage(m_repeat.statusText());
}

void TZudec::measurementSaved()
{
    const RepeatSession::Outcome o =
        m_repeat.saved(m_state.CurrentSubject.CUSTNO, m_state.energy.TakenAt, m_state.CurrentMeasurementKey);
    if (o == RepeatSession::Outcome::Paired && m_state.MainDatabase)
        m_repeat.setPairsInPractice(practiceNoise(*m_state.MainDatabase, m_state.compensation).pairs());
    if (m_repeat.on()) m_status->showMessage(m_repeat.statusText());
}

void TZudec::prepareRepeatRun()
{
    if (!m_repeat.clearsWithoutAsking(m_state.CurrentMeasurementKey)) return;
    const qint64 first = m_repeat.firstKey();
    m_run.clearForNewRun();
    // The second of the pair carries its session's key when it is saved.
    m_state.energy.Conditions.repeatOf = first;
}

} // namespace lumo
