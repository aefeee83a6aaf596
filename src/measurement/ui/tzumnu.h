#pragma once
// Manual entry: typing or correcting the 24 values of a measurement, its date
// and time, its potential and memo. Add mode edits the measurement screen's
// measurement in memory; change mode writes a stored row.

#include "records/rows.h"
#include "widgets/unsavedchanges.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QRadioButton;
class QTableWidget;
class QAction;
class QLayout;
class QToolBar;

namespace lumo {

struct SharedState;
class DateField;
class TimeField;

// Cell validation: empty for 0.09 or less (and for text that is no number),
// 200.0 above 200, otherwise the value with one decimal in five places.
QString validatedCellText(const QString& text);
// The value a cell stands for at saving.
double cellValueForSave(const QString& text);

class TZumnu : public QDialog
{
    Q_OBJECT
public:
    enum class Mode
    {
        Add,
        Change
    };
    // Change mode edits `row` (written to the main database on saving).
    TZumnu(Mode mode, SharedState& state, MeasurementRow* row = nullptr, QWidget* parent = nullptr);

    QTableWidget* grid() const { return m_grid; }
    QAction* action(const QString& caption) const;
    // The value of point p as the grid shows it.
    QString cellText(int point) const;
    // Typing into the current cell and pressing Enter.
    void typeAndEnter(const QString& text);
    void validateCell(int row, int column);
    void validateAll();
    void save();  // 儲存數據
    void clear(); // 清  除
    void setDateEnabled(bool on);
    QCheckBox* dateBox() const { return m_dateBox; }

    // Esc, the close box and 離  開: typed work is not thrown away without a question.
    void reject() override;
    // Typed values, date, potential or memo not yet stored.
    bool hasUnsavedChanges() const { return m_unsaved.changed(); }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QToolBar* buildToolbar();
    QWidget* buildGrid();
    QLayout* buildDateRow();
    void openMeasurement();
    void enterInCurrentCell();
    void fill(const std::array<double, 24>& values);
    void updateClearEnabled();
    QString snapshot() const;
    // The text of the cell being typed into, or the cell's own text.
    QString shownText(int row, int column) const;

    Mode m_mode;
    SharedState& m_state;
    MeasurementRow* m_row;
    QTableWidget* m_grid;
    QRadioButton* m_high;
    QRadioButton* m_standard;
    QCheckBox* m_dateBox;
    DateField* m_date;
    TimeField* m_time;
    QPlainTextEdit* m_memo;
    QList<QAction*> m_actions;
    UnsavedChanges m_unsaved{[this] { return snapshot(); }};
};

} // namespace lumo
