#include "records/subjects.h"

#include <QSqlQuery>

namespace lumo {

const char* subjectFieldColumn(SubjectField f)
{
    static const char* columns[] = {"CUSTNO", "NAME", "SEX", "DBIRTH", "TEL", "ADDR", "EMAIL", "TEL2", "TEL3"};
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
    return QStringLiteral("MKEY, CUSTNO, NAME, SEX, DBIRTH, ADDR, TEL, TEL2, TEL3, EMAIL, MEMO, BTYPE, HEIGHT, "
                          "WEIGHT, CUSTCAT, CUSTFG, PrtFG");
}

SubjectRow readSubject(const QSqlQuery& q)
{
    SubjectRow r;
    r.MKEY = q.value(0).toLongLong();
    r.CUSTNO = q.value(1).toString();
    r.NAME = q.value(2).toString();
    r.SEX = q.value(3).toInt() != 0;
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
    r.PrtFG = q.value(16).toInt() != 0;
    return r;
}

std::optional<SubjectRow> SubjectStore::get(qint64 mkey)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("SELECT %1 FROM ZUCUST WHERE MKEY = ?").arg(subjectColumns()));
    q.addBindValue(mkey);
    if (q.exec() && q.next()) return readSubject(q);
    return std::nullopt;
}

std::optional<SubjectRow> SubjectStore::findByCustNo(const QString& custNo)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("SELECT %1 FROM ZUCUST WHERE CUSTNO = ? ORDER BY CUSTNO, MKEY LIMIT 1").arg(subjectColumns()));
    q.addBindValue(custNo);
    if (q.exec() && q.next()) return readSubject(q);
    return std::nullopt;
}

Status SubjectStore::append(SubjectRow& r)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME, SEX, DBIRTH, ADDR, TEL, TEL2, TEL3, EMAIL, MEMO, BTYPE, "
                             "HEIGHT, WEIGHT, CUSTCAT, CUSTFG, PrtFG) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariant& v : {QVariant(r.CUSTNO), QVariant(r.NAME), QVariant(int(r.SEX)), QVariant(r.DBIRTH),
                              QVariant(r.ADDR), QVariant(r.TEL), QVariant(r.TEL2), QVariant(r.TEL3), QVariant(r.EMAIL),
                              QVariant(r.MEMO), QVariant(r.BTYPE), QVariant(r.HEIGHT), QVariant(r.WEIGHT),
                              QVariant(r.CUSTCAT), QVariant(r.CUSTFG), QVariant(int(r.PrtFG))})
        q.addBindValue(v);
    if (!q.exec()) return Status::failure(sqlError(q));
    r.MKEY = q.lastInsertId().toLongLong();
    m_db.noteRowsChanged(1, {{QStringLiteral("ZUCUST"), 1}});
    return Status::success();
}

Status SubjectStore::update(const SubjectRow& r)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("UPDATE ZUCUST SET NAME=?, SEX=?, DBIRTH=?, ADDR=?, TEL=?, TEL2=?, TEL3=?, EMAIL=?, MEMO=? "
                             "WHERE MKEY=?"));
    for (const QVariant& v : {QVariant(r.NAME), QVariant(int(r.SEX)), QVariant(r.DBIRTH), QVariant(r.ADDR),
                              QVariant(r.TEL), QVariant(r.TEL2), QVariant(r.TEL3), QVariant(r.EMAIL), QVariant(r.MEMO),
                              QVariant(r.MKEY)})
        q.addBindValue(v);
    if (!q.exec()) return Status::failure(sqlError(q));
    m_db.noteRowsChanged(q.numRowsAffected(), {});
    return Status::success();
}

Status SubjectStore::removeWithMeasurements(qint64 mkey)
{
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    QSqlQuery q(m_db.sql());
    // The measurements' grades and conditions go with them.
    for (const char* table : {"ZUQUAL", "ZUCOND"}) {
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE DATAKEY IN (SELECT MKEY FROM ZUDATA WHERE CUSTNO = "
                                 "(SELECT CUSTNO FROM ZUCUST WHERE MKEY = ?))")
                      .arg(QLatin1String(table)));
        q.addBindValue(mkey);
        if (!q.exec()) return Status::failure(sqlError(q));
    }
    q.prepare(QStringLiteral("DELETE FROM ZUDATA WHERE CUSTNO = (SELECT CUSTNO FROM ZUCUST WHERE MKEY = ?)"));
    q.addBindValue(mkey);
    if (!q.exec()) return Status::failure(sqlError(q));
    const qint64 measurements = q.numRowsAffected();
    q.prepare(QStringLiteral("DELETE FROM ZUCUST WHERE MKEY = ?"));
    q.addBindValue(mkey);
    if (!q.exec()) return Status::failure(sqlError(q));
    const qint64 subjects = q.numRowsAffected();
    const Status st = t.commit();
    if (st)
        m_db.noteRowsChanged(measurements + subjects,
                             {{QStringLiteral("ZUDATA"), -measurements}, {QStringLiteral("ZUCUST"), -subjects}});
    return st;
}

qint64 SubjectStore::count()
{
    return m_db.rowCount(QStringLiteral("ZUCUST"));
}

} // namespace lumo
