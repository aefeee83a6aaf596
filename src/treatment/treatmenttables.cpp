#include "treatment/treatmenttables.h"

#include "records/programs.h"

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

// An update of a row as it was read: none changed means another workstation
// changed it (or deleted it) meanwhile.
Status updateRow(Database& db, const QString& table, const QStringList& columns, QVariantList values,
                 qint64 mkey, qint64 version)
{
    QStringList sets;
    for (const QString& c : columns)
        sets << c + QStringLiteral(" = ?");
    values << mkey << version;
    qint64 changed = 0;
    const Status s =
        db.run(QStringLiteral("UPDATE %1 SET %2, ROWVER = ROWVER + 1 WHERE MKEY = ? AND ROWVER = ?")
                   .arg(table, sets.join(QStringLiteral(", "))),
               values, nullptr, &changed);
    if (!s) return s;
    return changed == 1 ? Status::success() : Status::failure(rowConflictMessage());
}

ConditionRow readCondition(const SqlRow& q)
{
    ConditionRow r;
    r.MKEY = q.value(0).toLongLong();
    r.ProNo = q.value(1).toString();
    r.ProSubN = q.value(2).toString();
    r.ProNote = q.value(3).toString();
    r.ProAnd = q.value(4).toString();
    r.ProCond = q.value(5).toString();
    r.ProAGL = int(q.value(6).toLongLong());
    r.ProAGH = int(q.value(7).toLongLong());
    r.ProEng = q.value(8).toDouble();
    r.ProFlg = q.value(9).toLongLong() != 0;
    r.PrtFG = q.value(10).toLongLong() != 0;
    r.ROWVER = q.value(11).toLongLong();
    return r;
}

} // namespace

QVector<ProgramSummary> TreatmentTables::programs()
{
    QVector<ProgramSummary> out;
    SqlRows rows;
    if (!m_db.run(QStringLiteral("SELECT MKEY, ProNo, ProName FROM ZUPRO ORDER BY %1, MKEY")
                      .arg(m_db.engine().caseless(QStringLiteral("ProNo"))),
                  {}, &rows))
        return out;
    for (const SqlRow& r : rows)
        out.append({r.value(0).toLongLong(), r.value(1).toString(), r.value(2).toString()});
    return out;
}

std::optional<ProgramRow> TreatmentTables::program(qint64 mkey)
{
    SqlRows rows;
    if (!m_db.run(QStringLiteral("SELECT MKEY, ProNo, PrtFG, ROWVER, %1 FROM ZUPRO WHERE MKEY = ?")
                      .arg(editableColumns().join(QStringLiteral(", "))),
                  {mkey}, &rows) ||
        rows.isEmpty())
        return std::nullopt;
    const SqlRow& q = rows.first();
    ProgramRow r;
    r.MKEY = q.value(0).toLongLong();
    r.ProNo = q.value(1).toString();
    r.PrtFG = q.value(2).toLongLong() != 0;
    r.ROWVER = q.value(3).toLongLong();
    r.ProName = q.value(4).toString();
    r.ProData = q.value(5).toString();
    r.ProPict = q.value(6).toByteArray();
    r.ProScal = q.value(7).toLongLong() != 0;
    r.ProFN = q.value(8).toString();
    int c = 9;
    for (auto* a : {&r.ProScrp, &r.ProPrg, &r.ProParm})
        for (QString& s : *a)
            s = q.value(c++).toString();
    return r;
}

QVector<ConditionRow> TreatmentTables::conditions(const QString& ProNo)
{
    QVector<ConditionRow> out;
    const Engine& e = m_db.engine();
    SqlRows rows;
    if (!m_db.run(
            QStringLiteral("SELECT MKEY, ProNo, ProSubN, ProNote, ProAnd, ProCond, ProAGL, ProAGH, ProEng, "
                           "ProFlg, PrtFG, ROWVER FROM ZUPRDT WHERE %1 = %2 ORDER BY MKEY")
                .arg(e.caseless(QStringLiteral("ProNo")), e.caselessValue()),
            {ProNo}, &rows))
        return out;
    for (const SqlRow& r : rows)
        out.append(readCondition(r));
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

Status TreatmentTables::confirmCondition(ConditionRow& c, ProgramRow& p)
{
    Transaction t(m_db);
    if (!t.active()) return t.commit();
    const bool append = c.MKEY == 0;
    ConditionRow written = c;
    Status s;
    if (append) {
        s = ProgramStore(m_db).appendCondition(written);
    } else {
        s = updateRow(
            m_db, QStringLiteral("ZUPRDT"),
            {QStringLiteral("ProNo"), QStringLiteral("ProSubN"), QStringLiteral("ProNote"),
             QStringLiteral("ProAnd"), QStringLiteral("ProCond"), QStringLiteral("ProAGL"),
             QStringLiteral("ProAGH"), QStringLiteral("ProEng"), QStringLiteral("ProFlg")},
            {c.ProNo, c.ProSubN, c.ProNote, c.ProAnd, c.ProCond, c.ProAGL, c.ProAGH, c.ProEng, int(c.ProFlg)},
            c.MKEY, c.ROWVER);
        ++written.ROWVER;
    }
    if (s)
        s = updateRow(m_db, QStringLiteral("ZUPRO"),
                      {QStringLiteral("ProData"), QStringLiteral("ProPict"), QStringLiteral("ProScal")},
                      {p.ProData, p.ProPict, int(p.ProScal)}, p.MKEY, p.ROWVER);
    if (s) s = t.commit();
    // The new key and versions are only the caller's once they are really stored.
    if (s) {
        c = written;
        ++p.ROWVER;
    }
    return s;
}

Status TreatmentTables::deleteProgram(const ProgramRow& p)
{
    Transaction t(m_db);
    if (!t.active()) return t.commit();
    const Engine& e = m_db.engine();
    Status s = m_db.run(QStringLiteral("DELETE FROM ZUPRDT WHERE %1 = %2")
                            .arg(e.caseless(QStringLiteral("ProNo")), e.caselessValue()),
                        {p.ProNo});
    if (s) s = m_db.run(QStringLiteral("DELETE FROM ZUPRO WHERE MKEY = ?"), {p.MKEY});
    if (!s) return s;
    return t.commit();
}

Status TreatmentTables::deleteCondition(qint64 mkey)
{
    return m_db.run(QStringLiteral("DELETE FROM ZUPRDT WHERE MKEY = ?"), {mkey});
}

Status TreatmentTables::appendProgram(ProgramRow& p)
{
    Transaction t(m_db);
    if (!t.active()) return t.commit();
    ProgramRow written = p;
    Status s = ProgramStore(m_db).append(written);
    if (s) s = t.commit();
    if (s) p = written;
    return s;
}

Status TreatmentTables::updateProgram(ProgramRow& p)
{
    const Status s =
        updateRow(m_db, QStringLiteral("ZUPRO"), editableColumns(), editableValues(p), p.MKEY, p.ROWVER);
    if (s) ++p.ROWVER;
    return s;
}

} // namespace lumo
