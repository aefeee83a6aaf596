#pragma once
// The subject grid of the browser and the save screen: a table model over the
// ordered key list, with the calculated fields. Rows are fetched as the view paints them.

#include "records/subjectlist.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QStringList>

namespace lumo {

class SubjectTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Columns: Index, number, name, sex, birth date, age, telephone, address, e-mail, mobile, fax.
    SubjectTableModel(SubjectList& list, QStringList headers, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    SubjectList& list() { return m_list; }
    // Call after the list was sorted or reloaded.
    void refresh();
    void setToday(const QDate& today) { m_today = today; }
    // 候診區顯示: numbers, names, birth dates, telephones and addresses masked.
    void setMasked(bool masked);

private:
    SubjectList& m_list;
    QStringList m_headers;
    QDate m_today = QDate::currentDate();
    bool m_masked = false;
};

} // namespace lumo
