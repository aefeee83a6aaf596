#pragma once
// The few distributions and the multiple-testing rule that the judgement of
// a change needs, written out so that their figures can be checked against
// the printed tables: the normal and Student's t tails, the chi-square
// quantiles behind a confidence interval for an SD, and Holm's weighted
// step-down procedure (Holm 1979).

#include <QVector>

namespace lumo {

// Two-sided tail of the standard normal: P(|Z| >= |z|).
double normalTwoSidedP(double z);
// Two-sided tail of Student's t with `df` degrees of freedom: P(|T| >= |t|).
double studentTwoSidedP(double t, double df);
// The quantile of the chi-square distribution with `df` degrees of freedom:
// the x with P(X <= x) = p (0 < p < 1, df > 0).
double chiSquareQuantile(double p, double df);

// A standard deviation estimated with `df` degrees of freedom lies, with 95 %
// confidence, between sd * sqrt(df / chi2(0.975, df)) and sd * sqrt(df /
// chi2(0.025, df)); the factors by which to multiply it.
struct Interval
{
    double low = 0, high = 0;
};
Interval sdConfidenceFactors(double df);

// Holm's step-down procedure with weights (Holm 1979): hypotheses ordered by
// p / weight; the j-th is rejected while p_j / w_j <= alpha / (sum of the
// weights not yet rejected), and the first that is not stops the rest. The
// family-wise rate of false rejections stays at most alpha, whatever the
// dependence between the tests. Weights must be positive.
QVector<bool> weightedHolm(const QVector<double>& p, const QVector<double>& weights, double alpha);

} // namespace lumo
