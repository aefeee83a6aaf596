#include "records/measurements.h"

#include <QSqlQuery>

namespace lumo {

QString measurementColumns()
{
    QString s = QStringLiteral("MKEY, CUSTNO, ZUDATE, ZUVOTA");
    for (int i = 1; i <= 24; ++i) s += QStringLiteral(", ZU%1").arg(i);
    s += QStringLiteral(", MEMO1, MEMO2, AutoKey, PrtFG");
    return s;
}

MeasurementRow readMeasurement(const QSqlQuery& q)
{
    MeasurementRow r;
    r.MKEY = q.value(0).toLongLong();
    r.CUSTNO = q.value(1).toString();
    r.ZUDATE = q.value(2).toDouble();
    r.ZUVOTA = q.value(3).toInt() != 0;
    for (int i = 0; i < 24; ++i) r.ZU[size_t(i)] = q.value(4 + i).toDouble();
    r.MEMO1 = q.value(28).toString();
    r.MEMO2 = q.value(29).toString();
    r.AutoKey = q.value(30).toString();
    r.PrtFG = q.value(31).toInt() != 0;
    return r;
}

std::optional<MeasurementRow> MeasurementStore::get(qint64 mkey)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("SELECT %1 FROM ZUDATA WHERE MKEY = ?").arg(measurementColumns()));
    q.addBindValue(mkey);
    if (q.exec() && q.next()) return readMeasurement(q);
    return std::nullopt;
}

QVector<MeasurementRow> MeasurementStore::listForSubject(const QString& custNo)
{
    QVector<MeasurementRow> rows;
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM ZUDATA WHERE CUSTNO = ? ORDER BY CUSTNO, ZUDATE, MKEY").arg(measurementColumns()));
    q.addBindValue(custNo);
    if (!q.exec()) return rows;
    while (q.next()) rows.append(readMeasurement(q));
    return rows;
}

qint64 MeasurementStore::countForSubject(const QString& custNo)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM ZUDATA WHERE CUSTNO = ?"));
    q.addBindValue(custNo);
    if (q.exec() && q.next()) return q.value(0).toLongLong();
    return 0;
}

qint64 MeasurementStore::countAll()
{
    return m_db.rowCount(QStringLiteral("ZUDATA"));
}

Status MeasurementStore::append(MeasurementRow& r)
{
    QString columns = QStringLiteral("CUSTNO, ZUDATE, ZUVOTA, MEMO1, MEMO2, AutoKey, PrtFG");
    QString marks = QStringLiteral("?,?,?,?,?,?,?");
    for (int i = 1; i <= 24; ++i) {
        columns += QStringLiteral(", ZU%1").arg(i);
        marks += QStringLiteral(",?");
    }
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("INSERT INTO ZUDATA (%1) VALUES (%2)").arg(columns, marks));
    q.addBindValue(r.CUSTNO);
    q.addBindValue(r.ZUDATE);
    q.addBindValue(int(r.ZUVOTA));
    q.addBindValue(r.MEMO1);
    q.addBindValue(r.MEMO2);
    q.addBindValue(r.AutoKey);
    q.addBindValue(int(r.PrtFG));
    for (double v : r.ZU) q.addBindValue(v);
    if (!q.exec()) return Status::failure(sqlError(q));
    r.MKEY = q.lastInsertId().toLongLong();
    m_db.noteRowsChanged(1, {{QStringLiteral("ZUDATA"), 1}});
    return Status::success();
}

Status MeasurementStore::update(const MeasurementRow& r)
{
    QString sets = QStringLiteral("ZUDATE=?, ZUVOTA=?, MEMO1=?");
    for (int i = 1; i <= 24; ++i) sets += QStringLiteral(", ZU%1=?").arg(i);
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("UPDATE ZUDATA SET %1 WHERE MKEY=?").arg(sets));
    q.addBindValue(r.ZUDATE);
    q.addBindValue(int(r.ZUVOTA));
    q.addBindValue(r.MEMO1);
    for (double v : r.ZU) q.addBindValue(v);
    q.addBindValue(r.MKEY);
    if (!q.exec()) return Status::failure(sqlError(q));
    m_db.noteRowsChanged(q.numRowsAffected(), {});
    return Status::success();
}

Status MeasurementStore::updateMemo(qint64 mkey, const QString& memo, bool* found)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("UPDATE ZUDATA SET MEMO1=? WHERE MKEY=?"));
    q.addBindValue(memo);
    q.addBindValue(mkey);
    if (!q.exec()) return Status::failure(sqlError(q));
    if (found) *found = q.numRowsAffected() > 0;
    m_db.noteRowsChanged(q.numRowsAffected(), {});
    return Status::success();
}

// How the measurement was taken goes with it: grades and conditions left
// behind would outlive the record a subject asked to have deleted.
Status MeasurementStore::remove(qint64 mkey)
{
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    QSqlQuery q(m_db.sql());
    for (const char* table : {"ZUQUAL", "ZUCOND"}) {
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE DATAKEY=?").arg(QLatin1String(table)));
        q.addBindValue(mkey);
        if (!q.exec()) return Status::failure(sqlError(q));
    }
    q.prepare(QStringLiteral("DELETE FROM ZUDATA WHERE MKEY=?"));
    q.addBindValue(mkey);
    if (!q.exec()) return Status::failure(sqlError(q));
    const qint64 removed = q.numRowsAffected();
    const Status st = t.commit();
    if (st) m_db.noteRowsChanged(removed, {{QStringLiteral("ZUDATA"), -removed}});
    return st;
}

} // namespace lumo
