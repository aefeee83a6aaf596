#include "measurement/quality.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

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

// The largest change of level over the third and fourth tick: at each reading
// the mean of the span before it against the mean of the span after it, each
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
        const double step = std::fabs(right - left);
        if (step > se * noise * std::sqrt(1.0 / (i - lo) + 1.0 / (hi - i))) largest = std::max(largest, step);
    }
    return largest;
}

} // namespace

const std::array<QualityThresholdField, 9>& qualityThresholdFields()
{
    static const std::array<QualityThresholdField, 9> fields = {{
        {"steady_slope_pct_per_s", &QualityThresholds::steadySlopePct},
        {"steady_spread_pct", &QualityThresholds::steadySpreadPct},
        {"tick_agreement_pct", &QualityThresholds::tickAgreementPct},
        {"unsteady_slope_pct_per_s", &QualityThresholds::unsteadySlopePct},
        {"unsteady_spread_pct", &QualityThresholds::unsteadySpreadPct},
        {"step_pct", &QualityThresholds::stepPct},
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

QualityFigures measureQuality(const QualitySamples& s, const QualityThresholds& t)
{
    QualityFigures f;
    double sum4 = 0, sumT = 0, sum3 = 0;
    int n3 = 0;
    for (const QualitySample& x : s) {
        if (x.tick == 4) {
            sum4 += x.counts;
            sumT += x.ms;
            ++f.samples;
        } else if (x.tick == 3) {
            sum3 += x.counts;
            ++n3;
        }
    }
    if (f.samples == 0) return f;
    f.mean = sum4 / f.samples;
    if (f.mean <= 0) return f;
    const double meanT = sumT / f.samples;
    double stt = 0, stv = 0, svv = 0;
    for (const QualitySample& x : s) {
        if (x.tick != 4) continue;
        const double dt = (x.ms - meanT) / 1000.0, dv = x.counts - f.mean;
        stt += dt * dt;
        stv += dt * dv;
        svv += dv * dv;
    }
    if (stt > 0) f.slopePct = stv / stt / f.mean * 100;
    if (f.samples > 1) f.spreadPct = std::sqrt(svv / (f.samples - 1)) / f.mean * 100;
    if (n3 > 0) f.tickDiffPct = std::fabs(sum3 / n3 - f.mean) / f.mean * 100;
    f.stepPct = largestStep(s, t.stepSpanMs, t.stepNoiseSe) / f.mean * 100;
    return f;
}

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
    const double slope = std::fabs(f.slopePct);
    if (f.samples < t.minSamples) return decide(QualityGrade::C, QualityTest::Samples, f.samples);
    if (f.stepPct > t.stepPct) return decide(QualityGrade::C, QualityTest::Step, f.stepPct);
    if (slope > t.unsteadySlopePct) return decide(QualityGrade::C, QualityTest::Slope, f.slopePct);
    if (f.spreadPct > t.unsteadySpreadPct) return decide(QualityGrade::C, QualityTest::Spread, f.spreadPct);
    if (slope > t.steadySlopePct) return decide(QualityGrade::B, QualityTest::Slope, f.slopePct);
    if (f.spreadPct > t.steadySpreadPct) return decide(QualityGrade::B, QualityTest::Spread, f.spreadPct);
    if (f.tickDiffPct > t.tickAgreementPct)
        return decide(QualityGrade::B, QualityTest::TickAgreement, f.tickDiffPct);
    return decide(QualityGrade::A, QualityTest::None, 0);
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

QString poorPointsText(const GradeCounts& c)
{
    return c.c > 0 ? u("本次量測有 %1 點品質不佳").arg(c.c) : QString();
}

} // namespace lumo
