#pragma once
// The subject list with its sort choice, search-as-you-type and count line,
// shared by the save screen and the record browser.

#include "records/subjectmodel.h"

#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace lumo {

struct SharedState;

class SubjectPicker : public QWidget
{
    Q_OBJECT
public:
    // searchField: the field searched for a sort field 1..9.
    SubjectPicker(SharedState& state, Database& db, const QStringList& headers,
                  std::function<SubjectField(int)> searchField, QWidget* parent = nullptr);

    SubjectList& list() { return m_list; }
    SubjectTableModel& model() { return *m_model; }
    QTableView* view() const { return m_view; }
    QLineEdit* searchBox() const { return m_search; }
    QLineEdit* filterBox() const { return m_filter; }

    // Applies SubjectSortField (opening the screen).
    void applyRememberedSort();
    void chooseSort(int field, bool descending); // the combo boxes
    void search(const QString& text);
    // Narrows the list to the subjects whose number, name or a telephone
    // contains the text; the first of them becomes the current row.
    void filter(const QString& text);
    int currentPosition() const;
    SubjectRow currentRow();
    bool hasCurrentRow() const;
    void selectPosition(int position);
    bool selectKey(qint64 mkey);
    void reload(); // after a change of the table
    // Deletes the current subject with its measurements; the row after it
    // (or the new last row) becomes the current one.
    Status removeCurrent();
    void setCountText(const QString& text);

signals:
    // The current row moved, by the operator or by a search, a sort or a reload.
    void currentChanged();
    // The operator entered a row: clicked one (also the current one), moved to
    // one with the keyboard, tabbed into the list or pressed Space on it.
    // The screens' own moves do not enter.
    void rowEntered();
    void rowDoubleClicked();
    void sortChanged();
    void focusEntered();
    // Another workstation changed the table (empty: any table, as after the
    // server came back). The list has read its rows again, keeping the
    // current row; the screens refresh what else they show.
    void changedElsewhere(const QString& table);
    // A search moved to a matching subject (typing in the search box).
    void searchFound();
    // Enter on the list; the key goes on to the screen (its default button).
    void returnPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitColumns();
    // Down or Enter in the search box: into the list, on the row found (or the first).
    void enterListFromSearch();
    void refreshModel();
    void tableChanged(const QString& table);

    SharedState& m_state;
    SubjectList m_list;
    SubjectTableModel* m_model;
    std::function<SubjectField(int)> m_searchField;
    QComboBox* m_field;
    QComboBox* m_direction;
    QLineEdit* m_search;
    QLineEdit* m_filter;
    QTableView* m_view;
    QLabel* m_count;
    bool m_moving = false; // a move made by the screen, not by the operator
};

// The sort fields in the order of the combo box.
QStringList sortFieldNames();

} // namespace lumo
