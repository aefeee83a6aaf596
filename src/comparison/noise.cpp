#include "comparison/noise.h"

#include "analysis/energy.h"
#include "records/measurements.h"

#include <QSqlQuery>
#include <cmath>
#include <limits>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

NoiseFigure figureOf(double semPct, int differences)
{
    return {differences, semPct, semPct * Mdc95Factor};
}

double relativeDifference(double a, double b)
{
    const double mean = (a + b) / 2;
    return mean > 0 ? (a - b) / mean : 0;
}

std::array<double, NoiseIndexCount> indexValues(const EnergyAnalysis& a)
{
    return {a.BodyEnergy, a.UpperLowerRatio, a.LeftRightRatio, a.YinYangRatio, a.AutonomicRatio};
}

bool complete(const MeasurementRow& r)
{
    for (double v : r.ZU)
        if (!(v > 0) || !isValidReading(v)) return false;
    return true;
}

// Day numbers: one second and half an hour.
constexpr double OneSecond = 1.0 / 86400;
constexpr double RepeatWindow = RepeatWindowMinutes / 1440;

bool isRepeatOf(const MeasurementRow& a, const MeasurementRow& b)
{
    const double apart = b.ZUDATE - a.ZUDATE;
    return a.CUSTNO.compare(b.CUSTNO, Qt::CaseInsensitive) == 0 && a.ZUVOTA == b.ZUVOTA &&
           apart >= OneSecond && apart < RepeatWindow && a.ZU != b.ZU && complete(a) && complete(b);
}

// The keys of measurements that have a neighbour of the same subject within
// the window: read along the (CUSTNO, ZUDATE, MKEY) index alone, so that a
// practice of a million measurements is scanned without reading its values.
QVector<qint64> candidateKeys(Database& db)
{
    QVector<qint64> keys;
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT CUSTNO, ZUDATE, MKEY FROM ZUDATA ORDER BY CUSTNO, ZUDATE, MKEY")))
        return keys;
    QString lastNo;
    double lastDate = 0;
    qint64 lastKey = 0;
    while (q.next()) {
        const QString no = q.value(0).toString();
        const double date = q.value(1).toDouble();
        const qint64 key = q.value(2).toLongLong();
        if (lastKey && no.compare(lastNo, Qt::CaseInsensitive) == 0 && date - lastDate < RepeatWindow) {
            if (keys.isEmpty() || keys.back() != lastKey) keys << lastKey;
            keys << key;
        }
        lastNo = no;
        lastDate = date;
        lastKey = key;
    }
    return keys;
}

} // namespace

QString noiseIndexLabel(NoiseIndex i)
{
    static const char* labels[] = {"身體能量", "精神狀態比值", "左右肌骨系統", "新陳代謝功能",
                                   "自律神經平衡度"};
    return u(labels[int(i)]);
}

QString NoiseFigures::sourceText() const
{
    if (fromPractice) return u("誤差帶依本診所 %1 對重複量測").arg(pairs);
    return u("誤差帶依文獻預設值（每點 %1 %，本診所重複量測 %2 對，需 %3 對）")
        .arg(PublishedSpreadPct)
        .arg(pairs)
        .arg(PairsNeeded);
}

NoiseFigures publishedNoise()
{
    NoiseFigures f;
    for (NoiseFigure& m : f.meridians)
        m = figureOf(PublishedSpreadPct, 0);
    const double perPoint = PublishedSpreadPct;
    f.indices = {figureOf(perPoint / std::sqrt(24.0), 0), figureOf(perPoint * std::sqrt(2.0 / 12), 0),
                 figureOf(perPoint * std::sqrt(2.0 / 12), 0), figureOf(perPoint * std::sqrt(2.0 / 12), 0),
                 figureOf(perPoint * std::sqrt(2.0 / 3), 0)};
    return f;
}

void NoiseAccumulator::addPair(const std::array<double, 24>& first, const std::array<double, 24>& second)
{
    ++m_pairs;
    for (int p = 1; p <= 24; ++p) {
        const size_t m = size_t(meridianOfPoint(p));
        const double d = relativeDifference(first[size_t(p - 1)], second[size_t(p - 1)]);
        m_meridianSum[m] += d * d;
        ++m_meridianCount[m];
    }
    const auto a = analyseCompensated(first, true), b = analyseCompensated(second, true);
    if (!a || !b) return;
    const auto x = indexValues(*a), y = indexValues(*b);
    for (size_t i = 0; i < size_t(NoiseIndexCount); ++i) {
        const double d = relativeDifference(x[i], y[i]);
        m_indexSum[i] += d * d;
        ++m_indexCount[i];
    }
}

// The within-subject SD from paired differences: the variance of one
// difference is twice that of one measurement, so SD = sqrt(sum d^2 / 2n).
NoiseFigures NoiseAccumulator::figures() const
{
    if (m_pairs < PairsNeeded) {
        NoiseFigures f = publishedNoise();
        f.pairs = m_pairs;
        return f;
    }
    NoiseFigures f;
    f.pairs = m_pairs;
    f.fromPractice = true;
    auto sem = [](double sum, int n) { return n > 0 ? std::sqrt(sum / (2.0 * n)) * 100 : 0.0; };
    for (size_t m = 0; m < size_t(MeridianCount); ++m)
        f.meridians[m] = figureOf(sem(m_meridianSum[m], m_meridianCount[m]), m_meridianCount[m]);
    for (size_t i = 0; i < size_t(NoiseIndexCount); ++i)
        f.indices[i] = figureOf(sem(m_indexSum[i], m_indexCount[i]), m_indexCount[i]);
    return f;
}

bool isRealChange(double before, double after, double mdcPct)
{
    return std::fabs(relativeDifference(after, before)) * 100 > mdcPct;
}

// |after - before| = m (after + before) / 2 solved for `after` on both sides.
ChangeBand noChangeBand(double before, double mdcPct)
{
    const double h = mdcPct / 200;
    if (h >= 1) return {0, std::numeric_limits<double>::infinity()};
    return {before * (1 - h) / (1 + h), before * (1 + h) / (1 - h)};
}

QString noRealChangeText()
{
    return u("變化在量測誤差內");
}

NoiseFigures practiceNoise(Database& db, const CompensationTable& table)
{
    const QVector<qint64> keys = candidateKeys(db);
    QVector<MeasurementRow> rows;
    MeasurementStore store(db);
    for (qint64 k : keys)
        if (auto r = store.get(k)) rows << *r;
    NoiseAccumulator acc;
    for (int i = 0; i + 1 < rows.size(); ++i) {
        if (!isRepeatOf(rows[i], rows[i + 1])) continue;
        std::array<double, 24> a, b;
        for (int p = 1; p <= 24; ++p) {
            a[size_t(p - 1)] = compensate(p, rows[i].ZU[size_t(p - 1)], table);
            b[size_t(p - 1)] = compensate(p, rows[i + 1].ZU[size_t(p - 1)], table);
        }
        acc.addPair(a, b);
        ++i; // each measurement in one pair
    }
    return acc.figures();
}

} // namespace lumo
