#include "records/subjects.h"

#include <QSqlQuery>

namespace lumo {
namespace {

constexpr int kPageSize = 100;
constexpr int kCacheLimit = 4000;

QString orderBy(SubjectField f, bool descending)
{
    const char* dir = descending ? " DESC" : " ASC";
    return QStringLiteral("%1%2, MKEY%2").arg(QLatin1String(subjectFieldColumn(f)), QLatin1String(dir));
}

// The least text greater than every text that begins with the prefix.
QString prefixEnd(const QString& prefix) { return prefix + QString::fromUcs4(U"\U0010FFFF", 1); }

} // namespace

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
    return Status::success();
}

Status SubjectStore::removeWithMeasurements(qint64 mkey)
{
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("DELETE FROM ZUDATA WHERE CUSTNO = (SELECT CUSTNO FROM ZUCUST WHERE MKEY = ?)"));
    q.addBindValue(mkey);
    if (!q.exec()) return Status::failure(sqlError(q));
    q.prepare(QStringLiteral("DELETE FROM ZUCUST WHERE MKEY = ?"));
    q.addBindValue(mkey);
    if (!q.exec()) return Status::failure(sqlError(q));
    return t.commit();
}

qint64 SubjectStore::count()
{
    QSqlQuery q(m_db.sql());
    if (q.exec(QStringLiteral("SELECT COUNT(*) FROM ZUCUST")) && q.next()) return q.value(0).toLongLong();
    return 0;
}

Status SubjectList::sort(SubjectField field, bool descending)
{
    m_field = field;
    m_descending = descending;
    return reload();
}

Status SubjectList::reload()
{
    m_keys.clear();
    m_positions.clear();
    m_cache.clear();
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT MKEY FROM ZUCUST ORDER BY %1").arg(orderBy(m_field, m_descending))))
        return Status::failure(sqlError(q));
    while (q.next()) m_keys.append(q.value(0).toLongLong());
    m_positions.reserve(m_keys.size());
    for (int i = 0; i < m_keys.size(); ++i) m_positions.insert(m_keys.at(i), i);
    return Status::success();
}

SubjectRow SubjectList::rowAt(int position)
{
    if (position < 0 || position >= m_keys.size()) return {};
    const qint64 key = m_keys.at(position);
    auto it = m_cache.constFind(key);
    if (it == m_cache.constEnd()) {
        fetchPage(position);
        it = m_cache.constFind(key);
        if (it == m_cache.constEnd()) return {}; // deleted meanwhile by another workstation
    }
    return it.value();
}

void SubjectList::fetchPage(int position)
{
    if (m_cache.size() > kCacheLimit) m_cache.clear();
    const int first = (position / kPageSize) * kPageSize;
    const int last = std::min<int>(first + kPageSize, int(m_keys.size()));
    QStringList keys;
    for (int i = first; i < last; ++i) keys << QString::number(m_keys.at(i));
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    // The keys are integers read from the table itself, never text from the user.
    if (!q.exec(QStringLiteral("SELECT %1 FROM ZUCUST WHERE MKEY IN (%2)").arg(subjectColumns(), keys.join(QLatin1Char(',')))))
        return;
    while (q.next()) {
        SubjectRow r = readSubject(q);
        m_cache.insert(r.MKEY, r);
    }
}

int SubjectList::findPrefix(SubjectField field, const QString& text)
{
    if (m_keys.isEmpty()) return -1;
    if (text.isEmpty()) return 0;
    const QLatin1String column(subjectFieldColumn(field));
    QSqlQuery q(m_db.sql());
    q.prepare(QStringLiteral("SELECT MKEY FROM ZUCUST WHERE %1 >= ? AND %1 < ? ORDER BY %2 LIMIT 1")
                  .arg(column, orderBy(m_field, m_descending)));
    q.addBindValue(text);
    q.addBindValue(prefixEnd(text));
    if (!q.exec() || !q.next()) return -1;
    return positionOf(q.value(0).toLongLong());
}

} // namespace lumo
