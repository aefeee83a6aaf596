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

// Two measurements: each one's poor points and the warnings between them, in
// full. More: one line per kind, naming the measurements, so that six
// measurements still leave room for the chart.
QStringList comparisonNotes(const QVector<NotedMeasurement>& measured)
{
    QStringList notes, poor, hours, differ;
    for (const NotedMeasurement& m : measured) {
        const GradeCounts counts = countGrades(m.extras.quality, m.readings);
        if (counts.c == 0) continue;
        if (measured.size() <= 2)
            notes << m.label + u("：") + poorPointsText(counts);
        else
            poor << u("%1 %2 點").arg(m.label).arg(counts.c);
    }
    for (int i = 1; i < measured.size(); ++i) {
        const NotedMeasurement &a = measured.first(), &b = measured.at(i);
        if (measured.size() <= 2) {
            notes << conditionWarnings(a.extras.conditions, a.takenAt, b.extras.conditions, b.takenAt);
            continue;
        }
        const MeasurementConditions none;
        if (!conditionWarnings(none, a.takenAt, none, b.takenAt).isEmpty()) hours << b.label;
        if (!conditionWarnings(a.extras.conditions, 0, b.extras.conditions, 0).isEmpty()) differ << b.label;
    }
    const QString first = measured.isEmpty() ? QString() : measured.first().label;
    if (!poor.isEmpty()) notes << u("品質不佳：") + poor.join(u("、"));
    if (!hours.isEmpty())
        notes << u("%1與%2時段相差 %3 小時以上，數值差異可能來自時段")
                     .arg(hours.join(u("、")), first)
                     .arg(TimeOfDayWarningHours);
    if (!differ.isEmpty())
        notes << u("%1與%2量測條件不同，數值差異可能來自量測條件").arg(differ.join(u("、")), first);
    return notes;
}

} // namespace lumo
