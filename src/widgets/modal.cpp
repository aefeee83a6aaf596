#include "widgets/modal.h"

#include <QDialog>

namespace lumo {

int execModal(QDialog& dialog)
{
    dialog.setWindowModality(dialog.parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    return dialog.exec();
}

} // namespace lumo
