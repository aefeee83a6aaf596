#include "records/subjects.h"

namespace lumo {

const char* subjectFieldColumn(SubjectField f)
{
    static const char* columns[] = {"CUSTNO", "NAME",  "SEX",  "DBIRTH", "TEL",
                                    "ADDR",   "EMAIL", "TEL2", "TEL3"};
    int i = int(f) - 1;
    return columns[(i < 0 || i > 8) ? 0 : i];
}

SubjectField subjectFieldOfSort(int sortField)
{
    int f = sortField < 0 ? -sortField : sortField;
    return (f >= 1 && f <= 9) ? SubjectField(f) : SubjectField::CUSTNO;
}

QString subjectColumns()
{
    return QStringLiteral(
        "MKEY, CUSTNO, NAME, SEX, DBIRTH, ADDR, TEL, TEL2, TEL3, EMAIL, MEMO, BTYPE, HEIGHT, "
        "WEIGHT, CUSTCAT, CUSTFG, PrtFG, ROWVER");
}

SubjectRow readSubject(const SqlRow& q)
{
    SubjectRow r;
    r.MKEY = q.value(0).toLongLong();
    r.CUSTNO = q.value(1).toString();
    r.NAME = q.value(2).toString();
    r.SEX = q.value(3).toLongLong() != 0;
    r.DBIRTH = q.value(4).toDouble();
    r.ADDR = q.value(5).toString();
    r.TEL = q.value(6).toString();
    r.TEL2 = q.value(7).toString();
    r.TEL3 = q.value(8).toString();
    r.EMAIL = q.value(9).toString();
    r.MEMO = q.value(10).toString();
    r.BTYPE = q.value(11).toString();
    r.HEIGHT = q.value(12).toDouble();
    r.WEIGHT = q.value(13).toDouble();
    r.CUSTCAT = q.value(14).toString();
    r.CUSTFG = q.value(15).toString();
    r.PrtFG = q.value(16).toLongLong() != 0;
    r.ROWVER = q.value(17).toLongLong();
    return r;
}

std::optional<SubjectRow> SubjectStore::get(qint64 mkey)
{
    SqlRows rows;
    if (m_db.run(QStringLiteral("SELECT %1 FROM ZUCUST WHERE MKEY = ?").arg(subjectColumns()), {mkey},
                 &rows) &&
        !rows.isEmpty())
        return readSubject(rows.first());
    return std::nullopt;
}

std::optional<SubjectRow> SubjectStore::findByCustNo(const QString& custNo)
{
    const Engine& e = m_db.engine();
    const QString number = e.caseless(QStringLiteral("CUSTNO"));
    SqlRows rows;
    if (m_db.run(QStringLiteral("SELECT %1 FROM ZUCUST WHERE %2 = %3 ORDER BY %2, MKEY LIMIT 1")
                     .arg(subjectColumns(), number, e.caselessValue()),
                 {custNo}, &rows) &&
        !rows.isEmpty())
        return readSubject(rows.first());
    return std::nullopt;
}

Status SubjectStore::append(SubjectRow& r)
{
    SqlRows rows;
    const Status st = m_db.run(
        QStringLiteral(
            "INSERT INTO ZUCUST (CUSTNO, NAME, SEX, DBIRTH, ADDR, TEL, TEL2, TEL3, EMAIL, MEMO, BTYPE, "
            "HEIGHT, WEIGHT, CUSTCAT, CUSTFG, PrtFG) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) "
            "RETURNING MKEY, ROWVER"),
        {r.CUSTNO, r.NAME, int(r.SEX), r.DBIRTH, r.ADDR, r.TEL, r.TEL2, r.TEL3, r.EMAIL, r.MEMO, r.BTYPE,
         r.HEIGHT, r.WEIGHT, r.CUSTCAT, r.CUSTFG, int(r.PrtFG)},
        &rows);
    if (!st) return st;
    r.MKEY = rows.value(0).value(0).toLongLong();
    r.ROWVER = rows.value(0).value(1).toLongLong();
    return st;
}

Status SubjectStore::appendNew(SubjectRow& r, std::optional<SubjectRow>* holder)
{
    holder->reset();
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    if (const QString lock = m_db.engine().lockSubjectNumbers(); !lock.isEmpty())
        if (Status st = m_db.run(lock); !st) return st;
    if ((*holder = findByCustNo(r.CUSTNO)))
        return Status::failure(QString::fromUtf8("編號 %1 已經有受測者使用").arg(r.CUSTNO));
    if (Status st = append(r); !st) return st;
    return t.commit();
}

Status SubjectStore::update(SubjectRow& r)
{
    qint64 changed = 0;
    const Status st = m_db.run(
        QStringLiteral(
            "UPDATE ZUCUST SET NAME=?, SEX=?, DBIRTH=?, ADDR=?, TEL=?, TEL2=?, TEL3=?, EMAIL=?, MEMO=?, "
            "ROWVER = ROWVER + 1 WHERE MKEY=? AND ROWVER=?"),
        {r.NAME, int(r.SEX), r.DBIRTH, r.ADDR, r.TEL, r.TEL2, r.TEL3, r.EMAIL, r.MEMO, r.MKEY, r.ROWVER},
        nullptr, &changed);
    if (!st) return st;
    if (changed == 0) return Status::failure(rowConflictMessage());
    ++r.ROWVER;
    return st;
}

Status SubjectStore::removeWithMeasurements(qint64 mkey)
{
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    const Engine& e = m_db.engine();
    // The subject's measurements, and with them their grades and conditions.
    const QString measurements =
        QStringLiteral("SELECT MKEY FROM ZUDATA WHERE %1 = (SELECT %1 FROM ZUCUST WHERE MKEY = ?)")
            .arg(e.caseless(QStringLiteral("CUSTNO")));
    Status st;
    for (const char* table : {"ZUQUAL", "ZUCOND"})
        if (st)
            st = m_db.run(QStringLiteral("DELETE FROM %1 WHERE DATAKEY IN (%2)")
                              .arg(QLatin1String(table), measurements),
                          {mkey});
    if (st) st = m_db.run(QStringLiteral("DELETE FROM ZUDATA WHERE MKEY IN (%1)").arg(measurements), {mkey});
    if (st) st = m_db.run(QStringLiteral("DELETE FROM ZUCUST WHERE MKEY = ?"), {mkey});
    if (!st) return st;
    return t.commit();
}

qint64 SubjectStore::count()
{
    return m_db.rowCount(QStringLiteral("ZUCUST"));
}

} // namespace lumo
