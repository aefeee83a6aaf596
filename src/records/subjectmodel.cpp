#include "records/subjectmodel.h"

namespace lumo {

SubjectTableModel::SubjectTableModel(SubjectList& list, QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_headers(std::move(headers))
{
}

int SubjectTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_list.size(); }
int SubjectTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_headers.size()); }

QVariant SubjectTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const SubjectRow r = m_list.rowAt(index.row());
    switch (index.column()) {
    case 0: return QString::number(index.row() + 1); // RENO
    case 1: return r.CUSTNO;
    case 2: return r.NAME;
    case 3: return Sex_S(r);
    case 4: return DBIRTH_C(r);
    case 5: return ZUAGE(r, m_today);
    case 6: return r.TEL;
    case 7: return r.ADDR;
    case 8: return r.EMAIL;
    case 9: return r.TEL2;
    case 10: return r.TEL3;
    }
    return {};
}

QVariant SubjectTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return m_headers.value(section);
    return {};
}

void SubjectTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

} // namespace lumo
