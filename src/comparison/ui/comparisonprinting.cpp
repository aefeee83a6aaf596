#include "comparison/ui/comparisonprinting.h"

#include "analysis/report.h"
#include "analysis/ui/abortbox.h"
#include "analysis/ui/printpreview.h"
#include "analysis/ui/printsetup.h"
#include "practice/audit.h"
#include "shell/sharedstate.h"

#include <QPrinter>

namespace lumo {

void printComparisonJob(QWidget* parent, SharedState& state, const QString& title,
                        const std::function<bool(ReportPage&)>& draw, int reportSize,
                        const QString& proposedName, const QStringList& subjects)
{
    auto preview = [&](QPrinter& printer) { printOnDevice(printer, draw, {}, reportSize); };
    if (!previewBeforePrinting(parent, title, state.printer, preview)) return;
    const PrintTarget target = choosePrintTarget(parent, state.printer, proposedName);
    if (target.cancelled) return;
    bool written = false;
    runWithAbortBox(parent, [&](const std::function<bool()>& abandoned) {
        auto job = [&](ReportPage& page) {
            page.abandoned = abandoned;
            return draw(page);
        };
        if (!target.pdfFile.isEmpty()) {
            bool abandoned = false;
            const Status st = printToPdfFile(target.pdfFile, title, job, &abandoned, reportSize);
            if (!st) state.reportError(st.error);
            written = st && !abandoned;
            return;
        }
        QPrinter printer(QPrinter::HighResolution);
        applyPrinterChoice(state.printer, printer);
        printer.setDocName(title);
        // An abandoned job is discarded, not ended.
        printOnDevice(
            printer, job, [&printer] { printer.abort(); }, reportSize);
    });
    // One row per subject on the page, so that each subject's history
    // (the audit page's or audit --custno's filter) shows the copy.
    if (target.pdfFile.isEmpty() || written) {
        const QString action = target.pdfFile.isEmpty() ? QStringLiteral("print") : QStringLiteral("pdf");
        const QString detail =
            title + QStringLiteral(": ") + (target.pdfFile.isEmpty() ? proposedName : target.pdfFile);
        QStringList numbers = subjects;
        numbers.removeDuplicates();
        if (numbers.isEmpty()) numbers << QString();
        for (const QString& custNo : numbers)
            auditOrReport(state, {action, custNo, 0, detail});
    }
    // As for the analysis report: a file written is said, with its name.
    if (written) state.ShowMessageDialog(NoteImportant, reportPdfWrittenNotice(target.pdfFile));
}

} // namespace lumo
