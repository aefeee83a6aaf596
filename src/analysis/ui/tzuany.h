#pragma once
// The analysis screen: indices and grades, the eight charts, the knowledge
// texts of the meridians and indices out of balance, the matching treatment
// programs, the treatment record and the print options. The pages are built
// in their own files; the screen keeps what they share: the page control and
// its status bar, the three lists that follow each other, the master programs
// that fill pages 3-5, the treatment record and what closing keeps.

#include "analysis/analysislists.h"
#include "shell/sharedstate.h"

#include <QDialog>
#include <memory>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace lumo {

class ChartPage;
class CopyButtons;
class KnowledgePage;
class PrintPage;
class ProgramPage;

class TZuany : public QDialog
{
    Q_OBJECT
public:
    TZuany(SharedState& state, QWidget* parent = nullptr);
    ~TZuany() override;

    bool valid() const { return m_valid; }
    QTabWidget* pages() const { return m_pages; }
    QListWidget* analysisList() const;
    QListWidget* prescriptionList() const;
    QListWidget* dietList() const;
    QListWidget* masterList() const { return m_master; }
    QListWidget* userList() const;
    QPlainTextEdit* textBox(const char* name) const;

    // Clicks in the three lists (row in that list).
    void analysisClicked(int row);
    void prescriptionClicked(int row);
    void dietClicked(int row);
    void chooseChart(int chart);
    // 全選 and 貼上 of pages 3-6: select the text of the page's box (page 3: the
    // box with the focus, or both), and append the selections to the treatment record.
    void selectAll(int page);
    void paste(int page);
    void selectAllAndPaste(int page);
    QPushButton* pasteButton(int page) const;
    QString printOptionsText() const;
    void printToPdf(const QString& path); // 列  印 onto a PDF file
    // Closing: the page, the print options and a changed treatment record are kept.
    void reject() override;

private:
    void buildPages();
    QWidget* buildRecordPage();
    QWidget* buildMasterPanel();
    void fillLists();
    void appendToRecord(const QStringList& texts);
    CopyButtons* copyButtons(int page) const;
    void showItem(int list, int row);
    void itemClicked(int list, int row);
    void showMaster(int row);
    void pageChanged(int index);

    SharedState& m_state;
    bool m_valid = false;
    EnergyAnalysis m_analysis;
    AnalysisLists m_data;
    std::unique_ptr<KnowledgeTexts> m_knowledge;
    std::unique_ptr<Database> m_masterDb;
    QStringList m_userNames, m_masterNames;
    bool m_masterShown = false; // pages 3-5 show a master program, its advice buttons page through it
    bool m_recordChanged = false;

    QTabWidget* m_pages = nullptr;
    QStatusBar* m_status = nullptr;
    QLabel* m_help = nullptr;
    ChartPage* m_chartPage = nullptr;
    KnowledgePage* m_knowledgePages[3] = {}; // pages 3-5, in the order of the three lists
    ProgramPage* m_programPage = nullptr;
    PrintPage* m_printPage = nullptr;
    QPlainTextEdit* m_record = nullptr; // page 7
    QWidget* m_masterPanel = nullptr;
    QListWidget* m_master = nullptr;
};

} // namespace lumo
