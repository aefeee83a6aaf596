#include "instrument/handscript.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <random>

namespace lumo {
namespace {

struct Limit
{
    const char* key;
    double low, high;
};
// Wide enough for any hand a test wants, narrow enough that the simulated
// counts stay within the instrument's range and the run always ends.
constexpr Limit kLimits[] = {
    {"value", 1, 200},        {"drift_pct_per_s", -100, 100}, {"noise_pct", 0, 50},
    {"step_at_ms", 0, 10000}, {"step_pct", -90, 200},         {"lift_at_ms", 0, 10000},
};

Status readNumber(const QJsonObject& o, const Limit& l, int index, std::optional<double>& out)
{
    const QJsonValue v = o.value(QLatin1String(l.key));
    if (v.isUndefined() || v.isNull()) return Status::success();
    if (!v.isDouble())
        return Status::failure(QStringLiteral("point %1: %2 is not a number").arg(index + 1).arg(l.key));
    const double d = v.toDouble();
    if (!std::isfinite(d) || d < l.low || d > l.high)
        return Status::failure(QStringLiteral("point %1: %2 must lie from %3 to %4")
                                   .arg(index + 1)
                                   .arg(l.key)
                                   .arg(l.low)
                                   .arg(l.high));
    out = d;
    return Status::success();
}

Status readPoint(const QJsonObject& o, int index, PointHand& h)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        const bool known = std::any_of(std::begin(kLimits), std::end(kLimits),
                                       [&](const Limit& l) { return it.key() == QLatin1String(l.key); });
        if (!known)
            return Status::failure(QStringLiteral("point %1: unknown key %2").arg(index + 1).arg(it.key()));
    }
    std::optional<double> v[6];
    for (int i = 0; i < 6; ++i)
        if (Status s = readNumber(o, kLimits[i], index, v[i]); !s) return s;
    h.value = v[0].value_or(h.value);
    h.driftPctPerS = v[1].value_or(h.driftPctPerS);
    h.noisePct = v[2].value_or(h.noisePct);
    if (v[3]) h.stepAtMs = qint64(*v[3]);
    h.stepPct = v[4].value_or(h.stepPct);
    if (v[5]) h.liftAtMs = qint64(*v[5]);
    return Status::success();
}

} // namespace

double PointHand::microamperes(qint64 since, bool mayLift) const
{
    // Compounding: a rise and a fall of the same percentage per second are
    // the same ratio per second, as the grades judge them.
    double ua = value * std::exp(driftPctPerS / 100 * double(since) / 1000.0);
    if (stepAtMs && since >= *stepAtMs) ua *= 1 + stepPct / 100;
    if (mayLift && liftAtMs && since >= *liftAtMs)
        ua *= std::max(0.0, 1 - double(since - *liftAtMs) / double(LiftFallMs));
    return std::max(0.0, ua);
}

Status parseHandScript(const QByteArray& json, HandScript& out)
{
    if (json.size() > MaxHandScriptBytes)
        return Status::failure(
            QStringLiteral("the probe script is larger than %1 bytes").arg(MaxHandScriptBytes));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return Status::failure(QStringLiteral("the probe script is not JSON: %1 at %2")
                                   .arg(error.errorString())
                                   .arg(error.offset));
    const QJsonArray points = doc.object().value(QLatin1String("points")).toArray();
    if (!doc.isObject() || points.size() != 24)
        return Status::failure(QStringLiteral("the probe script needs {\"points\": [...]} with 24 entries"));
    HandScript script(24);
    for (int i = 0; i < 24; ++i) {
        if (!points.at(i).isObject())
            return Status::failure(QStringLiteral("point %1 is not an object").arg(i + 1));
        if (Status s = readPoint(points.at(i).toObject(), i, script[i]); !s) return s;
    }
    out = script;
    return Status::success();
}

Status readHandScript(const QString& path, HandScript& out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return Status::failure(path + QStringLiteral(": ") + f.errorString());
    const QByteArray bytes = f.read(MaxHandScriptBytes + 1);
    Status s = parseHandScript(bytes, out);
    if (!s) s.error = path + QStringLiteral(": ") + s.error;
    return s;
}

HandScript realisticHand(unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> body(42.0, 6.0), point(0.0, 7.0), drift(0.0, 3.0);
    std::uniform_real_distribution<double> noise(0.5, 4.0), chance(0.0, 1.0), stepSize(8.0, 25.0);
    std::uniform_int_distribution<int> when(600, 2300), sign(0, 1);
    const double level = std::clamp(body(rng), 25.0, 60.0);
    HandScript script(24);
    for (PointHand& h : script) {
        h.value = std::clamp(level + point(rng), 8.0, 120.0);
        h.driftPctPerS = std::clamp(drift(rng), -12.0, 12.0);
        h.noisePct = noise(rng);
        // About one point in ten gets a change of pressure, one in twenty an early lift.
        if (chance(rng) < 0.1) {
            h.stepAtMs = when(rng);
            h.stepPct = stepSize(rng) * (sign(rng) ? 1 : -1);
        }
        if (chance(rng) < 0.05) h.liftAtMs = when(rng);
    }
    return script;
}

} // namespace lumo
