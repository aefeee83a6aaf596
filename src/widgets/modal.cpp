#include "widgets/modal.h"

#include "widgets/keyboard.h"

#include <QDialog>

#include <algorithm>

namespace lumo {

void prepareScreen(QDialog& dialog)
{
    static const char* const standard[] = {"QFileDialog",  "QPrintDialog", "QPageSetupDialog",
                                           "QInputDialog", "QMessageBox",  "QPrintPreviewDialog",
                                           "QColorDialog", "QFontDialog",  "QProgressDialog"};
    if (std::none_of(std::begin(standard), std::end(standard),
                     [&](const char* c) { return dialog.inherits(c); }))
        prepareKeyboard(dialog);
}

int execModal(QDialog& dialog)
{
    prepareScreen(dialog);
    dialog.setWindowModality(dialog.parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    const int result = dialog.exec();
    // The keys go back to the window that opened the screen: a window manager
    // may give the focus to another of the program's windows, which the modal
    // screens below would keep from answering.
    if (QWidget* opener = dialog.parentWidget(); opener && opener->window()->isVisible())
        opener->window()->activateWindow();
    return result;
}

} // namespace lumo
