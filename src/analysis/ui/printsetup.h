#pragma once
// The session's printer choice applied to a printer, and the print dialog that
// changes it.

#include "base/printerchoice.h"

class QPrinter;
class QWidget;

namespace lumo {

void applyPrinterChoice(const PrinterChoice& choice, QPrinter& printer);
PrinterChoice printerChoiceOf(const QPrinter& printer);

// The system's print dialog on the current choice; an accepted dialog becomes
// the new choice.
bool openPrintSetup(QWidget* parent, PrinterChoice& choice);

} // namespace lumo
