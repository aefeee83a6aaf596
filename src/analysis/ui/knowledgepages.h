#pragma once
// Pages 3-5 of the analysis screen (經絡分析, 醫方資料, 養生建議): a list of
// meridians and indices, the knowledge texts of the chosen item, the advice
// buttons that page through a master program's texts, and the 全選 and 貼上
// buttons that copy the texts into the treatment record (also on page 6).

#include <QList>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QVBoxLayout;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace lumo {

// Receives the selected texts, perhaps none, when 貼上 is clicked.
using RecordAppender = std::function<void(const QStringList&)>;

// 全選 and 貼上 under the text boxes of a page. 全選 selects the box with the
// focus, or all of the page's boxes when none has it (the focus stays in the
// box, so page 3 knows which of its two boxes is meant); 貼上 hands the
// selections on and clears them. 貼上 is enabled while any box holds a selection.
class CopyButtons : public QObject
{
public:
    CopyButtons(int page, QList<QPlainTextEdit*> boxes, RecordAppender toRecord, QWidget* parent);

    // The row with both buttons, for the page's layout to take.
    QHBoxLayout* row() const { return m_row; }
    QPushButton* pasteButton() const { return m_paste; }
    void selectAll();
    void paste();

private:
    void updatePaste();

    QList<QPlainTextEdit*> m_boxes;
    RecordAppender m_toRecord;
    QHBoxLayout* m_row;
    QPushButton* m_paste;
};

class KnowledgePage : public QWidget
{
public:
    struct Box
    {
        const char* name;    // object name
        const char* caption; // the label above it
    };
    KnowledgePage(int page, const char* listName, const QList<Box>& boxes, const QStringList& choices,
                  RecordAppender toRecord, QWidget* parent = nullptr);

    QListWidget* list() const { return m_list; }
    QList<QPlainTextEdit*> boxes() const { return m_boxes; }
    CopyButtons* copyButtons() const { return m_copy; }
    QList<QPushButton*> choiceButtons() const { return m_choices; }

    // A master program's texts behind the advice buttons: the first one is
    // shown and checked, and every button becomes clickable.
    void showChoices(const QStringList& texts);
    // The advice buttons stop paging (no master program is shown).
    void forgetChoices() { m_choiceTexts.clear(); }
    void enableChoices(bool on);
    // The master programs (one panel, shared by the three pages) move under
    // this page's list when the page is shown, so the space they take is part
    // of every page and the window never grows to make room for them.
    void holdMaster(QWidget* panel);

private:
    void choose(int choice);

    QListWidget* m_list;
    QVBoxLayout* m_masterSlot;
    QList<QPlainTextEdit*> m_boxes;
    QList<QPushButton*> m_choices;
    QStringList m_choiceTexts;
    CopyButtons* m_copy;
};

KnowledgePage* buildAnalysisPage(RecordAppender toRecord);     // page 3
KnowledgePage* buildPrescriptionPage(RecordAppender toRecord); // page 4
KnowledgePage* buildDietPage(RecordAppender toRecord);         // page 5

} // namespace lumo
