#include "measurement/quality.h"

#include "base/statistics.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString figureText(double v)
{
    return QString::number(v, 'f', 1);
}

// The reading's own noise from the differences of consecutive readings: their
// median is 0.954 standard deviations for normal noise, and a single jump or
// a slow drift hardly moves it.
double noiseOf(const QVector<double>& values)
{
    QVector<double> d;
    for (int i = 1; i < values.size(); ++i)
        d.append(std::fabs(values[i] - values[i - 1]));
    if (d.isEmpty()) return 0;
    std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
    return d[d.size() / 2] / 0.954;
}

// The largest change of level over the third and fourth tick (log scale, %):
// at each reading the mean of the span before it against the mean of the span after it, each
// side holding at least the one neighbouring reading (at a slow rate the test
// is the step between two consecutive readings). A change the noise explains
// (within `se` standard errors) does not count.
double largestStep(const QualitySamples& s, double span, double se)
{
    QVector<double> prefix{0}, values;
    QVector<int> times;
    for (const QualitySample& x : s) {
        if (x.tick < 3) continue;
        prefix.append(prefix.back() + x.counts);
        values.append(x.counts);
        times.append(x.ms);
    }
    const double noise = noiseOf(values);
    const int m = times.size();
    double largest = 0;
    int lo = 0, hi = 1;
    for (int i = 1; i < m; ++i) {
        while (lo < i - 1 && times[lo] < times[i] - span)
            ++lo;
        if (hi < i + 1) hi = i + 1;
        while (hi < m && times[hi] < times[i] + span)
            ++hi;
        const double left = (prefix[i] - prefix[lo]) / (i - lo);
        const double right = (prefix[hi] - prefix[i]) / (hi - i);
        // Means of the counts, their ratio on the log scale: a single reading
        // near the threshold moves a mean of counts by little, a mean of logs by much.
        if (left <= 0 || right <= 0) continue;
        const double step = std::fabs(std::log(right / left)) * 100;
        if (std::fabs(right - left) > se * noise * std::sqrt(1.0 / (i - lo) + 1.0 / (hi - i)))
            largest = std::max(largest, step);
    }
    return largest;
}

} // namespace

const std::array<QualityThresholdField, 10>& qualityThresholdFields()
{
    static const std::array<QualityThresholdField, 10> fields = {{
        {"steady_slope_pct_per_s", &QualityThresholds::steadySlopePct},
        {"steady_spread_pct", &QualityThresholds::steadySpreadPct},
        {"tick_agreement_pct", &QualityThresholds::tickAgreementPct},
        {"unsteady_slope_pct_per_s", &QualityThresholds::unsteadySlopePct},
        {"unsteady_spread_pct", &QualityThresholds::unsteadySpreadPct},
        {"step_pct", &QualityThresholds::stepPct},
        {"steady_step_pct", &QualityThresholds::steadyStepPct},
        {"min_samples", &QualityThresholds::minSamples},
        {"step_span_ms", &QualityThresholds::stepSpanMs},
        {"step_noise_se", &QualityThresholds::stepNoiseSe},
    }};
    return fields;
}

QString qualityThresholdsFile(const QString& dataDirectory)
{
    return QDir(dataDirectory).filePath(QStringLiteral("LumoQuality.json"));
}

QualityThresholds readQualityThresholds(const QString& dataDirectory, Status* status)
{
    *status = Status::success();
    QualityThresholds t;
    QFile f(qualityThresholdsFile(dataDirectory));
    if (!f.exists()) return t;
    QJsonParseError error;
    const QJsonDocument doc =
        f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.read(64 * 1024), &error) : QJsonDocument();
    if (!doc.isObject()) {
        *status = Status::failure(u("%1：不是品質評等的設定檔，使用預設值").arg(f.fileName()));
        return t;
    }
    QStringList refused;
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const auto& fields = qualityThresholdFields();
        const auto field = std::find_if(fields.begin(), fields.end(), [&](const QualityThresholdField& q) {
            return it.key() == QLatin1String(q.key);
        });
        const double v = it.value().toDouble(-1);
        if (field == fields.end() || !(v > 0) || !std::isfinite(v))
            refused << it.key();
        else
            t.*(field->member) = v;
    }
    if (!refused.isEmpty())
        *status = Status::failure(u("%1：%2 不是可用的設定（未知的名稱或不是正數），使用預設值")
                                      .arg(f.fileName(), refused.join(u("、"))));
    return t;
}

namespace {

double logOf(double counts)
{
    return std::log(std::max(counts, 1.0)) * 100; // one count keeps a reading at 0 finite
}

double lagOneCorrelation(const QVector<double>& e)
{
    double num = 0, den = 0;
    for (int i = 0; i < e.size(); ++i) {
        den += e[i] * e[i];
        if (i > 0) num += e[i] * e[i - 1];
    }
    return den > 0 ? num / den : 0;
}

// n (1 - r1) / (1 + r1), within [1, n]: positively correlated readings carry
// less information than their count (Santer et al. 2000).
double effectiveSize(int n, double r1)
{
    r1 = std::clamp(r1, -0.99, 0.99);
    return std::clamp(n * (1 - r1) / (1 + r1), 1.0, double(n));
}

double slopeOf(const QVector<double>& t, const QVector<double>& y, int from, int to)
{
    double mt = 0, my = 0, stt = 0, sty = 0;
    const int n = to - from;
    for (int i = from; i < to; ++i) {
        mt += t[i] / n;
        my += y[i] / n;
    }
    for (int i = from; i < to; ++i) {
        stt += (t[i] - mt) * (t[i] - mt);
        sty += (t[i] - mt) * (y[i] - my);
    }
    return stt > 0 ? sty / stt : 0;
}

// A drift runs through the whole window: each half slopes the same way, by
// at least half as much. A change of pressure inside the window tilts the
// line fitted through it too, but only the half that holds the change.
bool driftInBothHalves(const QVector<double>& t, const QVector<double>& y, double slope)
{
    const int n = int(t.size());
    if (n < 8) return true;
    const double first = slopeOf(t, y, 0, n / 2), second = slopeOf(t, y, n / 2, n);
    return first * slope > 0 && second * slope > 0 &&
           std::min(std::fabs(first), std::fabs(second)) >= std::fabs(slope) / 2;
}

// y = plateau + a exp(-t / tau), tau searched on a log grid from 50 ms to the
// limit, plateau and a by least squares for each. The squared error comes from
// the sums the least squares already has, so each tau costs one pass; y is
// taken about its mean so the sums do not cancel.
void fitSettling(const QualitySamples& s, double mean, QualityFigures& f)
{
    std::vector<double> t, y; // plain vectors: the loops below index them a million times
    t.reserve(size_t(s.size()));
    y.reserve(size_t(s.size()));
    for (const QualitySample& x : s)
        if (x.tick >= 3) {
            t.push_back(x.ms);
            y.push_back(x.counts);
        }
    if (t.size() < 4 || mean <= 0) return;
    const double n = double(t.size());
    const double centre = std::accumulate(y.begin(), y.end(), 0.0) / n;
    double syy = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        y[i] -= centre;
        syy += y[i] * y[i];
    }
    const double t0 = t[0];
    double best = std::numeric_limits<double>::infinity();
    for (int g = 0; g <= 60; ++g) {
        const double tau = 50 * std::pow(SettlingTauLimitMs / 50, g / 60.0);
        double se = 0, see = 0, sey = 0; // y sums to 0 about its mean
        // The readings' times are whole milliseconds, mostly a steady step
        // apart: exp(-t / tau) goes from one reading to the next by one
        // factor per step, so a point's thousand readings need a few exp()
        // instead of one each.
        const double q = std::exp(-1 / tau);
        double e = 1, stepFactor = 1;
        int step = 0;
        for (size_t i = 0; i < t.size(); ++i) {
            const int gap = i == 0 ? 0 : int(t[i] - t[i - 1]);
            if (gap < 0) {
                e = std::exp(-(t[i] - t0) / tau);
            } else if (gap > 0) {
                if (gap != step) {
                    step = gap;
                    stepFactor = std::pow(q, gap);
                }
                e *= stepFactor;
            }
            se += e;
            see += e * e;
            sey += e * y[i];
        }
        const double det = n * see - se * se;
        if (std::fabs(det) < 1e-12) continue;
        const double a = n * sey / det, plateau = -a * se / n;
        // sum (y - plateau - a e)^2 expanded over the sums above
        const double sse = syy + n * plateau * plateau + a * a * see - 2 * a * sey + 2 * plateau * a * se;
        if (sse < best) {
            best = sse;
            f.plateauPct = ((plateau + centre) / mean - 1) * 100;
            f.tauMs = tau;
        }
    }
}

} // namespace

bool QualityFigures::slopeSignificant() const
{
    return slopeSePct > 0 && samples > 2 && std::fabs(slopePct) > 0 &&
           studentTwoSidedP(slopePct / slopeSePct, std::max(1.0, effectiveDf)) < 0.05;
}

QualityFigures measureQuality(const QualitySamples& s, const QualityThresholds& t)
{
    QualityFigures f;
    QVector<double> times, logs, counts, logs3;
    for (const QualitySample& x : s) {
        if (x.tick == 4) {
            times << x.ms / 1000.0;
            logs << logOf(x.counts);
            counts << x.counts;
        } else if (x.tick == 3) {
            logs3 << logOf(x.counts);
        }
    }
    f.samples = int(counts.size());
    if (f.samples == 0) return f;
    f.mean = std::accumulate(counts.begin(), counts.end(), 0.0) / f.samples;
    if (f.mean <= 0) return f;
    const int n = f.samples;
    const double meanT = std::accumulate(times.begin(), times.end(), 0.0) / n;
    const double meanL = std::accumulate(logs.begin(), logs.end(), 0.0) / n;
    double stt = 0, stl = 0, sll = 0, scc = 0;
    for (int i = 0; i < n; ++i) {
        stt += (times[i] - meanT) * (times[i] - meanT);
        stl += (times[i] - meanT) * (logs[i] - meanL);
        sll += (logs[i] - meanL) * (logs[i] - meanL);
        scc += (counts[i] - f.mean) * (counts[i] - f.mean);
    }
    if (n > 1) f.spreadPct = std::sqrt(sll / (n - 1));
    if (stt > 0) {
        f.slopePct = stl / stt;
        QVector<double> residuals;
        for (int i = 0; i < n; ++i)
            residuals << logs[i] - meanL - f.slopePct * (times[i] - meanT);
        const double sse = std::inner_product(residuals.begin(), residuals.end(), residuals.begin(), 0.0);
        const double nEff = effectiveSize(n, lagOneCorrelation(residuals));
        f.effectiveDf = nEff - 2;
        f.slopeSePct = nEff > 2 ? std::sqrt(sse / (nEff - 2) / stt) : std::numeric_limits<double>::infinity();
        if (!driftInBothHalves(times, logs, f.slopePct))
            f.slopeSePct = std::numeric_limits<double>::infinity();
    }
    if (n > 1) {
        QVector<double> deviations;
        for (double c : counts)
            deviations << c - f.mean;
        const double nEff = effectiveSize(n, lagOneCorrelation(deviations));
        f.sePct = std::sqrt(scc / (n - 1) / nEff) / f.mean * 100;
    }
    if (!logs3.isEmpty())
        f.tickDiffPct = std::fabs(std::accumulate(logs3.begin(), logs3.end(), 0.0) / logs3.size() - meanL);
    f.stepPct = largestStep(s, t.stepSpanMs, t.stepNoiseSe);
    fitSettling(s, f.mean, f);
    return f;
}

// Every failing test as its figure over its bound; the grade names the
// largest. A slope that the window's noise explains is no drift.
PointGrade gradeFigures(const QualityFigures& f, double value, const QualityThresholds& t)
{
    PointGrade g;
    g.figures = f;
    g.value = float(value);
    auto decide = [&g](QualityGrade grade, QualityTest test, double figure) {
        g.grade = grade;
        g.test = test;
        g.figure = figure;
        return g;
    };
    if (f.samples < t.minSamples) return decide(QualityGrade::C, QualityTest::Samples, f.samples);
    const double slope = f.slopeSignificant() ? std::fabs(f.slopePct) : 0;
    struct Check
    {
        QualityTest test;
        double figure, unsteady, steady;
    };
    const Check checks[] = {
        {QualityTest::Step, f.stepPct, t.stepPct, t.steadyStepPct},
        {QualityTest::Slope, slope, t.unsteadySlopePct, t.steadySlopePct},
        {QualityTest::Spread, f.spreadPct, t.unsteadySpreadPct, t.steadySpreadPct},
        {QualityTest::TickAgreement, f.tickDiffPct, std::numeric_limits<double>::infinity(),
         t.tickAgreementPct},
    };
    for (const auto level : {&Check::unsteady, &Check::steady}) {
        const Check* worst = nullptr;
        for (const Check& c : checks)
            if (c.figure > c.*level && (!worst || c.figure / c.*level > worst->figure / worst->*level))
                worst = &c;
        if (!worst) continue;
        const double figure = worst->test == QualityTest::Slope ? f.slopePct : worst->figure;
        return decide(level == &Check::unsteady ? QualityGrade::C : QualityGrade::B, worst->test, figure);
    }
    return decide(QualityGrade::A, QualityTest::None, 0);
}

// The last 150 ms of the averaged window against the rest of it: a probe
// leaving the skin pulls them below by more than a pressure step's bound and
// the last reading is the lowest of them.
bool breaksContact(const QualitySamples& s, const QualityThresholds& t)
{
    QVector<double> head, tail;
    int lastMs = -1;
    for (const QualitySample& x : s)
        if (x.tick == 4) lastMs = x.ms;
    double last = 0;
    for (const QualitySample& x : s) {
        if (x.tick != 4) continue;
        (x.ms >= lastMs - 150 ? tail : head) << logOf(x.counts);
        last = logOf(x.counts);
    }
    if (head.size() < 3 || tail.size() < 2) return false;
    std::nth_element(head.begin(), head.begin() + head.size() / 2, head.end());
    const double median = head[head.size() / 2];
    const double tailMean = std::accumulate(tail.begin(), tail.end(), 0.0) / tail.size();
    return median - tailMean > t.stepPct && last <= tailMean;
}

QString qualityReason(const PointGrade& g)
{
    switch (g.test) {
    case QualityTest::None:
        return {};
    case QualityTest::Samples:
        return u("取樣僅 %1 筆").arg(int(g.figure));
    case QualityTest::Step:
        return u("壓力跳動 %1 %").arg(figureText(g.figure));
    case QualityTest::Slope:
        return u("漂移 %1 %/秒").arg(figureText(g.figure));
    case QualityTest::Spread:
        return u("波動 %1 %").arg(figureText(g.figure));
    case QualityTest::TickAgreement:
        return u("第 3、4 拍相差 %1 %").arg(figureText(g.figure));
    }
    return {};
}

QString qualityGradeText(const PointGrade& g)
{
    if (!g.graded()) return {};
    const QString letter(QChar(char(g.grade)));
    const QString reason = qualityReason(g);
    return reason.isEmpty() ? letter : letter + u("：") + reason;
}

QString valueUncertaintyText(const PointGrade& g)
{
    if (!g.graded() || g.figures.samples == 0) return {};
    const double v = g.value;
    QString text = u("%1 ± %2 uA（標準誤 %3 %）")
                       .arg(QString::number(v, 'f', 1), QString::number(v * g.figures.sePct / 100, 'f', 2),
                            figureText(g.figures.sePct));
    if (g.figures.tauMs <= 0) return text;
    if (g.figures.tauMs >= SettlingTauLimitMs) return text + u("；量測窗內未見趨穩");
    return text + u("；趨穩值 %1 uA，時間常數 %2 秒")
                      .arg(QString::number(v * (1 + g.figures.plateauPct / 100), 'f', 1),
                           QString::number(g.figures.tauMs / 1000, 'f', 2));
}

QString qualityTipText(const PointGrade& g)
{
    if (!g.graded()) return {};
    return u("測量品質 %1（品質表示讀數是否穩定，不表示數值是否正確）\n%2")
        .arg(qualityGradeText(g), valueUncertaintyText(g));
}

GradeCounts countGrades(const MeasurementQuality& q, const std::array<double, 24>& readings)
{
    GradeCounts c;
    for (size_t i = 0; i < 24; ++i) {
        const PointGrade& g = q.grades[i];
        if (readings[i] == 0) continue; // not measured: nothing to grade
        if (!g.validFor(readings[i]))
            ++c.none;
        else if (g.grade == QualityGrade::A)
            ++c.a;
        else if (g.grade == QualityGrade::B)
            ++c.b;
        else
            ++c.c;
    }
    return c;
}

QString gradeSummary(const GradeCounts& c)
{
    if (c.a + c.b + c.c == 0) return u("測量品質：無評等資料");
    QString s = u("測量品質：A %1、B %2、C %3").arg(c.a).arg(c.b).arg(c.c);
    if (c.none > 0) s += u("、未評等 %1").arg(c.none);
    return s;
}

QString uncertaintySummary(const MeasurementQuality& q, const std::array<double, 24>& readings)
{
    QVector<double> se;
    int worst = 0;
    for (int p = 1; p <= 24; ++p) {
        const PointGrade& g = q.grades[size_t(p - 1)];
        if (!g.validFor(readings[size_t(p - 1)]) || g.figures.samples == 0) continue;
        se << g.figures.sePct;
        if (!worst || g.figures.sePct > q.grades[size_t(worst - 1)].figures.sePct) worst = p;
    }
    if (se.isEmpty()) return {};
    std::nth_element(se.begin(), se.begin() + se.size() / 2, se.end());
    return u("數值標準誤：中位數 %1 %，最大 %2 %（第 %3 點）")
        .arg(QString::number(se[se.size() / 2], 'f', 2),
             QString::number(q.grades[size_t(worst - 1)].figures.sePct, 'f', 2))
        .arg(worst);
}

QString poorPointsText(const GradeCounts& c)
{
    return c.c > 0 ? u("本次量測有 %1 點品質不佳").arg(c.c) : QString();
}

} // namespace lumo
