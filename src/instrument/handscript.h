#pragma once
// What the simulated operator's hand does at each of the 24 points: the skin's
// value, how the reading drifts and scatters, a change of pressure at a given
// moment, and a probe lifted too early. Read from a JSON script (tests, the
// command line, `lumo --simulate --probe-script`), or drawn at random within
// the limits of real hands (the probe panel's 真實手感).

#include "base/status.h"

#include <QByteArray>
#include <QVector>
#include <optional>

namespace lumo {

struct PointHand
{
    double value = 45.0;            // uA at contact
    double driftPctPerS = 0;        // % per second on the log scale (compounding), from contact
    double noisePct = 1;            // standard deviation, % of the value
    std::optional<qint64> stepAtMs; // a change of pressure, ms after contact
    double stepPct = 0;             // its size, % of the value
    std::optional<qint64> liftAtMs; // the probe leaves the skin, ms after contact (first touch only)

    // The reading (uA, before noise) `since` ms after contact; `mayLift`:
    // the touch in which the early lift happens.
    double microamperes(qint64 since, bool mayLift) const;
    // How long a lifting hand takes from full pressure to off the skin.
    static constexpr qint64 LiftFallMs = 200;
};

using HandScript = QVector<PointHand>; // 24 points, in point order

// {"points": [{"value": 45.0, "drift_pct_per_s": 0, "noise_pct": 1,
//   "step_at_ms": null, "step_pct": 0, "lift_at_ms": null}, ... 24 entries]};
// missing keys take these defaults. A file others wrote: bounded in size,
// every value checked, an unknown key refused (a misspelt one would
// silently do nothing).
Status parseHandScript(const QByteArray& json, HandScript& out);
Status readHandScript(const QString& path, HandScript& out);
constexpr qint64 MaxHandScriptBytes = 64 * 1024;

// Hands as practitioners have them, drawn within set limits: a body level
// and point values as the steady automatic hand has them, with a slight drift
// and noise on every point, now and then a change of pressure or an early lift.
HandScript realisticHand(unsigned seed);

} // namespace lumo
