#pragma once
// What every printed report of the program shares on screen: the small box
// that lets a running print job be abandoned, and where 列  印 sends a job.

#include "base/printerchoice.h"

#include <QString>
#include <functional>

class QWidget;

namespace lumo {

// Runs a print job behind the abort box ("列印", "中斷列印"); the job asks the
// question it is given before each section, entry and line, which also lets
// the box's button be clicked.
void runWithAbortBox(QWidget* parent, const std::function<void(const std::function<bool()>&)>& job);

// Where 列  印 goes: the printer chosen with 列印設定 (pdfFile empty), the PDF
// file chosen there, or, when the machine has no printer at all, a PDF file
// the operator names instead of nothing. `cancelled` when that choice was refused.
struct PrintTarget
{
    bool cancelled = false;
    QString pdfFile;
};
// The file dialog proposes `proposedName` (see reportfilename.h) in the folder
// a report was last written to (the home folder the first time), never the
// folder the program happened to be started from.
PrintTarget choosePrintTarget(QWidget* parent, const PrinterChoice& choice,
                              const QString& proposedName = QString());

// The folder the last report file went to, kept between runs of the program.
QString lastReportFolder();
void rememberReportFolder(const QString& folder);

} // namespace lumo
