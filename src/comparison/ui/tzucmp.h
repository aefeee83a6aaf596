#pragma once
// The two-record comparison "能量比對": the measurement of the measurement
// screen against one stored measurement loaded through the record browser.

#include "comparison/tworecord.h"

#include <QDialog>
#include <functional>

class QAction;
class QLabel;
class QStatusBar;

namespace lumo {

struct SharedState;
class ChartBox;
class RecordBlockView;

class TZuCmp : public QDialog
{
public:
    explicit TZuCmp(SharedState& state, QWidget* parent = nullptr);

    const TwoRecordComparison& comparison() const { return m_cmp; }
    QAction* action(const QString& caption) const;
    ChartBox* chartBox() const { return m_chart; }
    RecordBlockView* baseBlock() const { return m_baseBlock; }
    RecordBlockView* comparisonBlock() const { return m_comparisonBlock; }
    QString statusText() const;
    // Poor points, condition warnings, the changes beyond the measurement error.
    QLabel* notesLabel() const { return m_notes; }

    void ToolButtonLoadClick();  // 載入資料
    void ToolButtonPrintClick(); // 列  印
    void chooseBand(BandChoice choice);

    // The record browser in comparison mode; true when it loaded a record.
    // Tests replace it.
    std::function<bool(QWidget*)> browser;

private:
    void showBandChoice();
    void showNotes();

    SharedState& m_state;
    TwoRecordComparison m_cmp;
    ChartBox* m_chart;
    RecordBlockView* m_baseBlock;
    RecordBlockView* m_comparisonBlock;
    QAction* m_band[3];
    QList<QAction*> m_actions;
    QStatusBar* m_status;
    QLabel* m_notes;
};

} // namespace lumo
