#pragma once
// An unchanged simulated subject measured again and again the same way: its
// true values stay, and each measurement scatters around them as repeats do,
// by a common factor of the whole measurement (the day's level, the skin's
// moisture) and by each point's own contact.
#include <array>
#include <cmath>
#include <random>

namespace lumo::test {

struct SimulatedSubject
{
    std::array<double, 24> truth{};
    double commonPct = 5;     // SD of the measurement's common factor, % (log scale)
    double pointPct = 12;     // SD of each point's own scatter, % (log scale)
    double poorChance = 0.02; // a point graded C now and then
    SimulatedSubject(std::mt19937& rng)
    {
        std::normal_distribution<double> level(42, 6), point(0, 7);
        const double body = std::clamp(level(rng), 25.0, 60.0);
        for (double& v : truth)
            v = std::clamp(body + point(rng), 8.0, 120.0);
    }
    std::array<double, 24> measure(std::mt19937& rng, std::array<bool, 24>* poor = nullptr) const
    {
        std::normal_distribution<double> z(0, 1);
        std::uniform_real_distribution<double> chance(0, 1);
        const double common = commonPct / 100 * z(rng);
        std::array<double, 24> v{};
        for (size_t p = 0; p < 24; ++p) {
            v[p] = truth[p] * std::exp(common + pointPct / 100 * z(rng));
            if (poor) (*poor)[p] = chance(rng) < poorChance;
        }
        return v;
    }
};

} // namespace lumo::test
