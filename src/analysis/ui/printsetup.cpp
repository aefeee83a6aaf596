#include "analysis/ui/printsetup.h"

#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>

namespace lumo {

void applyPrinterChoice(const PrinterChoice& choice, QPrinter& printer)
{
    if (!choice.chosen) return;
    if (!choice.outputFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(choice.outputFile);
    } else {
        printer.setPrinterName(choice.printerName);
    }
    if (choice.pageSizeId >= 0) printer.setPageSize(QPageSize(QPageSize::PageSizeId(choice.pageSizeId)));
    printer.setPageOrientation(QPageLayout::Orientation(choice.orientation));
    printer.setColorMode(QPrinter::ColorMode(choice.colourMode));
    printer.setCopyCount(choice.copies);
}

PrinterChoice printerChoiceOf(const QPrinter& printer)
{
    PrinterChoice c;
    c.chosen = true;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        c.outputFile = printer.outputFileName();
    else
        c.printerName = printer.printerName();
    c.pageSizeId = int(printer.pageLayout().pageSize().id());
    c.orientation = int(printer.pageLayout().orientation());
    c.colourMode = int(printer.colorMode());
    c.copies = printer.copyCount();
    return c;
}

bool openPrintSetup(QWidget* parent, PrinterChoice& choice)
{
    QPrinter printer(QPrinter::HighResolution);
    applyPrinterChoice(choice, printer);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    choice = printerChoiceOf(printer);
    return true;
}

} // namespace lumo
