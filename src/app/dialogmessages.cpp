#include "app/dialogmessages.h"

#include "app/tzumsag.h"

#include <QApplication>
#include <QMessageBox>

namespace lumo {

bool DialogMessages::show(int kind, const QString& text)
{
    return ShowMessageDialog(kind, text);
}

bool DialogMessages::askDefaultYes(int kind, const QString& text)
{
    return ShowMessageDialog(kind, text, nullptr, DefaultAnswer::Yes);
}

void DialogMessages::reportError(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
}

} // namespace lumo
