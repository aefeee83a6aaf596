#pragma once
// How large a change must be to be more than chance. Repeats taken the same
// way, marked as repeats when they were taken (the repeat-measurement mode,
// `lumo-cli measure --repeat-of`), give the within-subject spread of every
// meridian and index; nothing else counts as a pair, because test-retest
// figures hold only for a subject who was stable between the two readings
// (COSMIN, Mokkink et al. 2020).
//
// The figures, all on the log scale so that a rise and a fall of the same
// ratio weigh the same:
// - SEM by Dahlberg's formula, sqrt(sum d^2 / 2n), d the log ratio of a pair;
// - MDC95 = 1.96 x sqrt(2) x SEM (Weir 2005);
// - the practice's pairs pooled with a published prior by their degrees of
//   freedom, SEM^2 = (nu0 s0^2 + sum d^2 / 2) / (nu0 + n): the conjugate
//   (scaled inverse chi-square) update of a variance, so the band moves
//   smoothly as pairs accrue instead of switching at a count;
// - its 95 % interval from the chi-square distribution with nu0 + n degrees
//   of freedom;
// - never below the floor: the instrument's own repeatability plus what its
//   step resolves at the value.
//
// The prior: a within-subject coefficient of variation of 23.2 % per point,
// the test-retest figure at the source points of 30 healthy volunteers
// measured by one operator (Mist et al. 2011, Acupunct Med 29:221-226; 24.5 %
// between seven operators). The study reports no split of that spread into a
// part common to all points and a part of each point, so both the whole-body
// shift and the pattern take the whole 23.2 %: the larger of the two
// possibilities for each, never the smaller. It weighs as 10 degrees of
// freedom (a third of the study's 30 volunteers: its instrument and hands are
// not the practice's), so five repeat pairs weigh as much as the literature.
//
// The floor: the same study's coefficient of variation of 1.8 % on known
// resistors, the instrument's repeatability with no skin in the circuit; no
// reading of skin is more repeatable than that.

#include "base/statistics.h"
#include "measurement/catalogue.h"
#include "records/database.h"
#include "records/rows.h"

#include <QString>
#include <array>

namespace lumo {

constexpr double PublishedSemPct = 23.2;          // per point, log scale (Mist et al. 2011)
constexpr double PriorDegreesOfFreedom = 10;      // the prior's weight
constexpr double FloorSemPct = 1.8;               // the instrument on known resistors (Mist et al. 2011)
constexpr double InstrumentStepUa = 200.0 / 4000; // one count at the default calibration
constexpr double Mdc95Factor = 1.959963984540054 * 1.4142135623730951;
constexpr double RepeatWindowMinutes = 30; // the repeat mode's guidance, and older unkeyed pairs

// The five indices of the analysis whose changes are judged.
enum class NoiseIndex
{
    BodyEnergy,
    UpperLower,
    LeftRight,
    YinYang,
    Autonomic
};
constexpr int NoiseIndexCount = 5;
QString noiseIndexLabel(NoiseIndex i); // "身體能量", "精神狀態比值", ...

// Which spread judged a comparison.
enum class NoiseKind
{
    Published,     // no repeat pair in the practice: the prior alone
    WithinSession, // the practice's repeats, minutes apart
    BetweenVisits  // the practice's repeat sessions on different days
};
QString noiseKindKey(NoiseKind k); // "published", "within-session", "between-visits"
QString noiseKindText(NoiseKind k); // "文獻預設值", "本診所同次重複量測", "本診所不同日重複量測"

struct NoiseFigure
{
    double differences = 0; // the practice's degrees of freedom behind it
    double semPct = 0;      // pooled with the prior, at least the floor (log scale, %)
    double mdcPct = 0;      // MDC95
    Interval mdcInterval;   // its 95 % confidence interval
};

// The figures of one kind of pair.
struct NoiseSet
{
    int pairs = 0;
    std::array<NoiseFigure, MeridianCount> meridians{}; // a point's own spread: the drawn band
    std::array<NoiseFigure, MeridianCount> patterns{};  // a point's spread once the shift is removed
    NoiseFigure shift;                                  // the mean of the 24 log values
    std::array<NoiseFigure, NoiseIndexCount> indices{};
};

struct NoiseFigures
{
    NoiseSet within, between;
    int unkeyedPairs = 0; // older measurements minutes apart without the repeat key: not used
    int pointRepeats = 0; // points measured twice within a measurement, counted within
    int pairs() const { return within.pairs; }
    // Measurements taken on different days are judged by the between-visits
    // figure when the practice has one, else by the within-session one.
    NoiseKind kindFor(double takenA, double takenB) const;
    const NoiseSet& set(NoiseKind k) const { return k == NoiseKind::BetweenVisits ? between : within; }
    // An index's figure for two measurements taken at these times.
    const NoiseFigure& indexFor(NoiseIndex i, double takenA, double takenB) const
    {
        return set(kindFor(takenA, takenB)).indices[size_t(i)];
    }
    // "誤差依本診所同次重複量測 25 對（與文獻預設值合併）", "誤差依文獻預設值（...）".
    QString sourceText(NoiseKind k = NoiseKind::WithinSession) const;
    QString unkeyedText() const;
    // The source of a trend's band: from its first visit to its last.
    template <typename Rows> QString sourceTextOver(const Rows& rows) const
    {
        return rows.isEmpty() ? sourceText() : sourceText(kindFor(rows.first().takenAt, rows.last().takenAt));
    } // "另有 3 對舊的量測未標記為重複量測，不列入計算", or empty
};

// The prior alone (no pair in the practice).
NoiseFigures publishedNoise();

// The floor of a point's MDC95 at a value: the instrument's step relative to
// the value plus the floor's MDC.
double floorMdcPct(double valueUa);

// Sums of the log differences of repeat pairs.
class NoiseAccumulator
{
public:
    // Two measurements of one subject taken as repeats, their compensated
    // values; `poor`: points graded C in either, left out.
    void addPair(const std::array<double, 24>& first, const std::array<double, 24>& second,
                 const std::array<bool, 24>& poor = {});
    // A point measured twice within one measurement.
    void addPointRepeat(int point, double first, double second);
    int pairs() const { return m_pairs; }
    NoiseSet figures() const; // pooled with the prior

private:
    int m_pairs = 0;
    std::array<double, MeridianCount> m_pointSum{}, m_pointDf{}, m_patternSum{}, m_patternDf{};
    double m_shiftSum = 0, m_shiftDf = 0;
    std::array<double, NoiseIndexCount> m_indexSum{}, m_indexDf{};
};

// The log difference of a later value from an earlier one against the MDC:
// false when it is inside it (no change beyond chance).
bool isRealChange(double before, double after, double mdcPct);
// The span of values after `before` that is inside the MDC, for drawing.
struct ChangeBand
{
    double low, high;
};
ChangeBand noChangeBand(double before, double mdcPct);
QString noRealChangeText(); // "變化在量測誤差內"

// The practice's figures: repeat sessions from the keys stored with the
// measurements (consecutive repeats of a session, each measurement in one
// pair), sessions of a subject on different days for the between-visits
// figure (each session's first measurement), and the points measured twice.
NoiseFigures practiceNoise(Database& db, const CompensationTable& table);

} // namespace lumo
