#pragma once
// The meridian explanation viewer: the attributes, texts and course picture of
// one meridian at a time, deciphered from the knowledge table.

#include <QDialog>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;

namespace lumo {

struct SharedState;
struct KnowledgeRow;

class TZuadv : public QDialog
{
    Q_OBJECT
public:
    TZuadv(SharedState& state, QWidget* parent = nullptr);
    // Shows the entry of list item `index` (0-based, Meridian order).
    void showMeridian(int index);

    static QStringList listItems();

private:
    QString decipher(const KnowledgeRow& row, const char* field);

    SharedState& m_state;
    QListWidget* m_list;
    QLabel* m_values[8];
    QTabWidget* m_pages;
    QLabel* m_picture;
    QPlainTextEdit* m_boxes[9];
};

} // namespace lumo
