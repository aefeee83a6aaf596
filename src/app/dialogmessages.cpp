#include "app/dialogmessages.h"

#include "app/tzumsag.h"
#include "app/tzumsaglist.h"

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

bool DialogMessages::showList(int kind, const QString& text, const QStringList& items)
{
    return ShowListDialog(kind, text, items);
}

void DialogMessages::reportError(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
}

} // namespace lumo
