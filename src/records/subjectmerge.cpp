#include "records/subjectmerge.h"

#include "base/formats.h"
#include "records/engine.h"
#include "records/subjects.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The subject's columns in subjectColumns() order, for the JSON of a merge.
const char* const kColumns[] = {"MKEY",   "CUSTNO", "NAME",    "SEX",    "DBIRTH", "ADDR",
                                "TEL",    "TEL2",   "TEL3",    "EMAIL",  "MEMO",   "BTYPE",
                                "HEIGHT", "WEIGHT", "CUSTCAT", "CUSTFG", "PrtFG"};

// Texts keep whether they were NULL: the lists order NULL before an empty
// text, so an undone merge gives back exactly what was there.
QJsonValue text(const QString& s)
{
    return s.isNull() ? QJsonValue() : QJsonValue(s);
}

QString text(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isNull() ? QString() : v.toString();
}

QJsonObject toJson(const SubjectRow& s)
{
    return {{QStringLiteral("MKEY"), QString::number(s.MKEY)},
            {QStringLiteral("CUSTNO"), text(s.CUSTNO)},
            {QStringLiteral("NAME"), text(s.NAME)},
            {QStringLiteral("SEX"), s.SEX},
            {QStringLiteral("DBIRTH"), s.DBIRTH},
            {QStringLiteral("ADDR"), text(s.ADDR)},
            {QStringLiteral("TEL"), text(s.TEL)},
            {QStringLiteral("TEL2"), text(s.TEL2)},
            {QStringLiteral("TEL3"), text(s.TEL3)},
            {QStringLiteral("EMAIL"), text(s.EMAIL)},
            {QStringLiteral("MEMO"), text(s.MEMO)},
            {QStringLiteral("BTYPE"), text(s.BTYPE)},
            {QStringLiteral("HEIGHT"), s.HEIGHT},
            {QStringLiteral("WEIGHT"), s.WEIGHT},
            {QStringLiteral("CUSTCAT"), text(s.CUSTCAT)},
            {QStringLiteral("CUSTFG"), text(s.CUSTFG)},
            {QStringLiteral("PrtFG"), s.PrtFG}};
}

SubjectRow fromJson(const QJsonObject& o)
{
    SubjectRow s;
    s.MKEY = o.value(QStringLiteral("MKEY")).toString().toLongLong();
    s.CUSTNO = text(o, "CUSTNO");
    s.NAME = text(o, "NAME");
    s.SEX = o.value(QStringLiteral("SEX")).toBool();
    s.DBIRTH = o.value(QStringLiteral("DBIRTH")).toDouble();
    s.ADDR = text(o, "ADDR");
    s.TEL = text(o, "TEL");
    s.TEL2 = text(o, "TEL2");
    s.TEL3 = text(o, "TEL3");
    s.EMAIL = text(o, "EMAIL");
    s.MEMO = text(o, "MEMO");
    s.BTYPE = text(o, "BTYPE");
    s.HEIGHT = o.value(QStringLiteral("HEIGHT")).toDouble();
    s.WEIGHT = o.value(QStringLiteral("WEIGHT")).toDouble();
    s.CUSTCAT = text(o, "CUSTCAT");
    s.CUSTFG = text(o, "CUSTFG");
    s.PrtFG = o.value(QStringLiteral("PrtFG")).toBool();
    return s;
}

QString jsonText(const QJsonObject& o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QVariantList values(const SubjectRow& s)
{
    return {s.MKEY,  s.CUSTNO, s.NAME,  s.SEX ? 1 : 0, s.DBIRTH, s.ADDR,    s.TEL,    s.TEL2,         s.TEL3,
            s.EMAIL, s.MEMO,   s.BTYPE, s.HEIGHT,      s.WEIGHT, s.CUSTCAT, s.CUSTFG, s.PrtFG ? 1 : 0};
}

// A subject number compared without regard to case, in the engine's words
// ("a01" and "A01" are one subject on either engine).
QString sameNumber(Database& db, const QString& column = QStringLiteral("CUSTNO"))
{
    return db.engine().caseless(column) + QStringLiteral(" = ") + db.engine().caselessValue();
}

bool run(QSqlQuery& q, const QString& sql, const QVariantList& binds)
{
    q.prepare(sql);
    for (const QVariant& v : binds)
        q.addBindValue(v);
    return q.exec();
}

// Writes every field of the row under its key (the number included).
bool rewrite(QSqlQuery& q, const SubjectRow& s)
{
    QStringList sets;
    for (size_t i = 1; i < std::size(kColumns); ++i)
        sets << QLatin1String(kColumns[i]) + QStringLiteral(" = ?");
    QVariantList v = values(s);
    v.append(v.takeFirst());
    // The row's version rises: another workstation holding the row is told of the change when it saves.
    sets << QStringLiteral("ROWVER = ROWVER + 1");
    return run(q, QStringLiteral("UPDATE ZUCUST SET %1 WHERE MKEY = ?").arg(sets.join(QStringLiteral(", "))),
               v);
}

bool insertWithKey(QSqlQuery& q, const SubjectRow& s)
{
    QStringList names;
    for (const char* c : kColumns)
        names << QLatin1String(c);
    const QString marks = QStringList(int(names.size()), QStringLiteral("?")).join(QLatin1Char(','));
    return run(q,
               QStringLiteral("INSERT INTO ZUCUST (%1) VALUES (%2)").arg(names.join(QLatin1Char(',')), marks),
               values(s));
}

// Subjects other than the two holding the number.
qint64 othersHolding(Database& db, QSqlQuery& q, const QString& custNo, qint64 a, qint64 b)
{
    if (!run(q,
             QStringLiteral("SELECT COUNT(*) FROM ZUCUST WHERE %1 AND MKEY <> ? AND MKEY <> ?")
                 .arg(sameNumber(db)),
             {custNo, a, b}) ||
        !q.next())
        return -1;
    return q.value(0).toLongLong();
}

Status failed(const QSqlQuery& q)
{
    return Status::failure(sqlError(q));
}

} // namespace

const char* mergeFieldLabel(MergeField f)
{
    static const char* labels[] = {"編號", "姓名", "性別", "生日",   "地址",
                                   "電話", "行動", "傳真", "E-Mail", "備註"};
    return labels[int(f)];
}

QString mergeFieldText(const SubjectRow& s, MergeField f)
{
    switch (f) {
    case MergeField::CUSTNO:
        return s.CUSTNO;
    case MergeField::NAME:
        return s.NAME;
    case MergeField::SEX:
        return s.SEX ? u("男") : u("女");
    case MergeField::DBIRTH:
        return isNoBirthDate(s.DBIRTH) ? QString() : shortDateOfDay(s.DBIRTH);
    case MergeField::ADDR:
        return s.ADDR;
    case MergeField::TEL:
        return s.TEL;
    case MergeField::TEL2:
        return s.TEL2;
    case MergeField::TEL3:
        return s.TEL3;
    case MergeField::EMAIL:
        return s.EMAIL;
    case MergeField::MEMO:
        return s.MEMO;
    }
    return {};
}

SubjectRow mergedSubject(const SubjectRow& kept, const SubjectRow& other, const MergeChoice& c)
{
    SubjectRow m = kept;
    auto pick = [&c](MergeField f, auto& into, const auto& theirs) {
        if (c[size_t(f)]) into = theirs;
    };
    pick(MergeField::CUSTNO, m.CUSTNO, other.CUSTNO);
    pick(MergeField::NAME, m.NAME, other.NAME);
    pick(MergeField::SEX, m.SEX, other.SEX);
    pick(MergeField::DBIRTH, m.DBIRTH, other.DBIRTH);
    pick(MergeField::ADDR, m.ADDR, other.ADDR);
    pick(MergeField::TEL, m.TEL, other.TEL);
    pick(MergeField::TEL2, m.TEL2, other.TEL2);
    pick(MergeField::TEL3, m.TEL3, other.TEL3);
    pick(MergeField::EMAIL, m.EMAIL, other.EMAIL);
    pick(MergeField::MEMO, m.MEMO, other.MEMO);
    for (auto [mine, theirs] :
         {std::pair{&m.BTYPE, &other.BTYPE}, {&m.CUSTCAT, &other.CUSTCAT}, {&m.CUSTFG, &other.CUSTFG}})
        if (mine->trimmed().isEmpty()) *mine = *theirs;
    if (m.HEIGHT == 0) m.HEIGHT = other.HEIGHT;
    if (m.WEIGHT == 0) m.WEIGHT = other.WEIGHT;
    return m;
}

namespace {

// The two subjects locked against other workstations until the commit, in key
// order (two merges of one pair, in either direction, then wait for each
// other instead of each waiting for the other), and as they are now.
Status lockPair(Database& db, const SubjectRow& kept, const SubjectRow& other, SubjectRow* keptNow,
                SubjectRow* otherNow)
{
    SqlRows rows;
    if (Status s = db.run(QStringLiteral("SELECT %1 FROM ZUCUST WHERE MKEY = ? OR MKEY = ? ORDER BY MKEY%2")
                              .arg(subjectColumns(), db.engine().lockingRead()),
                          {kept.MKEY, other.MKEY}, &rows);
        !s)
        return s;
    int found = 0;
    for (const SqlRow& r : rows) {
        const SubjectRow row = readSubject(r);
        SubjectRow* into = row.MKEY == kept.MKEY ? keptNow : otherNow;
        const SubjectRow& seen = row.MKEY == kept.MKEY ? kept : other;
        // Another workstation's edit or merge since the operator chose: the
        // choice was made on values that are no longer there.
        if (row.ROWVER != seen.ROWVER) break;
        *into = row;
        ++found;
    }
    if (found != 2) return Status::failure(u("受測者已由其他工作站刪除／修改，沒有合併任何資料。"));
    return Status::success();
}

} // namespace

QString mergeAuditText(const SubjectRow& kept, const SubjectRow& other, const MergeChoice& choice, int moved)
{
    QStringList taken;
    for (int f = 0; f < MergeFieldCount; ++f)
        if (choice[size_t(f)]) taken << u(mergeFieldLabel(MergeField(f)));
    return u("保留 %1 %2，併入 %3 %4 (已刪除)；取自被併入者：%5；測量資料 %6 筆")
        .arg(kept.CUSTNO, kept.NAME, other.CUSTNO, other.NAME,
             taken.isEmpty() ? u("無") : taken.join(u("、")))
        .arg(moved);
}

Status mergeSubjects(Database& db, const SubjectRow& keptSeen, const SubjectRow& otherSeen,
                     const MergeChoice& choice, double now, int* movedMeasurements, QString* auditText)
{
    if (keptSeen.MKEY == otherSeen.MKEY) return Status::failure(u("請選擇兩位不同的受測者"));
    Transaction t(db);
    if (!t.active()) return t.begun();
    SubjectRow keptRow, otherRow;
    if (Status s = lockPair(db, keptSeen, otherSeen, &keptRow, &otherRow); !s) return s;
    const SubjectRow* kept = &keptRow;
    const SubjectRow* other = &otherRow;
    const qint64 keptKey = kept->MKEY, otherKey = other->MKEY;
    QSqlQuery q(db.sql());
    for (const QString& number : {kept->CUSTNO, other->CUSTNO}) {
        const qint64 n = othersHolding(db, q, number, keptKey, otherKey);
        if (n != 0)
            return n < 0 ? failed(q)
                         : Status::failure(
                               u("編號 %1 另有其他受測者使用，它們的測量資料無法分開；請先合併那些受測者。")
                                   .arg(number));
    }
    const SubjectRow merged = mergedSubject(*kept, *other, choice);
    MergeRecord record{now, *kept, *other, {}};
    if (!run(q,
             QStringLiteral("SELECT MKEY, CUSTNO FROM ZUDATA WHERE %1 OR %1 ORDER BY MKEY")
                 .arg(sameNumber(db)),
             {kept->CUSTNO, other->CUSTNO}))
        return failed(q);
    while (q.next())
        record.moved.append({q.value(0).toLongLong(), q.value(1).toString()});
    QJsonArray moved;
    for (const auto& [key, number] : record.moved)
        moved.append(QJsonArray{QString::number(key), text(number)});
    if (!run(q,
             QStringLiteral("UPDATE ZUDATA SET CUSTNO = ?, ROWVER = ROWVER + 1 WHERE %1 OR %1")
                 .arg(sameNumber(db)),
             {merged.CUSTNO, kept->CUSTNO, other->CUSTNO}) ||
        !rewrite(q, merged) || !run(q, QStringLiteral("DELETE FROM ZUCUST WHERE MKEY = ?"), {otherKey}) ||
        // Only the last merge can be undone: the one before it is forgotten here.
        !run(q, QStringLiteral("DELETE FROM ZUMERGE"), {}) ||
        !run(q,
             QStringLiteral(
                 "INSERT INTO ZUMERGE (MERGEDATE, KEPTKEY, KEPTBEFORE, REMOVED, MOVED) VALUES (?,?,?,?,?)"),
             {now, keptKey, jsonText(toJson(*kept)), jsonText(toJson(*other)),
              QString::fromUtf8(QJsonDocument(moved).toJson(QJsonDocument::Compact))}))
        return failed(q);
    if (Status s = t.commit(); !s) return s;
    if (movedMeasurements) *movedMeasurements = int(record.moved.size());
    if (auditText) *auditText = mergeAuditText(*kept, *other, choice, int(record.moved.size()));
    return Status::success();
}

namespace {

std::optional<MergeRecord> readLastMerge(Database& db, const QString& locking)
{
    SqlRows rows;
    if (!db.run(QStringLiteral("SELECT MERGEDATE, KEPTBEFORE, REMOVED, MOVED FROM ZUMERGE ORDER BY MKEY DESC "
                               "LIMIT 1%1")
                    .arg(locking),
                {}, &rows) ||
        rows.isEmpty())
        return std::nullopt;
    const SqlRow& v = rows.first();
    MergeRecord r;
    r.when = v.value(0).toDouble();
    r.keptBefore = fromJson(QJsonDocument::fromJson(v.value(1).toString().toUtf8()).object());
    r.removed = fromJson(QJsonDocument::fromJson(v.value(2).toString().toUtf8()).object());
    for (const QJsonValue& m : QJsonDocument::fromJson(v.value(3).toString().toUtf8()).array()) {
        const QJsonArray pair = m.toArray();
        r.moved.append(
            {pair.at(0).toString().toLongLong(), pair.at(1).isNull() ? QString() : pair.at(1).toString()});
    }
    // A row that does not read back whole is no merge that can be undone.
    if (r.keptBefore.MKEY <= 0 || r.removed.MKEY <= 0) return std::nullopt;
    return r;
}

} // namespace

std::optional<MergeRecord> lastMerge(Database& db)
{
    return readLastMerge(db, QString());
}

Status undoLastMerge(Database& db, QString* auditText)
{
    Transaction t(db);
    if (!t.active()) return t.begun();
    // The merge's row and the kept subject are locked until the commit: an
    // undo on another workstation at the same time finds the merge gone.
    const auto r = readLastMerge(db, db.engine().lockingRead());
    if (!r) return Status::failure(u("沒有可以復原的合併"));
    SqlRows kept;
    if (Status s =
            db.run(QStringLiteral("SELECT MKEY FROM ZUCUST WHERE MKEY = ?%1").arg(db.engine().lockingRead()),
                   {r->keptBefore.MKEY}, &kept);
        !s)
        return s;
    SubjectStore store(db);
    if (kept.isEmpty()) return Status::failure(u("合併後的受測者已經刪除，無法復原這次合併。"));
    if (store.get(r->removed.MKEY))
        return Status::failure(u("被合併的受測者已經在資料庫中，無法復原這次合併。"));
    QSqlQuery q(db.sql());
    for (const QString& number : {r->removed.CUSTNO, r->keptBefore.CUSTNO}) {
        const qint64 n = othersHolding(db, q, number, r->keptBefore.MKEY, r->removed.MKEY);
        if (n != 0)
            return n < 0 ? failed(q)
                         : Status::failure(u("編號 %1 已有其他受測者使用，無法復原這次合併。").arg(number));
    }
    if (!insertWithKey(q, r->removed) || !rewrite(q, r->keptBefore)) return failed(q);
    for (const auto& [key, number] : r->moved)
        if (!run(q, QStringLiteral("UPDATE ZUDATA SET CUSTNO = ?, ROWVER = ROWVER + 1 WHERE MKEY = ?"),
                 {number, key}))
            return failed(q);
    if (!run(q, QStringLiteral("DELETE FROM ZUMERGE"), {})) return failed(q);
    if (Status s = t.commit(); !s) return s;
    if (auditText)
        *auditText = u("放回 %1 %2；%3 %4 回到合併前的資料；測量資料 %5 筆回到原來的編號")
                         .arg(r->removed.CUSTNO, r->removed.NAME, r->keptBefore.CUSTNO, r->keptBefore.NAME)
                         .arg(r->moved.size());
    return Status::success();
}

QVector<QPair<QString, int>> duplicateNumbers(Database& db)
{
    QVector<QPair<QString, int>> out;
    QSqlQuery q(db.sql());
    const QString number = db.engine().caseless(QStringLiteral("CUSTNO"));
    if (q.exec(QStringLiteral("SELECT MIN(CUSTNO), COUNT(*) FROM ZUCUST GROUP BY %1 HAVING COUNT(*) > 1 "
                              "ORDER BY %1")
                   .arg(number)))
        while (q.next())
            out.append({q.value(0).toString(), q.value(1).toInt()});
    return out;
}

QVector<SubjectRow> subjectsWithNumber(Database& db, const QString& custNo, int limit)
{
    QVector<SubjectRow> out;
    SqlRows rows;
    if (db.run(QStringLiteral("SELECT %1 FROM ZUCUST WHERE %2 ORDER BY MKEY LIMIT ?")
                   .arg(subjectColumns(), sameNumber(db)),
               {custNo, limit}, &rows))
        for (const SqlRow& r : rows)
            out.append(readSubject(r));
    return out;
}

qint64 highestSubjectKey(Database& db)
{
    QSqlQuery q(db.sql());
    return q.exec(QStringLiteral("SELECT MAX(MKEY) FROM ZUCUST")) && q.next() ? q.value(0).toLongLong() : 0;
}

qint64 importedDuplicates(Database& db, qint64 keyBefore)
{
    QSqlQuery q(db.sql());
    return run(q,
               QStringLiteral("SELECT COUNT(*) FROM ZUCUST n WHERE n.MKEY > ? AND EXISTS "
                              "(SELECT 1 FROM ZUCUST o WHERE o.MKEY <= ? AND %1 = %2)")
                   .arg(db.engine().caseless(QStringLiteral("o.CUSTNO")),
                        db.engine().caseless(QStringLiteral("n.CUSTNO"))),
               {keyBefore, keyBefore}) &&
                   q.next()
               ? q.value(0).toLongLong()
               : 0;
}

} // namespace lumo
