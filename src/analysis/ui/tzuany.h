#pragma once
// The analysis screen: indices and grades, the eight charts, the knowledge
// texts of the meridians and indices out of balance, the matching treatment
// programs, the treatment record and the print options.

#include "analysis/analysislists.h"
#include "shell/sharedstate.h"

#include <QDialog>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QToolButton;

namespace lumo {

class ChartArea;

class TZuany : public QDialog
{
    Q_OBJECT
public:
    TZuany(SharedState& state, QWidget* parent = nullptr);
    ~TZuany() override;

    bool valid() const { return m_valid; }
    QTabWidget* pages() const { return m_pages; }
    QListWidget* analysisList() const { return m_lists[0]; }
    QListWidget* prescriptionList() const { return m_lists[1]; }
    QListWidget* dietList() const { return m_lists[2]; }
    QListWidget* masterList() const { return m_master; }
    QListWidget* userList() const { return m_user; }
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
    QPushButton* pasteButton(int page) const { return m_paste[page - 3]; }
    QString printOptionsText() const;
    void printToPdf(const QString& path); // 列  印 onto a PDF file
    // Closing: the page, the print options and a changed treatment record are kept.
    void reject() override;

private:
    void buildPages();
    void fillBodyPage();
    void fillPairPage();
    void showAnalysis(int row);
    void showPrescription(int row);
    void showDiet(int row);
    void showItem(int list, int row);
    void itemClicked(int list, int row);
    void showMaster(int row);
    void showUserProgram(int row);
    void pageChanged(int index);
    void print();
    void setBox(QPlainTextEdit* box, const QStringList& paragraphs);
    QList<QPlainTextEdit*> pageBoxes(int page) const;
    void updatePaste(int page);

    SharedState& m_state;
    bool m_valid = false;
    EnergyAnalysis m_analysis;
    AnalysisLists m_data;
    std::unique_ptr<KnowledgeTexts> m_knowledge;
    std::unique_ptr<Database> m_masterDb;
    QStringList m_userNames, m_masterNames;
    bool m_masterShown = false;
    bool m_recordChanged = false;

    QTabWidget* m_pages;
    QStatusBar* m_status;
    QLabel* m_help;
    ChartArea* m_chart;
    QList<QToolButton*> m_chartButtons;
    QListWidget* m_lists[3];
    QListWidget* m_master;
    QListWidget* m_user;
    QWidget* m_masterPanel;
    QPlainTextEdit* m_detail;       // page 3 詳細說明
    QPlainTextEdit* m_ryodoraku;    // page 3 良導絡辨症
    QPlainTextEdit* m_prescription; // page 4 詳細說明
    QPlainTextEdit* m_diet;         // page 5 食物療法表列
    QPlainTextEdit* m_programText;  // page 6 療程說明
    QPlainTextEdit* m_record;       // page 7
    QLabel* m_programPicture;
    QLabel* m_scaleCaption;
    QPushButton* m_programButtons[4];
    QPushButton* m_paste[4] = {};
    QList<QPushButton*> m_medButtons, m_helButtons;
    QList<QAbstractButton*> m_options; // in PrintOptions order; pairs hold their first choice
    QRadioButton* m_compact;
    QRadioButton* m_mono;
    QRadioButton* m_normal;
    QCheckBox* m_ryodorakuOption;
    QCheckBox* m_formulaOption;
    std::optional<ProgramRow> m_shownMaster;
};

} // namespace lumo
