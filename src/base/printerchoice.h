#pragma once
// The printer the operator chose in the print dialog, kept for the session so
// that every report of every screen goes where the last choice said. Plain
// data: the screens turn it into a printer and back.

#include <QString>

namespace lumo {

struct PrinterChoice
{
    bool chosen = false;  // nothing chosen yet: the system's default printer
    QString printerName;
    QString outputFile;   // set when the dialog printed to a PDF file
    int pageSizeId = -1;  // QPageSize::PageSizeId
    int orientation = 0;  // QPageLayout::Orientation
    int colourMode = 1;   // QPrinter::ColorMode
    int copies = 1;
};

} // namespace lumo
