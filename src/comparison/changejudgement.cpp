#include "comparison/changejudgement.h"

#include <cmath>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString signedPct(double v)
{
    return (v >= 0 ? QStringLiteral("+") : QString()) + QString::number(v, 'f', 1) + QStringLiteral(" %");
}

// The variance of a log change from the practice's SEM (both measurements
// scatter), never below the floor's nor below what the values' own
// uncertainty says.
double changeVariance(double semPct, double ownA, double ownB)
{
    const double sem = semPct / 100;
    return std::max(2 * sem * sem, (ownA * ownA + ownB * ownB) / 1e4);
}

QString pointList(const QVector<int>& points)
{
    QStringList names;
    for (int p : points)
        names << compactPointName(p);
    return names.isEmpty() ? u("無") : names.join(u("、"));
}

} // namespace

ChangeInput changeInputOf(const std::array<double, 24>& values, const std::array<double, 24>& readings,
                          const MeasurementQuality& quality, double takenAt)
{
    ChangeInput in;
    in.values = values;
    in.takenAt = takenAt;
    for (size_t i = 0; i < 24; ++i) {
        const PointGrade& g = quality.grades[i];
        if (!g.validFor(readings[i])) continue;
        in.poor[i] = g.grade == QualityGrade::C;
        in.ownSePct[i] = g.figures.sePct;
    }
    return in;
}

QString compactPointName(int point)
{
    return QString(positionText(point) + shortName(meridianOfPoint(point))).remove(QLatin1Char(' '));
}

ChangeJudgement judgeChange(const ChangeInput& before, const ChangeInput& after, const NoiseFigures& noise)
{
    ChangeJudgement j;
    j.kind = noise.kindFor(before.takenAt, after.takenAt);
    const NoiseSet& set = noise.set(j.kind);
    std::array<double, 24> d{};
    QVector<int> judged;
    double shift = 0, ownShift = 0;
    for (int p = 1; p <= 24; ++p) {
        const size_t i = size_t(p - 1);
        const double a = before.values[i], b = after.values[i];
        j.bandMdcPct[i] = std::max(set.meridians[size_t(meridianOfPoint(p))].mdcPct, floorMdcPct(a));
        if (!(a > 0) || !(b > 0) || before.poor[i] || after.poor[i]) {
            j.notJudged << p;
            continue;
        }
        d[i] = std::log(b / a);
        shift += d[i];
        ownShift += (before.ownSePct[i] * before.ownSePct[i] + after.ownSePct[i] * after.ownSePct[i]) / 1e4;
        judged << p;
    }
    j.judged = int(judged.size());
    if (judged.isEmpty()) return j;
    const double k = j.judged;
    shift /= k;
    j.shiftPct = shift * 100;
    const double shiftVariance = std::max(2 * std::pow(set.shift.semPct / 100, 2), ownShift / (k * k));
    j.shiftMdcPct = 1.959963984540054 * std::sqrt(shiftVariance) * 100;
    const double shiftDf = PriorDegreesOfFreedom + set.shift.differences;
    QVector<double> p{studentTwoSidedP(shift / std::sqrt(shiftVariance), shiftDf)};
    QVector<double> weights{0.5};
    for (int point : judged) {
        const size_t i = size_t(point - 1);
        const NoiseFigure& pattern = set.patterns[size_t(meridianOfPoint(point))];
        // The residual about the mean of k points keeps (k - 1) / k of a point's variance.
        double variance = changeVariance(pattern.semPct, before.ownSePct[i], after.ownSePct[i]) * (1 - 1 / k);
        variance = std::max(variance, 2 * std::pow(floorMdcPct(before.values[i]) / Mdc95Factor / 100, 2));
        const double z = (d[i] - shift) / std::sqrt(variance);
        if (std::fabs(z) > 1.959963984540054) j.outsideBand << point;
        p << studentTwoSidedP(z, PriorDegreesOfFreedom + pattern.differences);
        weights << 0.5 / k;
    }
    const QVector<bool> rejected = weightedHolm(p, weights, ComparisonAlpha);
    j.shiftChanged = rejected[0];
    for (int n = 0; n < judged.size(); ++n)
        if (rejected[n + 1]) j.changedPoints << judged[n];
    j.expectedByChance = k * ComparisonAlpha;
    return j;
}

QStringList judgementText(const ChangeJudgement& j, const NoiseFigures& noise)
{
    QStringList lines;
    if (j.judged == 0) {
        lines << u("沒有可判定的測定點（品質 C 或沒有數值），不判定變化");
    } else {
        lines << u("整體變化 %1（量測誤差 ±%2 %）：%3")
                     .arg(signedPct(j.shiftPct), QString::number(j.shiftMdcPct, 'f', 1),
                          j.shiftChanged ? u("超出量測誤差") : noRealChangeText());
        const double e = j.expectedByChance;
        const QString expected = QString::number(e, 'f', e < 1 ? 1 : 0);
        lines << u("扣除整體變化後 %1 點中 %2 點超出誤差帶；%1 點中預期約 %3 點因偶然而超出；"
                   "校正多重比較後判定有變化：%4")
                     .arg(j.judged)
                     .arg(j.outsideBand.size())
                     .arg(expected, pointList(j.changedPoints));
    }
    if (!j.notJudged.isEmpty()) lines << u("未判定（品質 C 或沒有數值）：") + pointList(j.notJudged);
    lines << noise.sourceText(j.kind);
    return lines;
}

} // namespace lumo
