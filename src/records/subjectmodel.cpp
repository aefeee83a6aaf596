#include "records/subjectmodel.h"

#include "practice/masking.h"

namespace lumo {

SubjectTableModel::SubjectTableModel(SubjectList& list, QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_headers(std::move(headers))
{
}

int SubjectTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}
int SubjectTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant SubjectTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const SubjectRow r = m_list.rowAt(index.row());
    const ShownSubject s = shownSubject(r, m_masked);
    switch (index.column()) {
    case 0:
        return QString::number(index.row() + 1); // RENO
    case 1:
        return s.CUSTNO;
    case 2:
        return s.NAME;
    case 3:
        return Sex_S(r);
    case 4:
        return s.DBIRTH;
    case 5:
        return ZUAGE(r, m_today);
    case 6:
        return s.TEL;
    case 7:
        return s.ADDR;
    case 8:
        return s.EMAIL;
    case 9:
        return s.TEL2;
    case 10:
        return s.TEL3;
    }
    return {};
}

QVariant SubjectTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return m_headers.value(section);
    return {};
}

void SubjectTableModel::setMasked(bool masked)
{
    if (masked == m_masked) return;
    m_masked = masked;
    if (m_list.size() > 0) emit dataChanged(index(0, 0), index(m_list.size() - 1, columnCount() - 1));
}

void SubjectTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

} // namespace lumo
