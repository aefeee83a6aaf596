#include "base/statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace lumo {
namespace {

constexpr double Epsilon = 1e-14;
constexpr int MaxIterations = 500;

// The regularized lower incomplete gamma P(a, x): its series below a + 1,
// its continued fraction (modified Lentz) above, as the standard numerical
// references give them.
double lowerGamma(double a, double x)
{
    if (x <= 0) return 0;
    const double logPrefix = a * std::log(x) - x - std::lgamma(a);
    if (x < a + 1) {
        double term = 1 / a, sum = term;
        for (int n = 1; n < MaxIterations && std::fabs(term) > std::fabs(sum) * Epsilon; ++n) {
            term *= x / (a + n);
            sum += term;
        }
        return sum * std::exp(logPrefix);
    }
    double b = x + 1 - a, c = 1 / 1e-300, d = 1 / b, h = d;
    for (int i = 1; i < MaxIterations; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < 1e-300) d = 1e-300;
        c = b + an / c;
        if (std::fabs(c) < 1e-300) c = 1e-300;
        d = 1 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1) < Epsilon) break;
    }
    return 1 - std::exp(logPrefix) * h;
}

// The continued fraction of the regularized incomplete beta function.
double betaFraction(double a, double b, double x)
{
    const double qab = a + b, qap = a + 1, qam = a - 1;
    double c = 1, d = 1 - qab * x / qap;
    if (std::fabs(d) < 1e-300) d = 1e-300;
    d = 1 / d;
    double h = d;
    for (int m = 1; m < MaxIterations; ++m) {
        const int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1 + aa * d;
        c = 1 + aa / c;
        d = 1 / (std::fabs(d) < 1e-300 ? 1e-300 : d);
        if (std::fabs(c) < 1e-300) c = 1e-300;
        h *= d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1 + aa * d;
        c = 1 + aa / c;
        d = 1 / (std::fabs(d) < 1e-300 ? 1e-300 : d);
        if (std::fabs(c) < 1e-300) c = 1e-300;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1) < Epsilon) break;
    }
    return h;
}

// I_x(a, b), the regularized incomplete beta function.
double incompleteBeta(double a, double b, double x)
{
    if (x <= 0) return 0;
    if (x >= 1) return 1;
    const double front =
        std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x));
    if (x < (a + 1) / (a + b + 2)) return front * betaFraction(a, b, x) / a;
    return 1 - front * betaFraction(b, a, 1 - x) / b;
}

} // namespace

double normalTwoSidedP(double z)
{
    return std::erfc(std::fabs(z) / std::sqrt(2.0));
}

double studentTwoSidedP(double t, double df)
{
    if (!(df > 0) || std::isinf(df)) return normalTwoSidedP(t);
    return incompleteBeta(df / 2, 0.5, df / (df + t * t));
}

double chiSquareQuantile(double p, double df)
{
    // P(X <= x) rises with x: halve the bracket until it is as narrow as a double allows.
    double low = 0, high = std::max(1.0, df);
    while (lowerGamma(df / 2, high / 2) < p)
        high *= 2;
    for (int i = 0; i < 200 && high - low > 1e-12 * high; ++i) {
        const double mid = (low + high) / 2;
        (lowerGamma(df / 2, mid / 2) < p ? low : high) = mid;
    }
    return (low + high) / 2;
}

Interval sdConfidenceFactors(double df)
{
    if (!(df > 0)) return {0, std::numeric_limits<double>::infinity()};
    return {std::sqrt(df / chiSquareQuantile(0.975, df)), std::sqrt(df / chiSquareQuantile(0.025, df))};
}

QVector<bool> weightedHolm(const QVector<double>& p, const QVector<double>& weights, double alpha)
{
    const int n = int(p.size());
    QVector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return p[a] * weights[b] < p[b] * weights[a]; });
    QVector<bool> rejected(n, false);
    double remaining = std::accumulate(weights.begin(), weights.end(), 0.0);
    for (int i : order) {
        if (p[i] > alpha * weights[i] / remaining) break;
        rejected[i] = true;
        remaining -= weights[i];
    }
    return rejected;
}

} // namespace lumo
