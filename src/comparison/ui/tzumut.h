#pragma once
// The multi-record comparison "多重能量比對": up to six picked measurements
// on one chart, the data and band of the one chosen in the subject list.

#include "comparison/multirecord.h"

#include <QHash>

#include <QDialog>
#include <functional>

class QAction;
class QLabel;
class QListWidget;
class QStatusBar;

namespace lumo {

struct SharedState;
class ChartBox;
class RecordBlockView;

class TZumut : public QDialog
{
public:
    explicit TZumut(SharedState& state, QWidget* parent = nullptr);

    const MultiRecordComparison& comparison() const { return m_cmp; }
    QAction* action(const QString& caption) const;
    ChartBox* chartBox() const { return m_chart; }
    QListWidget* subjectList() const { return m_list; }
    RecordBlockView* header() const { return m_header; }
    QString statusText() const;
    QLabel* notesLabel() const { return m_notes; }

    // What opening does, and showing the screen again after the picker.
    void refreshFromState();
    void ListBox1Click(int item); // the subject list
    void ToolButtonLoadClick();   // 載入資料
    void ToolButtonPrintClick();  // 列  印

    // The record picker; tests replace it.
    std::function<void(QWidget*)> picker;

private:
    SharedState& m_state;
    MultiRecordComparison m_cmp;
    ChartBox* m_chart;
    QListWidget* m_list;
    RecordBlockView* m_header;
    QList<QAction*> m_actions;
    QStatusBar* m_status;
    QLabel* m_notes;
    QHash<qint64, MeasurementExtras> m_extras; // how the picked measurements were taken
};

} // namespace lumo
