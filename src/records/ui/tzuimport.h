#pragma once
// 匯入受測者清單: subjects from a spreadsheet's CSV file. The file's columns
// are matched to the subject fields by their headers and can be changed
// here; the first rows and every problem are shown before anything is
// written; then all subjects are imported or none.

#include "records/subjectimport.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace lumo {

struct SharedState;

class TZuImport : public QDialog
{
    Q_OBJECT
public:
    explicit TZuImport(SharedState& state, QWidget* parent = nullptr);

    void readFile();      // Enter in the file box, or 讀取檔案
    void importClicked(); // 匯入
    QComboBox* column(ImportField f) const { return m_columns[size_t(f)]; }
    QTableWidget* preview() const { return m_preview; }
    QListWidget* problems() const { return m_problems; }
    int imported() const { return m_imported; }

private:
    QWidget* buildMapping();
    void mappingChanged();
    void showPlan();
    ExistingNumbers existingChoice() const;

    SharedState& m_state;
    CsvTable m_table;
    ColumnMapping m_mapping{};
    ImportPlan m_plan;
    QLineEdit* m_file;
    QLabel* m_fileInfo;
    std::array<QComboBox*, ImportFieldCount> m_columns{};
    QTableWidget* m_preview;
    QListWidget* m_problems;
    QLabel* m_summary;
    QRadioButton* m_skip;
    QRadioButton* m_refuse;
    QPushButton* m_import;
    int m_imported = 0;
};

} // namespace lumo
