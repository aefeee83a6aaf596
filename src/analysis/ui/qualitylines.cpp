#include "analysis/ui/qualitylines.h"

#include "measurement/catalogue.h"

#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QLabel* line(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

} // namespace

void addQualityLines(QVBoxLayout* layout, QWidget* parent, const EnergySet& e)
{
    const GradeCounts counts = countGrades(e.Quality, e.Readings);
    const QString uncertainty = uncertaintySummary(e.Quality, e.Readings);
    layout->addWidget(line(parent, "QualityLine",
                           gradeSummary(counts) +
                               (uncertainty.isEmpty() ? QString() : u("；") + uncertainty) +
                               u("（品質表示讀數是否穩定，不表示數值是否正確）")));
    QStringList poor;
    for (int p = 1; p <= 24; ++p) {
        const PointGrade& g = e.Quality.grades[size_t(p - 1)];
        if (g.validFor(e.Readings[size_t(p - 1)]) && g.grade == QualityGrade::C)
            poor << u("%1 %2（%3）").arg(positionText(p), shortName(meridianOfPoint(p)), qualityReason(g));
    }
    if (!poor.isEmpty()) {
        QLabel* l = line(parent, "PoorPointsLine", u("品質不佳的測定點：") + poor.join(u("、")));
        l->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
        layout->addWidget(l);
    }
    layout->addWidget(line(parent, "ConditionsLine", conditionsText(e.Conditions, e.TakenAt)));
    const QString note = conditionsNoteText(e.Conditions);
    if (!note.isEmpty()) layout->addWidget(line(parent, "ConditionsNote", note));
}

void markGradedCells(QTableWidget* grid, const EnergySet& e)
{
    for (int p = 1; p <= 24; ++p) {
        const GridCell c = gridCellOfPoint(p);
        QTableWidgetItem* item = grid->item(c.row - 1, c.column - 1);
        const PointGrade& g = e.Quality.grades[size_t(p - 1)];
        if (!item || !g.validFor(e.Readings[size_t(p - 1)])) continue;
        item->setToolTip(qualityTipText(g));
        item->setData(Qt::AccessibleDescriptionRole, item->toolTip());
        if (g.grade == QualityGrade::C) {
            item->setForeground(QColor(255, 0, 0));
            item->setBackground(QColor(255, 215, 215));
        }
    }
}

} // namespace lumo
