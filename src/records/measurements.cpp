#include "records/measurements.h"

namespace lumo {

QString measurementColumns()
{
    QString s = QStringLiteral("MKEY, CUSTNO, ZUDATE, ZUVOTA");
    for (int i = 1; i <= 24; ++i)
        s += QStringLiteral(", ZU%1").arg(i);
    s += QStringLiteral(", MEMO1, MEMO2, AutoKey, PrtFG, ROWVER");
    return s;
}

MeasurementRow readMeasurement(const SqlRow& q)
{
    MeasurementRow r;
    r.MKEY = q.value(0).toLongLong();
    r.CUSTNO = q.value(1).toString();
    r.ZUDATE = q.value(2).toDouble();
    r.ZUVOTA = q.value(3).toLongLong() != 0;
    for (int i = 0; i < 24; ++i)
        r.ZU[size_t(i)] = q.value(4 + i).toDouble();
    r.MEMO1 = q.value(28).toString();
    r.MEMO2 = q.value(29).toString();
    r.AutoKey = q.value(30).toString();
    r.PrtFG = q.value(31).toLongLong() != 0;
    r.ROWVER = q.value(32).toLongLong();
    return r;
}

std::optional<MeasurementRow> MeasurementStore::get(qint64 mkey)
{
    SqlRows rows;
    if (m_db.run(QStringLiteral("SELECT %1 FROM ZUDATA WHERE MKEY = ?").arg(measurementColumns()), {mkey},
                 &rows) &&
        !rows.isEmpty())
        return readMeasurement(rows.first());
    return std::nullopt;
}

QVector<MeasurementRow> MeasurementStore::listForSubject(const QString& custNo)
{
    QVector<MeasurementRow> out;
    const Engine& e = m_db.engine();
    const QString number = e.caseless(QStringLiteral("CUSTNO"));
    SqlRows rows;
    if (!m_db.run(QStringLiteral("SELECT %1 FROM ZUDATA WHERE %2 = %3 ORDER BY %2, ZUDATE, MKEY")
                      .arg(measurementColumns(), number, e.caselessValue()),
                  {custNo}, &rows))
        return out;
    out.reserve(rows.size());
    for (const SqlRow& row : rows)
        out.append(readMeasurement(row));
    return out;
}

qint64 MeasurementStore::countForSubject(const QString& custNo)
{
    const Engine& e = m_db.engine();
    SqlRows rows;
    if (m_db.run(QStringLiteral("SELECT COUNT(*) FROM ZUDATA WHERE %1 = %2")
                     .arg(e.caseless(QStringLiteral("CUSTNO")), e.caselessValue()),
                 {custNo}, &rows) &&
        !rows.isEmpty())
        return rows.first().value(0).toLongLong();
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
    QVariantList values = {r.CUSTNO, r.ZUDATE, int(r.ZUVOTA), r.MEMO1, r.MEMO2, r.AutoKey, int(r.PrtFG)};
    for (int i = 1; i <= 24; ++i) {
        columns += QStringLiteral(", ZU%1").arg(i);
        marks += QStringLiteral(",?");
        values << r.ZU[size_t(i - 1)];
    }
    SqlRows rows;
    const Status st = m_db.run(
        QStringLiteral("INSERT INTO ZUDATA (%1) VALUES (%2) RETURNING MKEY, ROWVER").arg(columns, marks),
        values, &rows);
    if (!st) return st;
    r.MKEY = rows.value(0).value(0).toLongLong();
    r.ROWVER = rows.value(0).value(1).toLongLong();
    return st;
}

Status MeasurementStore::update(MeasurementRow& r)
{
    QString sets = QStringLiteral("ZUDATE=?, ZUVOTA=?, MEMO1=?");
    QVariantList values = {r.ZUDATE, int(r.ZUVOTA), r.MEMO1};
    for (int i = 1; i <= 24; ++i) {
        sets += QStringLiteral(", ZU%1=?").arg(i);
        values << r.ZU[size_t(i - 1)];
    }
    values << r.MKEY << r.ROWVER;
    qint64 changed = 0;
    const Status st = m_db.run(
        QStringLiteral("UPDATE ZUDATA SET %1, ROWVER = ROWVER + 1 WHERE MKEY=? AND ROWVER=?").arg(sets),
        values, nullptr, &changed);
    if (!st) return st;
    if (changed == 0) return Status::failure(rowConflictMessage());
    ++r.ROWVER;
    return st;
}

Status MeasurementStore::updateMemo(qint64 mkey, const QString& memo, qint64* rowVersion, bool* found)
{
    SqlRows rows;
    const Status st = m_db.run(QStringLiteral("UPDATE ZUDATA SET MEMO1=?, ROWVER = ROWVER + 1 "
                                              "WHERE MKEY=? AND ROWVER=? RETURNING ROWVER"),
                               {memo, mkey, *rowVersion}, &rows);
    if (!st) return st;
    if (!rows.isEmpty()) {
        *rowVersion = rows.first().value(0).toLongLong();
        if (found) *found = true;
        return st;
    }
    // Nothing written: the row changed under another workstation, or it is gone.
    SqlRows still;
    const Status look = m_db.run(QStringLiteral("SELECT 1 FROM ZUDATA WHERE MKEY = ?"), {mkey}, &still);
    if (!look) return look;
    if (found) *found = !still.isEmpty();
    return still.isEmpty() ? Status::success() : Status::failure(rowConflictMessage());
}

// How the measurement was taken goes with it: grades and conditions left
// behind would outlive the record a subject asked to have deleted.
Status MeasurementStore::remove(qint64 mkey)
{
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    Status st;
    for (const char* table : {"ZUQUAL", "ZUCOND", "ZUDATA"})
        if (st) st = m_db.run(QStringLiteral("DELETE FROM %1 WHERE %2=?")
                                  .arg(QLatin1String(table),
                                       qstrcmp(table, "ZUDATA") == 0 ? QStringLiteral("MKEY")
                                                                      : QStringLiteral("DATAKEY")),
                              {mkey});
    return st ? t.commit() : st;
}

} // namespace lumo
