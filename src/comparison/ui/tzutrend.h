#pragma once
// The trend screen "歷次能量趨勢": every measurement of one subject over time,
// as a chart and a table; a chosen measurement can join the multi-record
// comparison.

#include "comparison/noise.h"
#include "comparison/trend.h"

#include <QDialog>

class QAction;
class QLabel;
class QSplitter;
class QStatusBar;
class QTableWidget;

namespace lumo {

struct SharedState;
class ChartBox;

class TZuTrend : public QDialog
{
public:
    TZuTrend(SharedState& state, const SubjectRow& subject, QWidget* parent = nullptr);

    const QVector<TrendRow>& rows() const { return m_rows; }
    int selected() const { return m_selected; }
    QAction* action(const QString& caption) const;
    ChartBox* chartBox() const { return m_chart; }
    QTableWidget* table() const { return m_table; }
    QString statusText() const;

    void select(int row);        // a row of the table or a point of the chart
    void clickChart(QPoint at);  // where the chart was clicked
    void ToolButtonPickClick();  // 載入比對
    void ToolButtonPrintClick(); // 列  印

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillTable();
    void shareHeight(); // the chart gets what the table's rows do not need
    void readNotes();
    class QLabel* notesLabel();
    void fitRowHeight();

    SharedState& m_state;
    SubjectRow m_subject;
    QVector<MeasurementRow> m_measurements; // by MKEY, for 載入比對
    QVector<TrendRow> m_rows;
    NoiseFigures m_noise; // the band of no real change
    QStringList m_notes;  // poor points, differing conditions, the band's source
    int m_selected = -1;
    ChartBox* m_chart;
    QTableWidget* m_table;
    QSplitter* m_split = nullptr;
    bool m_splitMoved = false; // the operator's share is kept
    QVector<int> m_widest; // per column, in pixels
    QList<QAction*> m_actions;
    QStatusBar* m_status;
};

// The table's headings.
QStringList trendTableHeaders();

} // namespace lumo
