#pragma once
// The program grid of the treatment program screen: Index (the row's
// position), 療程編號, 療程名稱, over the programs in ProNo order.

#include "treatment/treatmenttables.h"

#include <QAbstractTableModel>

namespace lumo {

class ProgramTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ProgramTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setPrograms(QVector<ProgramSummary> programs);
    const QVector<ProgramSummary>& programs() const { return m_programs; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<ProgramSummary> m_programs;
};

} // namespace lumo
