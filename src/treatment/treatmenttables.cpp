#include "treatment/treatmenttables.h"

#include "records/programs.h"

#include <QSqlQuery>
#include <QVariantList>

namespace lumo {
namespace {

// The program fields the group editor writes, in one order for reading and
// writing: everything but MKEY, ProNo and PrtFG.
QStringList editableColumns()
{
    QStringList c = {QStringLiteral("ProName"), QStringLiteral("ProData"), QStringLiteral("ProPict"),
                     QStringLiteral("ProScal"), QStringLiteral("ProFN")};
    for (const char* f : {"ProScrp", "ProPrg", "ProParm"})
        for (int i = 1; i <= 4; ++i)
            c << QStringLiteral("%1%2").arg(QLatin1String(f)).arg(i);
    return c;
}

QVariantList editableValues(const ProgramRow& r)
{
    QVariantList v = {r.ProName, r.ProData, r.ProPict, int(r.ProScal), r.ProFN};
    for (const auto* a : {&r.ProScrp, &r.ProPrg, &r.ProParm})
        for (const QString& s : *a)
            v << s;
    return v;
}

Status run(QSqlQuery& q, const QVariantList& values)
{
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) return Status::failure(sqlError(q));
    return Status::success();
}

// A row changed by another workstation's delete is gone: writing to it would
// leave a condition without its program.
Status oneRow(QSqlQuery& q, const char* what)
{
    if (q.numRowsAffected() == 1) return Status::success();
    return Status::failure(QStringLiteral("%1 no longer exists").arg(QLatin1String(what)));
}

} // namespace

QVector<ProgramSummary> TreatmentTables::programs()
{
    QVector<ProgramSummary> out;
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT MKEY, ProNo, ProName FROM ZUPRO ORDER BY ProNo, MKEY"))) return out;
    while (q.next())
        out.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    return out;
}

std::optional<ProgramRow> TreatmentTables::program(qint64 mkey)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("SELECT MKEY, ProNo, PrtFG, %1 FROM ZUPRO WHERE MKEY = ?")
                  .arg(editableColumns().join(QStringLiteral(", "))));
    q.addBindValue(mkey);
    if (!q.exec() || !q.next()) return std::nullopt;
    ProgramRow r;
    r.MKEY = q.value(0).toLongLong();
    r.ProNo = q.value(1).toString();
    r.PrtFG = q.value(2).toInt() != 0;
    r.ProName = q.value(3).toString();
    r.ProData = q.value(4).toString();
    r.ProPict = q.value(5).toByteArray();
    r.ProScal = q.value(6).toInt() != 0;
    r.ProFN = q.value(7).toString();
    int c = 8;
    for (auto* a : {&r.ProScrp, &r.ProPrg, &r.ProParm})
        for (QString& s : *a)
            s = q.value(c++).toString();
    return r;
}

QVector<ConditionRow> TreatmentTables::conditions(const QString& ProNo)
{
    QVector<ConditionRow> out;
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT MKEY, ProNo, ProSubN, ProNote, ProAnd, ProCond, ProAGL, ProAGH, ProEng, "
                             "ProFlg, PrtFG FROM ZUPRDT WHERE ProNo = ? ORDER BY MKEY"));
    q.addBindValue(ProNo);
    if (!q.exec()) return out;
    while (q.next()) {
        ConditionRow r;
        r.MKEY = q.value(0).toLongLong();
        r.ProNo = q.value(1).toString();
        r.ProSubN = q.value(2).toString();
        r.ProNote = q.value(3).toString();
        r.ProAnd = q.value(4).toString();
        r.ProCond = q.value(5).toString();
        r.ProAGL = q.value(6).toInt();
        r.ProAGH = q.value(7).toInt();
        r.ProEng = q.value(8).toDouble();
        r.ProFlg = q.value(9).toInt() != 0;
        r.PrtFG = q.value(10).toInt() != 0;
        out.append(r);
    }
    return out;
}

std::optional<ProgramSummary> TreatmentTables::findNumber(const QString& number)
{
    // Compared here rather than by the column's collation, which folds only
    // ASCII letters.
    for (const ProgramSummary& p : programs())
        if (p.ProNo.compare(number, Qt::CaseInsensitive) == 0) return p;
    return std::nullopt;
}

Status TreatmentTables::confirmCondition(ConditionRow& c, const ProgramRow& p)
{
    Transaction t(m_db);
    if (!t.active()) return t.commit();
    const bool append = c.MKEY == 0;
    ConditionRow written = c;
    if (append) {
        Status s = ProgramStore(m_db).appendCondition(written);
        if (!s) return s;
    } else {
        QSqlQuery q(m_db.sql());
        q.prepare(
            QStringLiteral("UPDATE ZUPRDT SET ProNo = ?, ProSubN = ?, ProNote = ?, ProAnd = ?, ProCond = ?, "
                           "ProAGL = ?, ProAGH = ?, ProEng = ?, ProFlg = ? WHERE MKEY = ?"));
        Status s = run(q, {c.ProNo, c.ProSubN, c.ProNote, c.ProAnd, c.ProCond, c.ProAGL, c.ProAGH, c.ProEng,
                           int(c.ProFlg), c.MKEY});
        if (s) s = oneRow(q, "the condition");
        if (!s) return s;
    }
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("UPDATE ZUPRO SET ProData = ?, ProPict = ?, ProScal = ? WHERE MKEY = ?"));
    Status s = run(q, {p.ProData, p.ProPict, int(p.ProScal), p.MKEY});
    if (s) s = oneRow(q, "the program");
    if (s) s = t.commit();
    // The new row's key is only the caller's once it is really stored.
    if (s && append) c.MKEY = written.MKEY;
    return s;
}

Status TreatmentTables::deleteProgram(const ProgramRow& p)
{
    Transaction t(m_db);
    if (!t.active()) return t.commit();
    QSqlQuery c(m_db.sql());
    c.prepare(QStringLiteral("DELETE FROM ZUPRDT WHERE ProNo = ?"));
    Status s = run(c, {p.ProNo});
    if (!s) return s;
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("DELETE FROM ZUPRO WHERE MKEY = ?"));
    s = run(q, {p.MKEY});
    if (!s) return s;
    return t.commit();
}

Status TreatmentTables::deleteCondition(qint64 mkey)
{
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("DELETE FROM ZUPRDT WHERE MKEY = ?"));
    return run(q, {mkey});
}

Status TreatmentTables::appendProgram(ProgramRow& p)
{
    Transaction t(m_db);
    if (!t.active()) return t.commit();
    ProgramRow written = p;
    Status s = ProgramStore(m_db).append(written);
    if (s) s = t.commit();
    if (s) p.MKEY = written.MKEY;
    return s;
}

Status TreatmentTables::updateProgram(const ProgramRow& p)
{
    QSqlQuery q(m_db.sql());
    const QStringList columns = editableColumns();
    QStringList sets;
    for (const QString& c : columns)
        sets << c + QStringLiteral(" = ?");
    q.prepare(QStringLiteral("UPDATE ZUPRO SET %1 WHERE MKEY = ?").arg(sets.join(QStringLiteral(", "))));
    Status s = run(q, editableValues(p) << p.MKEY);
    if (s) s = oneRow(q, "the program");
    return s;
}

} // namespace lumo
