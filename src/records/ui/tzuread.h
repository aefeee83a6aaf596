#pragma once
// The record browser: subjects and their measurements; search, sort, change,
// delete and load a measurement.

#include "records/rows.h"

#include <QDialog>
#include <QVector>
#include <functional>

class QAction;
class QPlainTextEdit;
class QTableWidget;
class QToolBar;

namespace lumo {

struct SharedState;
class SubjectPicker;

class TZuread : public QDialog
{
    Q_OBJECT
public:
    enum class LoadMode
    {
        MeasurementScreen,
        Comparison
    };
    TZuread(SharedState& state, LoadMode mode, QWidget* parent = nullptr);

    SubjectPicker* picker() const { return m_picker; }
    QTableWidget* measurements() const { return m_measurements; }
    QAction* action(const QString& caption) const;
    bool loaded() const { return m_loaded; }
    const MeasurementRow& loadedRow() const { return m_loadedRow; }
    const SubjectRow& loadedSubject() const { return m_loadedSubject; }

    // The lists as the operator enters them.
    void enterSubjectList();
    void enterMeasurementList(int row);
    void applyRights();
    void deleteSubject();     // 客戶刪除
    void deleteMeasurement(); // 刪除資料
    void changeSubject();     // 客戶修改
    void changeMeasurement(); // 修改資料
    void load();              // 載入資料
    void showTrend();         // 歷次趨勢
    void exportSubject();     // 匯出個人資料
    void mergeSubjects();     // 合併受測者

    // Screens opened from here; tests replace them.
    std::function<void(SubjectRow&)> subjectEditor;
    std::function<void(MeasurementRow&)> measurementEditor;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolBar* buildToolbar();
    void buildMeasurementList();
    int openingPosition();
    void editSubjectInPlace();
    void openSubjectEditor();
    void fillMeasurements();
    // The measurement list's current row (-1: none), marked, with its memo and the buttons.
    void showCurrentMeasurement(int row);
    int currentMeasurement() const;
    void updateActions();
    void refreshCount();
    void subjectChanged();
    void showMemo();

    SharedState& m_state;
    LoadMode m_mode;
    SubjectPicker* m_picker;
    QTableWidget* m_measurements;
    QVector<MeasurementRow> m_rows;
    QPlainTextEdit* m_subjectMemo;
    QPlainTextEdit* m_measurementMemo;
    QList<QAction*> m_actions;
    QAction* m_trend = nullptr;
    QAction* m_exportSubject = nullptr;
    QAction* m_mergeSubjects = nullptr;
    qint64 m_listedSubject = 0; // whose measurements the list holds
    bool m_loaded = false;
    MeasurementRow m_loadedRow;
    SubjectRow m_loadedSubject;
};

// The measurement grid's headings: Index, date, time, mode and the 24 points.
QStringList measurementGridHeaders();
// One subject's measurements in a grid with those headers, one row each.
void showMeasurementRows(QTableWidget* grid, const QVector<MeasurementRow>& rows);
// The grid's font and columns: all 28 fit a window 1350 pixels wide, and
// widen with a larger one.
void fitMeasurementColumns(QTableWidget* grid);

} // namespace lumo
