#pragma once
// A file's tables held in memory behind the reader interface, for the rows of
// a layout no sample file has (the four tables as the earlier Windows program
// stored them), and for a reader that fails half-way.

#include "records/legacysource.h"

#include <QMap>

namespace lumo::test {

struct MemoryTable
{
    QVector<LegacyColumn> columns;
    QVector<LegacyRow> rows;
    int failAfter = -1; // rows delivered before the read fails; -1: never
};

class MemorySource : public LegacySource
{
public:
    MemoryTable& table(const QString& name)
    {
        if (!m_order.contains(name)) m_order << name;
        return m_tables[name];
    }
    Format format() const override { return Format::Jet4; }
    QString path() const override { return QStringLiteral("memory.mdb"); }
    QStringList tables() const override { return m_order; }
    std::unique_ptr<LegacyCursor> open(const QString& name, Status* status) override
    {
        const QString t = tableName(name);
        if (t.isEmpty()) {
            *status = Status::failure(QStringLiteral("no table ") + name);
            return nullptr;
        }
        *status = Status::success();
        return std::make_unique<Cursor>(m_tables[t]);
    }
    qint64 rowCount(const QString& name, Status* status) override
    {
        const QString t = tableName(name);
        *status = t.isEmpty() ? Status::failure(QStringLiteral("no table ") + name) : Status::success();
        return t.isEmpty() ? -1 : m_tables[t].rows.size();
    }

private:
    class Cursor : public LegacyCursor
    {
    public:
        explicit Cursor(const MemoryTable& t) : m_t(t) {}
        const QVector<LegacyColumn>& columns() const override { return m_t.columns; }
        Status error() const override { return m_error; }
        bool next(LegacyRow* row) override
        {
            if (m_t.failAfter >= 0 && m_next >= m_t.failAfter) {
                m_error = Status::failure(QStringLiteral("memory.mdb: page read failed"));
                return false;
            }
            if (m_next >= m_t.rows.size()) return false;
            *row = m_t.rows.at(m_next++);
            return true;
        }

    private:
        const MemoryTable& m_t;
        int m_next = 0;
        Status m_error;
    };

    QStringList m_order;
    QMap<QString, MemoryTable> m_tables;
};

} // namespace lumo::test
