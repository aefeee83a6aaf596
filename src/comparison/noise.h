#pragma once
// How large a change must be to be real. A practice's own repeat measurements
// (the same subject measured twice within half an hour) give the within-
// subject spread of every meridian and index: its SEM, and the minimal
// detectable change MDC95 = 1.96 x sqrt(2) x SEM. A difference between two
// measurements inside the MDC is drawn and named as "no real change". Until a
// practice has enough pairs, the published spread of hand-held probes at
// these points (23 % per point) stands in, and every screen says so.

#include "measurement/catalogue.h"
#include "records/database.h"
#include "records/rows.h"

#include <QString>
#include <array>

namespace lumo {

constexpr double PublishedSpreadPct = 23; // within-subject SD per point, % of the value
constexpr int PairsNeeded = 20;
constexpr double RepeatWindowMinutes = 30;
constexpr double Mdc95Factor = 1.959963984540054 * 1.4142135623730951;

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

struct NoiseFigure
{
    int differences = 0; // pooled differences behind it (two points per meridian and pair)
    double semPct = 0;
    double mdcPct = 0;
};

struct NoiseFigures
{
    int pairs = 0;             // the practice's repeat pairs found
    bool fromPractice = false; // false: the published default
    std::array<NoiseFigure, MeridianCount> meridians{};
    std::array<NoiseFigure, NoiseIndexCount> indices{};
    const NoiseFigure& ofPoint(int point) const { return meridians[size_t(meridianOfPoint(point))]; }
    const NoiseFigure& ofIndex(NoiseIndex i) const { return indices[size_t(i)]; }
    // "誤差帶依本診所 25 對重複量測" or "誤差帶依文獻預設值（每點 23 %，本診所重複量測 7 對，需 20 對）".
    QString sourceText() const;
};

// The published spread carried to the indices: point errors taken as
// independent, a mean of n points has SD / sqrt(n), a ratio of two sums of n
// points sqrt(2) SD / sqrt(n) (the autonomic ratio compares two three-point groups).
NoiseFigures publishedNoise();

// Sums the relative differences of repeat pairs.
class NoiseAccumulator
{
public:
    // Two measurements of one subject, their compensated values.
    void addPair(const std::array<double, 24>& first, const std::array<double, 24>& second);
    int pairs() const { return m_pairs; }
    // The practice's figures from 20 pairs on, the published ones before.
    NoiseFigures figures() const;

private:
    int m_pairs = 0;
    std::array<double, MeridianCount> m_meridianSum{};
    std::array<int, MeridianCount> m_meridianCount{};
    std::array<double, NoiseIndexCount> m_indexSum{};
    std::array<int, NoiseIndexCount> m_indexCount{};
};

// The difference of a later value from an earlier one, relative to their
// mean, against the MDC: false when it is inside it (no real change).
bool isRealChange(double before, double after, double mdcPct);
// The span of values after `before` that is no real change, for drawing.
struct ChangeBand
{
    double low, high;
};
ChangeBand noChangeBand(double before, double mdcPct);
QString noRealChangeText(); // "變化在量測誤差內"

// The repeat pairs of the practice's records: consecutive measurements of a
// subject at the same potential, both complete, 1 second to 30 minutes apart
// (one measurement saved twice is not a repeat), each measurement in one pair.
NoiseFigures practiceNoise(Database& db, const CompensationTable& table);

} // namespace lumo
