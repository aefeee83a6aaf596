// Measuring a point again: during a run, or after it while the measurement is
// not stored yet. The operator keeps one of the two readings; the other stays
// beside it with its grade, so a practice can see how often points are taken
// twice and what came of it.
#include "measurement/measuringrun.h"

#include "base/formats.h"

#include <cmath>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString readingText(double value, const PointGrade& g)
{
    const QString grade = g.validFor(value) ? qualityGradeText(g) : u("未評等");
    return u("%1 uA（%2）").arg(fmt("%5.2f", value).trimmed(), grade);
}

} // namespace

QString repeatQuestion(int point, double first, const PointGrade& firstGrade, double second,
                       const PointGrade& secondGrade)
{
    return u("第 %1 點（%2 %3）重新測量：\n原值 %4\n新值 %5\n要以新值取代原值嗎？")
        .arg(point)
        .arg(positionText(point), shortName(meridianOfPoint(point)), readingText(first, firstGrade),
             readingText(second, secondGrade));
}

QString MeasuringRun::remeasureRefusal(int point) const
{
    const EnergySet& e = m_state.energy;
    if (point < 1 || point > 24 || e.Readings[size_t(point - 1)] == 0)
        return u("這個測定點還沒有測量值，請直接測量。");
    // A stored measurement stays as it was stored: a point of it measured
    // again would make the grid differ from the record it claims to be.
    if (m_state.CurrentMeasurementKey > 0) return u("這筆量測已經儲存，無法重新測量單點；請開始新的量測。");
    if (e.VoltageMode != m_state.config.HighPotential)
        return u("重新測量必須使用與本次量測相同的電位，請先切換測量電位。");
    return {};
}

bool MeasuringRun::requestRemeasure(int point, QString* refusal)
{
    const QString why = m_running ? remeasureRefusal(point) : u("量測沒有進行中。");
    if (refusal) *refusal = why;
    if (!why.isEmpty()) return false;
    m_repeatPoint = point;
    return true;
}

bool MeasuringRun::measureAgain(int point, QString* refusal)
{
    const QString why = m_running ? u("量測進行中，請等候目前的測定點。") : remeasureRefusal(point);
    if (refusal) *refusal = why;
    if (!why.isEmpty()) return false;
    // The measurement's own potential, already confirmed when it was taken:
    // no question, and the grid keeps what it holds.
    m_running = true;
    m_lastStored = 0; // nothing of this reading to measure again until it is kept
    m_view.runStarted();
    m_view.clearGraph();
    startMeasuring();
    m_stop = false;
    m_missing = false;
    remeasure(point);
    finish();
    return true;
}

void MeasuringRun::remeasure(int point)
{
    for (;;) {
        m_view.showPoint(point);
        if (waitForContact(true) != Wait::Contact) return;
        double sum = 0;
        int n = 0;
        QualitySamples samples;
        if (takeReading(point, sum, n, samples) == Reading::Lost) continue;
        m_triesPoint = m_tries = 0;
        const double value = (n > 0 ? sum / n : 0) / countsPerMicroampere();
        const PointGrade grade = gradePoint(samples, value, m_state.qualityThresholds);
        m_instrument.PlayTone(5);
        m_view.showValues(value, compensate(point, value, m_state.compensation));
        m_view.setStatus(u("【經絡能量測定完畢,請移開探測棒】"));
        m_view.setLamps(MeasuringView::Phase::Stored);
        ++m_state.PointsSinceAnalysis;
        waitForLiftOff(true);
        keepRepeat(point, value, grade, std::move(samples));
        return;
    }
}

void MeasuringRun::keepRepeat(int point, double value, const PointGrade& grade, QualitySamples samples)
{
    EnergySet& e = m_state.energy;
    const size_t i = size_t(point - 1);
    const double first = e.Readings[i];
    PointGrade firstGrade = e.Quality.grades[i];
    const bool replace =
        m_state.ShowMessageDialog(AskQuestion, repeatQuestion(point, first, firstGrade, value, grade));
    if (!firstGrade.validFor(first)) firstGrade = PointGrade();
    firstGrade.value = float(first);
    RepeatReading r;
    r.point = point;
    r.laterKept = replace;
    r.other = replace ? firstGrade : grade;
    e.Quality.repeats.append(r);
    if (replace) {
        e.setReading(point, value, m_state.compensation);
        e.Quality.grades[i] = grade;
        e.Quality.samples[i] = std::move(samples);
        e.TakenAt = dayNumber(QDateTime::currentDateTime());
        m_view.pointStored(point);
    }
    m_view.repeatDone(point, replace);
}

} // namespace lumo
