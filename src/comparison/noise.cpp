#include "comparison/noise.h"

#include "analysis/energy.h"

#include <cmath>
#include <limits>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

double logRatio(double before, double after)
{
    return before > 0 && after > 0 ? std::log(after / before) : std::numeric_limits<double>::quiet_NaN();
}

std::array<double, NoiseIndexCount> indexValues(const EnergyAnalysis& a)
{
    return {a.BodyEnergy, a.UpperLowerRatio, a.LeftRightRatio, a.YinYangRatio, a.AutonomicRatio};
}

// Dahlberg's sum (sum of d^2 over 2) and its degrees of freedom, pooled with
// the prior's, floored; the interval from the pooled degrees of freedom.
NoiseFigure figureOf(double halfSquares, double df)
{
    const double prior = PublishedSemPct / 100;
    const double total = PriorDegreesOfFreedom + df;
    const double sem = std::sqrt((PriorDegreesOfFreedom * prior * prior + halfSquares) / total) * 100;
    const Interval f = sdConfidenceFactors(total);
    NoiseFigure n;
    n.differences = df;
    n.semPct = std::max(sem, FloorSemPct);
    n.mdcPct = n.semPct * Mdc95Factor;
    n.mdcInterval = {std::max(sem * f.low, FloorSemPct) * Mdc95Factor,
                     std::max(sem * f.high, FloorSemPct) * Mdc95Factor};
    return n;
}

} // namespace

QString noiseIndexLabel(NoiseIndex i)
{
    static const char* labels[] = {"身體能量", "精神狀態比值", "左右肌骨系統", "新陳代謝功能",
                                   "自律神經平衡度"};
    return u(labels[int(i)]);
}

QString noiseKindKey(NoiseKind k)
{
    switch (k) {
    case NoiseKind::Published:
        return QStringLiteral("published");
    case NoiseKind::WithinSession:
        return QStringLiteral("within-session");
    case NoiseKind::BetweenVisits:
        return QStringLiteral("between-visits");
    }
    return {};
}

QString noiseKindText(NoiseKind k)
{
    switch (k) {
    case NoiseKind::Published:
        return u("文獻預設值");
    case NoiseKind::WithinSession:
        return u("本診所同次重複量測");
    case NoiseKind::BetweenVisits:
        return u("本診所不同日重複量測");
    }
    return {};
}

NoiseKind NoiseFigures::kindFor(double takenA, double takenB) const
{
    const bool otherDay = std::floor(takenA) != std::floor(takenB);
    if (otherDay && between.pairs > 0) return NoiseKind::BetweenVisits;
    return within.pairs > 0 || pointRepeats > 0 ? NoiseKind::WithinSession : NoiseKind::Published;
}

QString NoiseFigures::sourceText(NoiseKind k) const
{
    if (k == NoiseKind::Published || set(k).pairs + (k == NoiseKind::WithinSession ? pointRepeats : 0) == 0)
        return u("誤差依文獻預設值（每點 %1 %，Mist et al. 2011；本診所尚無重複量測）").arg(PublishedSemPct);
    const NoiseSet& s = set(k);
    QString text = u("誤差依%1 %2 對").arg(noiseKindText(k)).arg(s.pairs);
    if (k == NoiseKind::WithinSession && pointRepeats > 0) text += u("、單點重測 %1 點").arg(pointRepeats);
    return text + u("（與文獻預設值依自由度合併）");
}

QString NoiseFigures::unkeyedText() const
{
    if (unkeyedPairs == 0) return {};
    return u("另有 %1 對舊的量測相隔不到 30 分鐘但未標記為重複量測，不列入計算").arg(unkeyedPairs);
}

NoiseFigures publishedNoise()
{
    NoiseFigures f;
    f.within = f.between = NoiseAccumulator().figures();
    return f;
}

double floorMdcPct(double valueUa)
{
    const double step = valueUa > 0 ? std::log1p(InstrumentStepUa / valueUa) * 100 : 0;
    return step + FloorSemPct * Mdc95Factor;
}

void NoiseAccumulator::addPair(const std::array<double, 24>& first, const std::array<double, 24>& second,
                               const std::array<bool, 24>& poor)
{
    std::array<double, 24> d{};
    double shift = 0;
    int judged = 0;
    for (size_t i = 0; i < 24; ++i) {
        d[i] = poor[i] ? std::numeric_limits<double>::quiet_NaN() : logRatio(first[i], second[i]);
        if (std::isnan(d[i])) continue;
        shift += d[i];
        ++judged;
    }
    if (judged < 2) return;
    ++m_pairs;
    shift /= judged;
    m_shiftSum += shift * shift / 2;
    m_shiftDf += 1;
    // A residual about the pair's own mean keeps (k - 1) / k of a point's
    // variance: its degrees of freedom are counted so.
    const double kept = double(judged - 1) / judged;
    for (int p = 1; p <= 24; ++p) {
        const double x = d[size_t(p - 1)];
        if (std::isnan(x)) continue;
        const size_t m = size_t(meridianOfPoint(p));
        m_pointSum[m] += x * x / 2;
        m_pointDf[m] += 1;
        m_patternSum[m] += (x - shift) * (x - shift) / 2;
        m_patternDf[m] += kept;
    }
    const auto a = analyseCompensated(first, true), b = analyseCompensated(second, true);
    if (!a || !b) return;
    const auto x = indexValues(*a), y = indexValues(*b);
    for (size_t i = 0; i < size_t(NoiseIndexCount); ++i) {
        const double r = logRatio(x[i], y[i]);
        if (std::isnan(r)) continue;
        m_indexSum[i] += r * r / 2;
        m_indexDf[i] += 1;
    }
}

void NoiseAccumulator::addPointRepeat(int point, double first, double second)
{
    const double d = logRatio(first, second);
    if (std::isnan(d) || point < 1 || point > 24) return;
    const size_t m = size_t(meridianOfPoint(point));
    m_pointSum[m] += d * d / 2;
    m_pointDf[m] += 1;
}

NoiseSet NoiseAccumulator::figures() const
{
    NoiseSet s;
    s.pairs = m_pairs;
    for (size_t m = 0; m < size_t(MeridianCount); ++m) {
        s.meridians[m] = figureOf(m_pointSum[m], m_pointDf[m]);
        s.patterns[m] = figureOf(m_patternSum[m], m_patternDf[m]);
    }
    s.shift = figureOf(m_shiftSum, m_shiftDf);
    for (size_t i = 0; i < size_t(NoiseIndexCount); ++i)
        s.indices[i] = figureOf(m_indexSum[i], m_indexDf[i]);
    return s;
}

bool isRealChange(double before, double after, double mdcPct)
{
    const double d = logRatio(before, after);
    if (std::isnan(d)) return before != after;
    return std::fabs(d) * 100 > std::max(mdcPct, floorMdcPct(before));
}

// Symmetric on the log scale: before x exp(-MDC) to before x exp(+MDC).
ChangeBand noChangeBand(double before, double mdcPct)
{
    const double h = std::max(mdcPct, floorMdcPct(before)) / 100;
    return {before * std::exp(-h), before * std::exp(h)};
}

QString noRealChangeText()
{
    return u("變化在量測誤差內");
}

} // namespace lumo
