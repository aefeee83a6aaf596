#include "analysis/reportquality.h"

#include "analysis/reportpage.h"
#include "measurement/catalogue.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

void wrapped(ReportPage& p, const QString& text, const QColor& colour)
{
    for (const QString& line : wrapText(text, p.font()))
        if (!p.isAbandoned()) p.PrintTextLine(line, colour);
}

} // namespace

void printMeasurementQuality(ReportPage& p, const EnergySet& e)
{
    QStringList poor;
    for (int point = 1; point <= 24; ++point) {
        const PointGrade& g = e.Quality.grades[size_t(point - 1)];
        if (g.validFor(e.Readings[size_t(point - 1)]) && g.grade == QualityGrade::C)
            poor << u("%1 %2（%3）")
                        .arg(positionText(point), shortName(meridianOfPoint(point)), qualityReason(g));
    }
    const QString uncertainty = uncertaintySummary(e.Quality, e.Readings);
    wrapped(p,
            gradeSummary(countGrades(e.Quality, e.Readings)) +
                (uncertainty.isEmpty() ? QString() : u("；") + uncertainty),
            Qt::black);
    wrapped(p, u("（品質表示讀數是否穩定，不表示數值是否正確）"), Qt::black);
    if (!poor.isEmpty()) wrapped(p, u("品質不佳的測定點：") + poor.join(u("、")), QColor(255, 0, 0));
    wrapped(p, conditionsText(e.Conditions, e.TakenAt), Qt::black);
    const QString note = conditionsNoteText(e.Conditions);
    if (!note.isEmpty()) wrapped(p, note, Qt::black);
}

} // namespace lumo
