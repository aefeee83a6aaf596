#pragma once
// 列  印 of the comparison and trend screens: onto the printer chosen with
// 列印設定, or a PDF file when that is the choice or the machine has no
// printer, behind the abort box.

#include "comparison/comparisonprint.h"

#include <QStringList>

class QWidget;

namespace lumo {

struct SharedState;

// `draw` prints the page and returns false once the job was abandoned; the
// page's abandonment question is the abort box's. The page shows in the
// preview first; a PDF file is proposed under `proposedName`.
void printComparisonJob(QWidget* parent, SharedState& state, const QString& title,
                        const std::function<bool(ReportPage&)>& draw, int reportSize = 10,
                        const QString& proposedName = QString(), const QStringList& subjects = {});

} // namespace lumo
