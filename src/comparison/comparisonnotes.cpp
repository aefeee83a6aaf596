#include "comparison/comparisonnotes.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

NotedMeasurement notedMeasurement(const QString& label, const EnergySet& e)
{
    NotedMeasurement m;
    m.label = label;
    m.readings = e.Readings;
    m.extras.quality = e.Quality;
    m.extras.conditions = e.Conditions;
    m.takenAt = e.TakenAt;
    return m;
}

QStringList comparisonNotes(const QVector<NotedMeasurement>& measured)
{
    QStringList notes;
    for (const NotedMeasurement& m : measured) {
        const QString poor = poorPointsText(countGrades(m.extras.quality, m.readings));
        if (!poor.isEmpty()) notes << m.label + u("：") + poor;
    }
    for (int i = 1; i < measured.size(); ++i) {
        const NotedMeasurement &a = measured.first(), &b = measured.at(i);
        const QString prefix = measured.size() > 2 ? u("%1與%2：").arg(a.label, b.label) : QString();
        for (const QString& w :
             conditionWarnings(a.extras.conditions, a.takenAt, b.extras.conditions, b.takenAt))
            notes << prefix + w;
    }
    return notes;
}

QString changeSummary(const std::array<double, 24>& before, const std::array<double, 24>& after,
                      const NoiseFigures& noise)
{
    int real = 0;
    for (int p = 1; p <= 24; ++p)
        real += isRealChange(before[size_t(p - 1)], after[size_t(p - 1)], noise.ofPoint(p).mdcPct);
    return u("24 點中 %1 點的變化超出量測誤差，%2 點%3").arg(real).arg(24 - real).arg(noRealChangeText());
}

} // namespace lumo
