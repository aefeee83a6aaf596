#include "comparison/ui/comparisonprinting.h"

#include "analysis/ui/abortbox.h"
#include "analysis/ui/printsetup.h"
#include "shell/sharedstate.h"

#include <QPrinter>

namespace lumo {

void printComparisonJob(QWidget* parent, SharedState& state, const QString& title,
                        const std::function<bool(ReportPage&)>& draw, int reportSize)
{
    const PrintTarget target = choosePrintTarget(parent, state.printer);
    if (target.cancelled) return;
    runWithAbortBox(parent, [&](const std::function<bool()>& abandoned) {
        auto job = [&](ReportPage& page) {
            page.abandoned = abandoned;
            return draw(page);
        };
        if (!target.pdfFile.isEmpty()) {
            const Status st = printToPdfFile(target.pdfFile, title, job, nullptr, reportSize);
            if (!st) state.reportError(st.error);
            return;
        }
        QPrinter printer(QPrinter::HighResolution);
        applyPrinterChoice(state.printer, printer);
        printer.setDocName(title);
        // An abandoned job is discarded, not ended.
        printOnDevice(
            printer, job, [&printer] { printer.abort(); }, reportSize);
    });
}

} // namespace lumo
