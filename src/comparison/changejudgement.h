#pragma once
// One answer per comparison of two measurements, with a false-alarm rate
// that holds for the whole profile, not for each of its 24 points:
// (a) the whole-body shift, the mean of the 24 log changes, against its own
//     spread from the repeat pairs;
// (b) the pattern once that shift is removed, point by point, each against
//     its meridian's spread after the same removal.
// The 25 questions are answered together by Holm's weighted step-down
// procedure (Holm 1979) at 5 %: the shift carries half the weight, the points
// share the other half, so a comparison of two repeats of an unchanged
// subject is called changed in at most 5 % of comparisons. Points graded C
// in either measurement are not judged; a value's own uncertainty (from its
// samples) replaces the practice's spread where it is larger.

#include "comparison/noise.h"
#include "measurement/quality.h"

#include <QStringList>
#include <QVector>

namespace lumo {

constexpr double ComparisonAlpha = 0.05;

// One of the two measurements as the judgement sees it.
struct ChangeInput
{
    std::array<double, 24> values{};   // compensated
    std::array<bool, 24> poor{};       // graded C: not judged
    std::array<double, 24> ownSePct{}; // the value's own standard error (log scale, %), 0 unknown
    double takenAt = 0;                // day number
};
// From a measurement's compensated values, its readings as stored and their quality.
ChangeInput changeInputOf(const std::array<double, 24>& values, const std::array<double, 24>& readings,
                          const MeasurementQuality& quality, double takenAt);

struct ChangeJudgement
{
    NoiseKind kind = NoiseKind::Published;
    int judged = 0;
    QVector<int> notJudged; // points graded C in either, or without a value
    double shiftPct = 0;    // the mean log change, x 100
    double shiftMdcPct = 0; // the shift's MDC95
    bool shiftChanged = false;
    QVector<int> outsideBand;            // points beyond their own 95 % band once the shift is removed
    QVector<int> changedPoints;          // of those, the ones still changed after Holm's correction
    double expectedByChance = 0;         // points expected beyond the band by chance alone
    std::array<double, 24> bandMdcPct{}; // each point's band around the first measurement
    bool changed(int point) const { return changedPoints.contains(point); }
    bool anyChange() const { return shiftChanged || !changedPoints.isEmpty(); }
};

ChangeJudgement judgeChange(const ChangeInput& before, const ChangeInput& after, const NoiseFigures& noise);

// "左手肺經"
QString compactPointName(int point);
// The answer in sentences: the shift, the pattern with the number expected
// by chance, the points not judged, the figure used.
QStringList judgementText(const ChangeJudgement& j, const NoiseFigures& noise);

} // namespace lumo
