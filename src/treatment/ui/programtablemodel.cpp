#include "treatment/ui/programtablemodel.h"

namespace lumo {

void ProgramTableModel::setPrograms(QVector<ProgramSummary> programs)
{
    beginResetModel();
    m_programs = std::move(programs);
    endResetModel();
}

int ProgramTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_programs.size());
}

int ProgramTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant ProgramTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_programs.size()) return {};
    const ProgramSummary& p = m_programs[index.row()];
    switch (index.column()) {
    case 0:
        return index.row() + 1; // CoNo
    case 1:
        return p.ProNo;
    case 2:
        return p.ProName;
    }
    return {};
}

QVariant ProgramTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case 0:
        return QStringLiteral("Index");
    case 1:
        return QString::fromUtf8("療程編號");
    case 2:
        return QString::fromUtf8("療程名稱");
    }
    return {};
}

} // namespace lumo
