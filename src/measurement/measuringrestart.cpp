// A run started over values the grid already holds. Its readings are never
// joined to the earlier ones unasked: a stored measurement is cleared or
// measured into, unsaved values are cleared or kept (the default, which loses
// nothing typed or measured), and kept values are marked as an earlier part
// of the measurement with their own time, so that the grid, the analysis and
// the stored grades say which point came from which run.
#include "measurement/earlierparts.h"
#include "measurement/measuringrun.h"
#include "measurement/missingpoints.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

QString unsavedValuesQuestion(int held, int missing)
{
    const QString keep = missing > 0 ? u("（選「否」保留這些數值，只測量缺少的 %1 點）").arg(missing)
                                     : u("（選「否」保留這些數值，不開始測量）");
    return u("表格中有 %1 個尚未儲存的測量值。\n要清除這些數值，重新測量全部 24 點嗎？\n").arg(held) + keep;
}

QString keptPotentialNotice(bool keptHigh)
{
    return u("表格中的數值是以【%"
             "1】測量的，補測的點必須使用相同的電位。\n請先切換測量電位，或清除表格後重新測量。")
        .arg(keptHigh ? u("高電位測量") : u("標準電位測量"));
}

MeasuringRun::Begin MeasuringRun::askHowToBegin()
{
    SharedState& s = m_state;
    if (s.CurrentMeasurementKey > 0) {
        m_instrument.PlayTone(1);
        if (s.ShowMessageDialog(AskQuestion, clearBeforeMeasuringQuestion())) {
            clearForNewRun();
            return Begin::Empty;
        }
        // 否 measures into the loaded measurement: points not measured again keep their values.
        return keptValuesMatchPotential() ? Begin::Into : Begin::Cancel;
    }
    if (!s.energy.hasData()) return Begin::Empty;
    const int missing = int(missingPoints(s.energy).size());
    m_instrument.PlayTone(1);
    if (s.ShowMessageDialog(AskQuestion, unsavedValuesQuestion(PointCount - missing, missing))) {
        clearForNewRun();
        return Begin::Empty;
    }
    if (missing == 0) return Begin::Cancel; // kept whole: nothing to measure
    return keptValuesMatchPotential() ? Begin::Keep : Begin::Cancel;
}

// A measurement has one potential: points measured at another would be
// stored as if measured at this one.
bool MeasuringRun::keptValuesMatchPotential()
{
    const bool kept = m_state.energy.VoltageMode;
    if (kept == m_state.config.HighPotential) return true;
    m_state.ShowMessageDialog(NoteAttention, keptPotentialNotice(kept));
    return false;
}

void MeasuringRun::beginWith(Begin how)
{
    m_onlyMissing = how == Begin::Keep;
    EnergySet& e = m_state.energy;
    if (how == Begin::Keep || how == Begin::Into) keepAsEarlierPart(e.Quality, e.Readings, e.TakenAt);
}

int MeasuringRun::nextPoint(int from) const
{
    int p = std::max(from, 1);
    while (m_onlyMissing && p <= PointCount && m_state.energy.Readings[size_t(p - 1)] != 0)
        ++p;
    return p;
}

} // namespace lumo
