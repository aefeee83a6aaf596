#include "instrument/simcontacts.h"

#include "instrument/simulator.h"

#include <algorithm>
#include <cmath>

namespace lumo {

int HandleContact::counts(bool highPotential, std::mt19937& rng) const
{
    double c = highPotential ? highCounts : standardCounts;
    if (noiseCounts > 0) c += std::normal_distribution<double>(0.0, noiseCounts)(rng);
    return int(std::clamp(std::round(c), 0.0, 4095.0));
}

double SkinProfile::microamperes(double atMm) const
{
    const double d = (atMm - centreMm) / widthMm;
    return baseMicroamperes + peakMicroamperes * std::exp(-0.5 * d * d);
}

// The probe's contacts other than a measuring point, asked before it: the
// handle outranks everything (the tip is on the metal, not on skin), the skin
// replaces the set value while the probe touches it.
bool SimulatedProbe::contactCounts(qint64 now, int& counts)
{
    if (m_handle.on) {
        counts = m_handle.counts(m_highPotential, m_rng);
        return true;
    }
    if (!m_onSkin) return false;
    if (!touching(now)) {
        counts = 0;
        return true;
    }
    const double ua = m_skin.microamperes() + std::normal_distribution<double>(0.0, m_noise)(m_rng);
    counts = int(std::clamp(std::round(ua * CountsPerMicroampere), 0.0, 4095.0));
    return true;
}

} // namespace lumo
