#pragma once
// Page 6 of the analysis screen (專家療程): the operator's treatment programs
// that the measurement meets, with the chosen one's description, picture and
// the buttons that start its helper programs; a note when none matches.

#include "analysis/ui/knowledgepages.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace lumo {

struct SharedState;

class ProgramPage : public QWidget
{
public:
    // `names`: the matching programs of the main database, in list order.
    ProgramPage(SharedState& state, const QStringList& names, RecordAppender toRecord,
                QWidget* parent = nullptr);

    QListWidget* list() const { return m_list; }
    CopyButtons* copyButtons() const { return m_copy; }
    void showProgram(int row);

private:
    void launch(int button);

    SharedState& m_state;
    QStringList m_names;
    QListWidget* m_list;
    QPlainTextEdit* m_text;
    QLabel* m_picture;
    QLabel* m_scaleCaption;
    QLabel* m_none; // over the empty list
    QPushButton* m_buttons[4];
    CopyButtons* m_copy;
};

} // namespace lumo
