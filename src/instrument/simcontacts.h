#pragma once
// What the simulated probe can touch besides a measuring point: its own metal
// handle, which closes the circuit for a calibration, and a stretch of skin
// with one acupoint on it, along which the probe is moved to locate the point.

#include <QtGlobal>
#include <random>

namespace lumo {

// The wet cotton tip on the handle: a short circuit through the probe's own
// conductor. The instrument then reads one steady count per potential (what a
// calibration turns into CalibStandard and CalibHigh); noise only when asked for.
struct HandleContact
{
    bool on = false;
    int standardCounts = 4000;
    int highCounts = 4000;
    double noiseCounts = 0;

    int counts(bool highPotential, std::mt19937& rng) const;
};

// The skin along one line, 0..LengthMm: a base conductance with one peak at the
// acupoint, so the reading rises towards the point and falls beyond it.
struct SkinProfile
{
    static constexpr double LengthMm = 100;
    double positionMm = 20;
    double centreMm = 62;
    double widthMm = 9; // the peak's standard deviation
    double baseMicroamperes = 14;
    double peakMicroamperes = 46; // above the base, at the centre

    double microamperes(double atMm) const;
    double microamperes() const { return microamperes(positionMm); }
    double highest() const { return baseMicroamperes + peakMicroamperes; }
};

} // namespace lumo
