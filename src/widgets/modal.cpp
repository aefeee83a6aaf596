#include "widgets/modal.h"

#include "widgets/keyboard.h"

#include <QDialog>

namespace lumo {

int execModal(QDialog& dialog)
{
    // The program's own screens (not the system's file and print dialogs,
    // which have their own keys) get the shared keyboard rules.
    if (QByteArray(dialog.metaObject()->className()).startsWith("lumo::")) prepareKeyboard(dialog);
    dialog.setWindowModality(dialog.parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    return dialog.exec();
}

} // namespace lumo
