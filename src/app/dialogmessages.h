#pragma once
// Production answer source: the message dialog and a modal error box.

#include "base/messages.h"

class QWidget;

namespace lumo {

class DialogMessages : public MessageSource
{
public:
    bool show(int kind, const QString& text) override;
    bool showList(int kind, const QString& text, const QStringList& items) override;
    bool askDefaultYes(int kind, const QString& text) override;
    void reportError(const QString& text) override;
};

} // namespace lumo
