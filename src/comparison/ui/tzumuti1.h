#pragma once
// The record picker "比對分析資料異動": subjects, the current subject's
// measurements, and the picked set of the multi-record comparison, to which
// measurements are added and from which they are removed.

#include "comparison/pickerrules.h"
#include "records/rows.h"

#include <QDialog>

class QAction;
class QTableWidget;

namespace lumo {

struct SharedState;
class SubjectPicker;

class TZuMuti1 : public QDialog
{
public:
    explicit TZuMuti1(SharedState& state, QWidget* parent = nullptr);

    SubjectPicker* picker() const { return m_picker; }
    QTableWidget* measurements() const { return m_measurements; }
    QTableWidget* picked() const { return m_picked; }
    QAction* action(const QString& caption) const;
    const PickerRules& rules() const { return m_rules; }

    void enterMeasurementList(int row);
    void clickPicked(int row);
    void ToolButtonLoadClick();   // 載入資料, or a double click on a measurement
    void ToolButtonRemoveClick(); // 移  除

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildGrids();
    void fillMeasurements();
    void fillPicked();
    void applyRules();

    SharedState& m_state;
    PickerRules m_rules;
    SubjectPicker* m_picker;
    QTableWidget* m_measurements;
    QTableWidget* m_picked;
    QVector<MeasurementRow> m_rows;
    QList<QAction*> m_actions;
};

} // namespace lumo
