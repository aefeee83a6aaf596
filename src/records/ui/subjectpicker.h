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

    // Applies SubjectSortField (opening the screen).
    void applyRememberedSort();
    void chooseSort(int field, bool descending); // the combo boxes
    void search(const QString& text);
    int currentPosition() const;
    SubjectRow currentRow();
    bool hasCurrentRow() const;
    void selectPosition(int position);
    bool selectKey(qint64 mkey);
    void reload(); // after a change of the table
    void setCountText(const QString& text);

signals:
    void rowEntered();
    void rowDoubleClicked();
    void sortChanged();

private:
    SharedState& m_state;
    SubjectList m_list;
    SubjectTableModel* m_model;
    std::function<SubjectField(int)> m_searchField;
    QComboBox* m_field;
    QComboBox* m_direction;
    QLineEdit* m_search;
    QTableView* m_view;
    QLabel* m_count;
};

// The sort fields in the order of the combo box.
QStringList sortFieldNames();

} // namespace lumo
