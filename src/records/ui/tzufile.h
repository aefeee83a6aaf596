#pragma once
// The import and export screen: moves the treatment programs and the subjects
// with their measurements between the main database and a transfer file
// ZuTran.mdb in a directory the operator chooses, and writes the research
// files. Its steps are TransferFlow's; the screen shows them.

#include "records/transferscreen.h"

#include <QDialog>

class QAbstractTableModel;
class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTableView;

namespace lumo {

struct SharedState;
class DirectoryChooser;
class GradientBar;

class TZuFile : public QDialog
{
    Q_OBJECT
public:
    explicit TZuFile(SharedState& state, QWidget* parent = nullptr);

    void ToolButton1Click(); // 資料匯出
    void ToolButton2Click(); // 匯入資料
    void importSubjects();   // 匯入受測者清單
    bool running() const { return m_running; }

    // What tests and the session look at: the controls by their form names.
    QTabWidget* pages() const { return m_pages; }
    DirectoryChooser* exportChooser() const { return m_exportDir; }
    DirectoryChooser* importChooser() const { return m_importDir; }
    // Runs whenever the bar moves during an operation (tests watch the buttons there).
    std::function<void(int)> progressHook;

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    QWidget* buildExportPage();
    QWidget* buildImportPage();
    QTableView* buildList(const char* name, QAbstractTableModel* model, QWidget* parent);
    void updateButtons();
    void updateImportFiles();
    void showLists();
    void setRunning(bool running);
    void showProgress(int value);
    void offerMerge(qint64 duplicates);

    SharedState& m_state;
    QTabWidget* m_pages = nullptr;
    QAction* m_export = nullptr;
    QAction* m_import = nullptr;
    QAction* m_subjects = nullptr;
    QAction* m_leave = nullptr;
    QCheckBox* m_exportPrograms = nullptr;
    QCheckBox* m_exportRecords = nullptr;
    QCheckBox* m_exportCsv = nullptr;
    QCheckBox* m_anonymous = nullptr;
    QCheckBox* m_importPrograms = nullptr;
    QCheckBox* m_importRecords = nullptr;
    QRadioButton* m_append = nullptr;
    QRadioButton* m_replace = nullptr;
    QTableView* m_programList = nullptr;
    QTableView* m_subjectList = nullptr;
    QAbstractTableModel* m_programModel = nullptr;
    QAbstractTableModel* m_subjectModel = nullptr;
    QLabel* m_programCount = nullptr;
    QLabel* m_subjectCount = nullptr;
    bool m_listsLoaded = false;
    DirectoryChooser* m_exportDir = nullptr;
    DirectoryChooser* m_importDir = nullptr;
    QListWidget* m_files = nullptr;
    GradientBar* m_bar = nullptr;
    QStatusBar* m_status = nullptr;
    bool m_running = false;
};

} // namespace lumo
