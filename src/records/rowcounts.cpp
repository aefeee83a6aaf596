#include "records/database.h"

#include <QSqlQuery>
#include <sqlite3.h>

namespace lumo {

qint64 Database::dataVersion()
{
    QSqlQuery q(m_db);
    if (q.exec(QStringLiteral("PRAGMA data_version")) && q.next()) return q.value(0).toLongLong();
    return -1;
}

qint64 Database::rowCount(const QString& table)
{
    sqlite3* h = handle();
    const qint64 changes = h ? sqlite3_total_changes(h) : -1;
    const qint64 version = dataVersion();
    const auto kept = m_counts.constFind(table);
    if (kept != m_counts.constEnd() && kept->dataVersion == version && kept->changes == changes && version >= 0 &&
        changes >= 0)
        return kept->rows;
    QSqlQuery q(m_db);
    // The table names are this program's own, never text from the operator.
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) || !q.next()) return 0;
    const qint64 rows = q.value(0).toLongLong();
    m_counts.insert(table, {rows, version, changes});
    return rows;
}

void Database::noteRowsChanged(qint64 rowsChanged, const QVector<QPair<QString, qint64>>& moved)
{
    sqlite3* h = handle();
    if (!h || !sqlite3_get_autocommit(h)) return;
    const qint64 changes = sqlite3_total_changes(h);
    const qint64 version = dataVersion();
    for (auto it = m_counts.begin(); it != m_counts.end(); ++it) {
        // Kept only when nothing else happened since it was counted.
        if (it->changes + rowsChanged != changes || it->dataVersion != version) continue;
        for (const auto& [table, by] : moved)
            if (table == it.key()) it->rows += by;
        it->changes = changes;
    }
}

} // namespace lumo
