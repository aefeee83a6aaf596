#pragma once
// How far a reading can be trusted. The run keeps every probe reading of a
// point with its time; from the last two ticks (the fourth is the one the
// value averages) each point is graded A (steady), B, or C (not to be
// trusted), with the test that decided it and that test's figure. The value
// itself never changes: grading only looks at how it was taken.

#include "base/status.h"

#include <QString>
#include <QVector>
#include <array>

namespace lumo {

enum class QualityGrade : char
{
    None = 0, // not graded: typed, loaded from an older file, or never measured
    A = 'A',
    B = 'B',
    C = 'C'
};

// The test that kept a point from the better grade, in the order they are tried.
enum class QualityTest : quint8
{
    None = 0,         // graded A, or not graded
    Samples = 1,      // too few readings in the averaged window
    Step = 2,         // a jump of the level: the pressure changed
    Slope = 3,        // the reading drifts
    Spread = 4,       // the reading scatters
    TickAgreement = 5 // the third tick's mean is away from the fourth's
};

// The rules in one table, so that a practice or a later study can change a
// bound without touching the tests. Percentages are on the log scale of the
// readings (100 x the natural log of a ratio), so that a reading rising by a
// ratio and one falling by it weigh the same; the slope is per second. Every
// test that fails names its figure against its bound, and the grade names
// the one furthest beyond it.
struct QualityThresholds
{
    double steadySlopePct = 5;     // A: |slope| at most
    double steadySpreadPct = 3;    // A: standard deviation at most
    double tickAgreementPct = 5;   // A: third tick's mean within this of the fourth's
    double unsteadySlopePct = 15;  // C: |slope| over
    double unsteadySpreadPct = 10; // C: standard deviation over
    double stepPct = 10;           // C: a step between neighbouring readings over
    double steadyStepPct = 5;      // A: no step over this
    double minSamples = 5;         // C: fewer readings than this in the averaged window
    // A step compares the readings of this span before a moment with those of
    // the span after it: at the instrument's rate of a reading every few
    // milliseconds two single readings differ by their noise alone, while a
    // change of pressure moves the level and stays. It counts only when it
    // also stands this many standard errors out of the reading's own noise
    // (a noisy point is the spread test's to judge, not this one's).
    double stepSpanMs = 50;
    double stepNoiseSe = 4;
};

// The names of the thresholds and where they are, for a practice's own file.
struct QualityThresholdField
{
    const char* key;
    double QualityThresholds::*member;
};
const std::array<QualityThresholdField, 10>& qualityThresholdFields();

// A practice's own bounds: LumoQuality.json in the data directory, an object
// with any of the keys above. No file gives the defaults; an unknown key or a
// value that is not a positive number is named in *status and its default kept.
QString qualityThresholdsFile(const QString& dataDirectory);
QualityThresholds readQualityThresholds(const QString& dataDirectory, Status* status);

// One probe reading while a point was held: milliseconds since contact, raw
// counts, and the 600 ms tick it fell in (1..4).
struct QualitySample
{
    quint16 ms = 0;
    quint16 counts = 0;
    quint8 tick = 0;
    bool operator==(const QualitySample&) const = default;
};
using QualitySamples = QVector<QualitySample>;

// What the tests measure on the samples of one point.
// The slope counts only when it stands out of the window's own noise: its
// standard error from the residuals of the fit, with the readings'
// correlation allowed for by an effective sample size n (1 - r1) / (1 + r1),
// r1 the lag-one autocorrelation of the residuals (Santer et al. 2000),
// tested at 5 % with Student's t on n_eff - 2 degrees of freedom. A slope
// that the two halves of the window do not share (a change of pressure
// inside it) is no drift: its standard error is unbounded.
struct QualityFigures
{
    int samples = 0;        // readings in the averaged window (the fourth tick)
    double mean = 0;        // their mean, in counts
    double slopePct = 0;    // least-squares slope of the log readings, % per second
    double slopeSePct = 0;  // its standard error, allowing for correlated readings
    double effectiveDf = 0; // the degrees of freedom of its test
    double spreadPct = 0;   // standard deviation of the log readings, %
    double stepPct = 0;     // largest step over the third and fourth tick, %
    double tickDiffPct = 0; // |log mean of the third tick - log mean of the fourth|, %
    // The value's own uncertainty: the standard error of the window's mean
    // (the same effective sample size), % of the value.
    double sePct = 0;
    // Settling: a first-order fit y = plateau + a exp(-t / tau) over the third
    // and fourth tick; the plateau relative to the value (%) and tau (ms).
    // tau at SettlingTauLimitMs: no settling to be seen in the window.
    double plateauPct = 0;
    double tauMs = 0;
    bool slopeSignificant() const;
};
constexpr double SettlingTauLimitMs = 20000;
QualityFigures measureQuality(const QualitySamples& samples, const QualityThresholds& t);

struct PointGrade
{
    QualityGrade grade = QualityGrade::None;
    QualityTest test = QualityTest::None;
    double figure = 0; // the deciding test's figure (a count for Samples)
    QualityFigures figures;
    // The reading (uA) the grade belongs to: a value typed over it later is
    // not graded, so the grade of the old value never passes for the new one.
    float value = 0;
    bool graded() const { return grade != QualityGrade::None; }
    bool validFor(double reading) const { return graded() && value == float(reading); }
};

PointGrade gradeFigures(const QualityFigures& f, double value, const QualityThresholds& t);
inline PointGrade gradePoint(const QualitySamples& s, double value, const QualityThresholds& t)
{
    return gradeFigures(measureQuality(s, t), value, t);
}

// "漂移 18.2 %/秒", "波動 12.4 %", ...; empty for A and for no grade.
QString qualityReason(const PointGrade& g);
// The reading's own uncertainty and settling: "45.2 ± 0.3 uA（標準誤 0.7 %）；
// 趨穩值 45.6 uA，時間常數 0.4 秒"; empty when not graded.
QString valueUncertaintyText(const PointGrade& g);
// The tool tip of a graded value: its grade with what a grade means, and its
// uncertainty.
QString qualityTipText(const PointGrade& g);
// A reading whose last samples fall away as the probe leaves the skin: it is
// taken again, as a reading that lost contact is.
bool breaksContact(const QualitySamples& samples, const QualityThresholds& t);
// "C：波動 12.4 %", "A", or empty.
QString qualityGradeText(const PointGrade& g);

// A point measured again: the reading that was not kept, with its grade.
struct RepeatReading
{
    int point = 0;
    PointGrade other;       // the reading not kept (its value in other.value)
    bool laterKept = false; // true: the repeat replaced the first reading
};

// Everything the run learnt about how the measurement was taken.
struct MeasurementQuality
{
    std::array<PointGrade, 24> grades{};
    std::array<QualitySamples, 24> samples{}; // in memory; stored compactly
    QVector<RepeatReading> repeats;
    void clear() { *this = MeasurementQuality(); }
};

struct GradeCounts
{
    int a = 0, b = 0, c = 0, none = 0;
};
// Grades that still belong to the readings (a point typed over counts as none).
GradeCounts countGrades(const MeasurementQuality& q, const std::array<double, 24>& readings);
// "測量品質：A 20、B 3、C 1" (with "、未評等 N" when some points have no grade),
// or "測量品質：無評等資料" when none has.
QString gradeSummary(const GradeCounts& c);
// Each value's own uncertainty over the measurement: "數值標準誤：中位數 0.4 %，
// 最大 2.1 %（第 20 點）", or empty when no point has it.
QString uncertaintySummary(const MeasurementQuality& q, const std::array<double, 24>& readings);
// "本次量測有 2 點品質不佳", or empty when no point is graded C.
QString poorPointsText(const GradeCounts& c);

} // namespace lumo
