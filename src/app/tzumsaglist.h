#pragma once
// The message dialog for a question about a list the operator must see whole
// before answering (the external commands that an import would bring): the
// picture and the question as in TZuMsag, the items in a list that scrolls
// and wraps long lines, and 是 / 否 with 否 as the default, so that Enter
// (or Esc, or the close box) never agrees to what the list holds.

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace lumo {

class TZuMsagList : public QDialog
{
    Q_OBJECT
public:
    TZuMsagList(int kind, const QString& text, const QStringList& items, QWidget* parent = nullptr);
    bool result() const { return m_result; }

private:
    void finishWith(bool result);
    bool m_result = false;
    QLabel* m_text;
    QListWidget* m_items;
    QPushButton* m_yes;
    QPushButton* m_no;
};

// Shows the dialog modally and returns true for 是.
bool ShowListDialog(int kind, const QString& text, const QStringList& items, QWidget* parent = nullptr);

} // namespace lumo
