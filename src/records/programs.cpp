#include "records/programs.h"

#include "records/schema.h"

#include <QHash>
#include <QSqlQuery>

namespace lumo {
namespace {

// The master programs' rows carry no version (the file is only read).
QString programColumns(bool master, bool withPictures)
{
    QString s = QStringLiteral("MKEY, ProNo, ProName, ProData, %1, ProScal, ProFN")
                    .arg(withPictures ? QStringLiteral("ProPict") : QStringLiteral("NULL"));
    for (const char* f : {"ProScrp", "ProPrg", "ProParm"})
        for (int i = 1; i <= 4; ++i)
            s += QStringLiteral(", %1%2").arg(QLatin1String(f)).arg(i);
    s += QStringLiteral(", PrtFG");
    if (master) {
        for (int i = 1; i <= 3; ++i)
            s += QStringLiteral(", ProMed%1").arg(i);
        for (int i = 1; i <= 5; ++i)
            s += QStringLiteral(", ProHel%1").arg(i);
    } else {
        s += QStringLiteral(", ROWVER");
    }
    return s;
}

template <typename Row> ProgramRow readProgram(const Row& q, bool master)
{
    ProgramRow r;
    r.MKEY = q.value(0).toLongLong();
    r.ProNo = q.value(1).toString();
    r.ProName = q.value(2).toString();
    r.ProData = q.value(3).toString();
    r.ProPict = q.value(4).toByteArray();
    r.ProScal = q.value(5).toInt() != 0;
    r.ProFN = q.value(6).toString();
    int c = 7;
    for (auto* arr : {&r.ProScrp, &r.ProPrg, &r.ProParm})
        for (auto& s : *arr)
            s = q.value(c++).toString();
    r.PrtFG = q.value(c++).toInt() != 0;
    if (master) {
        for (auto& s : r.ProMed)
            s = q.value(c++).toString();
        for (auto& s : r.ProHel)
            s = q.value(c++).toString();
    } else {
        r.ROWVER = q.value(c++).toLongLong();
    }
    return r;
}

} // namespace

QVector<ProgramWithConditions> ProgramStore::loadAll(bool withPictures)
{
    const bool master = m_db.kind() == FileKind::Master;
    QVector<ProgramWithConditions> programs;
    QHash<QString, QVector<int>> byNumber; // ProNo (folded) -> program indexes
    SqlRows rows;
    if (!m_db.run(
            QStringLiteral("SELECT %1 FROM ZUPRO ORDER BY %2, MKEY")
                .arg(programColumns(master, withPictures), m_db.engine().caseless(QStringLiteral("ProNo"))),
            {}, &rows))
        return programs;
    for (const SqlRow& q : rows) {
        ProgramWithConditions p;
        p.program = readProgram(q, master);
        byNumber[p.program.ProNo.toCaseFolded()].append(int(programs.size()));
        programs.append(std::move(p));
    }
    rows.clear();
    if (!m_db.run(
            QStringLiteral("SELECT MKEY, ProNo, ProSubN, ProNote, ProAnd, ProCond, ProAGL, ProAGH, ProEng, "
                           "ProFlg, PrtFG FROM ZUPRDT ORDER BY MKEY"),
            {}, &rows))
        return programs;
    for (const SqlRow& c : rows) {
        ConditionRow r;
        r.MKEY = c.value(0).toLongLong();
        r.ProNo = c.value(1).toString();
        r.ProSubN = c.value(2).toString();
        r.ProNote = c.value(3).toString();
        r.ProAnd = c.value(4).toString();
        r.ProCond = c.value(5).toString();
        r.ProAGL = c.value(6).toInt();
        r.ProAGH = c.value(7).toInt();
        r.ProEng = c.value(8).toDouble();
        r.ProFlg = c.value(9).toInt() != 0;
        r.PrtFG = c.value(10).toInt() != 0;
        // Programs that share a number share its conditions, as the master/detail link does.
        for (int i : byNumber.value(r.ProNo.toCaseFolded()))
            programs[i].conditions.append(r);
    }
    return programs;
}

std::optional<ProgramRow> ProgramStore::findByName(const QString& name)
{
    return ProgramLookup(m_db).find(name);
}

ProgramLookup::ProgramLookup(Database& db) : m_db(db), m_master(db.kind() == FileKind::Master)
{
    const Engine& e = db.engine();
    m_sql =
        QStringLiteral("SELECT %1 FROM ZUPRO WHERE %2 = %3 ORDER BY MKEY LIMIT 1")
            .arg(programColumns(m_master, true), e.caseless(QStringLiteral("ProName")), e.caselessValue());
    // On SQLite the statement is prepared once for all the names; on the
    // server each look-up is one round trip either way.
    if (db.onServer()) return;
    m_query = std::make_unique<QSqlQuery>(db.sql());
    m_query->setForwardOnly(true);
    m_query->prepare(m_sql);
}

ProgramLookup::~ProgramLookup() = default;

std::optional<ProgramRow> ProgramLookup::find(const QString& name)
{
    std::optional<ProgramRow> found;
    if (!m_query) {
        SqlRows rows;
        if (m_db.run(m_sql, {name}, &rows) && !rows.isEmpty()) found = readProgram(rows.first(), m_master);
        return found;
    }
    m_query->bindValue(0, name);
    if (m_query->exec() && m_query->next()) found = readProgram(*m_query, m_master);
    m_query->finish(); // the statement stays prepared; its read lock does not
    return found;
}

Status ProgramStore::append(ProgramRow& r)
{
    const bool master = m_db.kind() == FileKind::Master;
    QStringList columns = {QStringLiteral("ProNo"),   QStringLiteral("ProName"), QStringLiteral("ProData"),
                           QStringLiteral("ProPict"), QStringLiteral("ProScal"), QStringLiteral("ProFN")};
    QVariantList values = {r.ProNo, r.ProName, r.ProData, r.ProPict, int(r.ProScal), r.ProFN};
    const char* groups[] = {"ProScrp", "ProPrg", "ProParm"};
    const std::array<QString, 4>* arrays[] = {&r.ProScrp, &r.ProPrg, &r.ProParm};
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 4; ++i) {
            columns << QStringLiteral("%1%2").arg(QLatin1String(groups[g])).arg(i + 1);
            values << (*arrays[g])[size_t(i)];
        }
    columns << QStringLiteral("PrtFG");
    values << int(r.PrtFG);
    if (master) {
        for (int i = 0; i < 3; ++i) {
            columns << QStringLiteral("ProMed%1").arg(i + 1);
            values << r.ProMed[size_t(i)];
        }
        for (int i = 0; i < 5; ++i) {
            columns << QStringLiteral("ProHel%1").arg(i + 1);
            values << r.ProHel[size_t(i)];
        }
    }
    SqlRows rows;
    const Status st =
        m_db.run(QStringLiteral("INSERT INTO ZUPRO (%1) VALUES (%2) RETURNING MKEY%3")
                     .arg(columns.join(QStringLiteral(", ")),
                          QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')),
                          master ? QString() : QStringLiteral(", ROWVER")),
                 values, &rows);
    if (!st) return st;
    r.MKEY = rows.value(0).value(0).toLongLong();
    if (!master) r.ROWVER = rows.value(0).value(1).toLongLong();
    return st;
}

Status ProgramStore::appendCondition(ConditionRow& r)
{
    const bool master = m_db.kind() == FileKind::Master;
    SqlRows rows;
    const Status st =
        m_db.run(QStringLiteral(
                     "INSERT INTO ZUPRDT (ProNo, ProSubN, ProNote, ProAnd, ProCond, ProAGL, ProAGH, ProEng, "
                     "ProFlg, PrtFG) VALUES (?,?,?,?,?,?,?,?,?,?) RETURNING MKEY%1")
                     .arg(master ? QString() : QStringLiteral(", ROWVER")),
                 {r.ProNo, r.ProSubN, r.ProNote, r.ProAnd, r.ProCond, r.ProAGL, r.ProAGH, r.ProEng,
                  int(r.ProFlg), int(r.PrtFG)},
                 &rows);
    if (!st) return st;
    r.MKEY = rows.value(0).value(0).toLongLong();
    if (!master) r.ROWVER = rows.value(0).value(1).toLongLong();
    return st;
}

std::optional<KnowledgeRow> KnowledgeStore::get(int mkey)
{
    const QStringList& fields = knowledgeTextFields();
    SqlRows rows;
    if (!m_db.run(QStringLiteral("SELECT MKEY, %1, DtGpM FROM ZUMTDB WHERE MKEY = ?")
                      .arg(fields.join(QStringLiteral(", "))),
                  {mkey}, &rows) ||
        rows.isEmpty())
        return std::nullopt;
    const SqlRow& q = rows.first();
    KnowledgeRow r;
    r.MKEY = q.value(0).toInt();
    for (int i = 0; i < fields.size(); ++i)
        r.texts[size_t(i)] = q.value(1 + i).toString();
    r.DtGpM = q.value(1 + int(fields.size())).toByteArray();
    return r;
}

QVector<int> KnowledgeStore::keys()
{
    QVector<int> k;
    SqlRows rows;
    if (m_db.run(QStringLiteral("SELECT MKEY FROM ZUMTDB ORDER BY MKEY"), {}, &rows))
        for (const SqlRow& r : rows)
            k.append(r.value(0).toInt());
    return k;
}

} // namespace lumo
