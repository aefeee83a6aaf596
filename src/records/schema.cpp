#include "records/schema.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

ColumnDef key(bool autoNumber = true)
{
    return {QStringLiteral("MKEY"), ColumnType::Key,
            autoNumber ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                       : QStringLiteral("INTEGER PRIMARY KEY")};
}
// Keys and link fields compare without regard to case, as the editors and
// the matching expect ("a01" and "A01" name one subject).
ColumnDef link(const char* name)
{
    return {QLatin1String(name), ColumnType::Text, QStringLiteral("TEXT COLLATE NOCASE DEFAULT ''")};
}
ColumnDef text(const QString& name)
{
    return {name, ColumnType::Text, QStringLiteral("TEXT DEFAULT ''")};
}
ColumnDef text(const char* name)
{
    return text(QLatin1String(name));
}
ColumnDef real(const QString& name)
{
    return {name, ColumnType::Real, QStringLiteral("REAL DEFAULT 0")};
}
ColumnDef real(const char* name)
{
    return real(QLatin1String(name));
}
ColumnDef integer(const char* name, int value = 0)
{
    return {QLatin1String(name), ColumnType::Integer, QStringLiteral("INTEGER DEFAULT %1").arg(value)};
}
ColumnDef blob(const char* name)
{
    return {QLatin1String(name), ColumnType::Blob, QStringLiteral("BLOB")};
}
// Answers that may be missing: NULL, never a 0 that reads as an answer.
ColumnDef optionalReal(const char* name)
{
    return {QLatin1String(name), ColumnType::Real, QStringLiteral("REAL")};
}
ColumnDef optionalInteger(const char* name)
{
    return {QLatin1String(name), ColumnType::Integer, QStringLiteral("INTEGER")};
}

void numbered(QVector<ColumnDef>& columns, const char* stem, int count, ColumnDef (*make)(const QString&))
{
    for (int i = 1; i <= count; ++i)
        columns << make(QLatin1String(stem) + QString::number(i));
}

TableDef zucust()
{
    TableDef t{QStringLiteral("ZUCUST"),
               1,
               {key(), link("CUSTNO"), text("NAME"), integer("SEX", 1), real("DBIRTH")}};
    for (const char* f : {"ADDR", "TEL", "TEL2", "TEL3", "EMAIL", "MEMO", "BTYPE"})
        t.columns << text(f);
    t.columns << real("HEIGHT") << real("WEIGHT") << text("CUSTCAT") << text("CUSTFG") << integer("PrtFG");
    return t;
}

TableDef zudata()
{
    TableDef t{QStringLiteral("ZUDATA"), 1, {key(), link("CUSTNO"), real("ZUDATE"), integer("ZUVOTA")}};
    numbered(t.columns, "ZU", 24, real);
    t.columns << text("MEMO1") << text("MEMO2") << text("AutoKey") << integer("PrtFG");
    return t;
}

TableDef zupro(bool master)
{
    TableDef t{QStringLiteral("ZUPRO"),
               1,
               {key(), link("ProNo"), link("ProName"), text("ProData"), blob("ProPict")}};
    t.columns << integer("ProScal") << text("ProFN");
    for (const char* stem : {"ProScrp", "ProPrg", "ProParm"})
        numbered(t.columns, stem, 4, text);
    if (master) {
        numbered(t.columns, "ProMed", 3, text);
        numbered(t.columns, "ProHel", 5, text);
    }
    t.columns << integer("PrtFG");
    return t;
}

TableDef zuprdt()
{
    TableDef t{QStringLiteral("ZUPRDT"), 1, {key(), link("ProNo")}};
    for (const char* f : {"ProSubN", "ProNote", "ProAnd", "ProCond"})
        t.columns << text(f);
    t.columns << integer("ProAGL") << integer("ProAGH") << real("ProEng") << integer("ProFlg")
              << integer("PrtFG");
    return t;
}

TableDef zumtdb()
{
    TableDef t{QStringLiteral("ZUMTDB"), 1, {key(false)}};
    for (const QString& f : knowledgeTextFields())
        t.columns << text(f);
    t.columns << blob("DtGpM");
    return t;
}

// One row per older database converted into this one, written in the same
// transaction as the converted rows: a file found here is never converted again.
TableDef lumoconv()
{
    return {QStringLiteral("LUMOCONV"),
            2,
            {key(),
             {QStringLiteral("SOURCEHASH"), ColumnType::Text, QStringLiteral("TEXT NOT NULL UNIQUE")},
             real("CONVDATE")}};
}

// The last merge of two subjects, until the next one: the kept subject's
// fields before it, the removed subject whole and the measurements whose
// number it changed, each as JSON text (a merge is one row, read whole).
TableDef zumerge()
{
    return {
        QStringLiteral("ZUMERGE"),
        5,
        {key(), real("MERGEDATE"), integer("KEPTKEY"), text("KEPTBEFORE"), text("REMOVED"), text("MOVED")}};
}

// One row per calibration, successful or not: the values measured, the values
// in use before, and whether the measured ones were taken into use (a failed
// calibration is only when the operator chooses it).
TableDef caliblog()
{
    auto column = [](const char* name, ColumnType type, const char* declaration) {
        return ColumnDef{QLatin1String(name), type, QLatin1String(declaration)};
    };
    return {QStringLiteral("CALIBLOG"),
            3,
            {column("LOGKEY", ColumnType::Key, "INTEGER PRIMARY KEY AUTOINCREMENT"),
             column("CALTIME", ColumnType::Real, "REAL NOT NULL"), // day number with the time of day
             column("CALSTD", ColumnType::Integer, "INTEGER NOT NULL"),
             column("CALHIGH", ColumnType::Integer, "INTEGER NOT NULL"),
             column("PREVSTD", ColumnType::Integer, "INTEGER NOT NULL"),
             column("PREVHIGH", ColumnType::Integer, "INTEGER NOT NULL"),
             column("SUCCESS", ColumnType::Integer, "INTEGER NOT NULL"),
             column("APPLIED", ColumnType::Integer, "INTEGER NOT NULL DEFAULT 1")}};
}

// What a file of an older version needs beyond the tables it lacks. A log
// made on the fly by version 2 gets APPLIED: every calibration of that
// version was taken into use, failed or not, hence the default 1.
const char* const kUpgradeTo3 = "ALTER TABLE CALIBLOG ADD COLUMN APPLIED INTEGER NOT NULL DEFAULT 1";

// How each measurement was taken, one row per ZUDATA row (DATAKEY = its
// MKEY): the 24 grade letters, and the grades' figures with a compact sample
// trace of every point and the points measured twice (measurement/qualitycodec).
TableDef zuqual()
{
    return {QStringLiteral("ZUQUAL"),
            4,
            {key(),
             {QStringLiteral("DATAKEY"), ColumnType::Integer, QStringLiteral("INTEGER NOT NULL")},
             text("GRADES"),
             blob("QUALITY")}};
}

// The conditions of a measurement, each answer optional: minutes of rest,
// hours since the last meal, exercise today (1 none, 2 light, 3 hard), room
// temperature (°C) and relative humidity (%), skin preparation (1 dry,
// 2 wiped, 3 moistened), the operator's note. The time of day is ZUDATE's.
TableDef zucond()
{
    return {QStringLiteral("ZUCOND"),
            4,
            {key(),
             {QStringLiteral("DATAKEY"), ColumnType::Integer, QStringLiteral("INTEGER NOT NULL")},
             optionalReal("RESTMIN"),
             optionalReal("MEALHRS"),
             optionalInteger("EXERCISE"),
             optionalReal("ROOMTEMP"),
             optionalReal("HUMIDITY"),
             optionalInteger("SKINPREP"),
             text("OPNOTE")}};
}

// One index per sort field of the subject lists (ties broken by MKEY so that
// every order is total and stable), the named orders, and the link fields.
const char* const kMainIndexes[] = {
    "CREATE INDEX IF NOT EXISTS ZUCS1 ON ZUCUST (CUSTNO, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_NAME ON ZUCUST (NAME, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_SEX ON ZUCUST (SEX, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_DBIRTH ON ZUCUST (DBIRTH, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_TEL ON ZUCUST (TEL, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_ADDR ON ZUCUST (ADDR, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_EMAIL ON ZUCUST (EMAIL, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_TEL2 ON ZUCUST (TEL2, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCUST_TEL3 ON ZUCUST (TEL3, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUDT1 ON ZUDATA (CUSTNO, ZUDATE, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUQUAL_DATA ON ZUQUAL (DATAKEY)",
    "CREATE INDEX IF NOT EXISTS ZUCOND_DATA ON ZUCOND (DATAKEY)",
};
const char* const kProgramIndexes[] = {
    "CREATE INDEX IF NOT EXISTS ZuProB ON ZUPRO (ProNo, MKEY)",
    "CREATE INDEX IF NOT EXISTS ZUPRO_NAME ON ZUPRO (ProName)",
    "CREATE INDEX IF NOT EXISTS ZUPRDT_PRONO ON ZUPRDT (ProNo, MKEY)",
};

bool exec(QSqlDatabase& db, const QString& sql, QString* error)
{
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    if (error) *error = q.lastError().text();
    return false;
}

QString createStatement(const TableDef& t)
{
    QStringList columns;
    for (const ColumnDef& c : t.columns)
        columns << c.name + QLatin1Char(' ') + c.declaration;
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (\n  %2)")
        .arg(t.name, columns.join(QStringLiteral(",\n  ")));
}

// SQLite's rules for the affinity of a declared type.
enum class Affinity
{
    Integer,
    Text,
    Blob,
    Real,
    Numeric
};
Affinity affinityOf(const QString& declared)
{
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT"))) return Affinity::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) ||
        t.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (t.isEmpty() || t.contains(QLatin1String("BLOB"))) return Affinity::Blob;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

const char* typeName(ColumnType t)
{
    switch (t) {
    case ColumnType::Key:
        return "INTEGER PRIMARY KEY";
    case ColumnType::Integer:
        return "INTEGER";
    case ColumnType::Real:
        return "REAL";
    case ColumnType::Text:
        return "TEXT";
    case ColumnType::Blob:
        return "BLOB";
    }
    return "";
}

// Whether a column of the file stores values the way the definition does.
bool fits(ColumnType want, const QString& declared, bool primaryKey)
{
    const Affinity a = affinityOf(declared);
    switch (want) {
    case ColumnType::Key:
        return primaryKey && declared.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
    case ColumnType::Integer:
    case ColumnType::Real:
        return a == Affinity::Integer || a == Affinity::Real || a == Affinity::Numeric;
    case ColumnType::Text:
        return a == Affinity::Text;
    case ColumnType::Blob:
        return a == Affinity::Blob;
    }
    return false;
}

Status checkColumns(QSqlDatabase& db, const TableDef& t)
{
    struct Found
    {
        QString type;
        bool primaryKey;
    };
    QHash<QString, Found> found; // by folded name: field names compare without regard to case
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(t.name)))
        return Status::failure(q.lastError().text());
    while (q.next())
        found.insert(q.value(1).toString().toCaseFolded(), {q.value(2).toString(), q.value(5).toInt() > 0});
    for (const ColumnDef& c : t.columns) {
        auto it = found.constFind(c.name.toCaseFolded());
        if (it == found.constEnd()) return Status::failure(u("資料表 %1 缺少欄位 %2").arg(t.name, c.name));
        if (!fits(c.type, it->type, it->primaryKey))
            return Status::failure(u("資料表 %1 的欄位 %2 型態為 %3，應為 %4")
                                       .arg(t.name, c.name,
                                            it->type.isEmpty() ? QStringLiteral("(none)") : it->type,
                                            QLatin1String(typeName(c.type))));
    }
    return Status::success();
}

int fileVersion(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA user_version")) && q.next() ? q.value(0).toInt() : 0;
}

bool hasTable(QSqlDatabase& db, const QString& name)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    q.addBindValue(name);
    return q.exec() && q.next();
}

bool hasColumn(QSqlDatabase& db, const QString& table, const QString& column)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table))) return false;
    while (q.next())
        if (q.value(1).toString().compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace

const QStringList& knowledgeTextFields()
{
    static const QStringList fields = {
        QStringLiteral("DtEA1"), QStringLiteral("DtEA2"),  QStringLiteral("DtEA3"),  QStringLiteral("DtEA4"),
        QStringLiteral("DtEA5"), QStringLiteral("DtPot1"), QStringLiteral("DtPot2"), QStringLiteral("DtPot3"),
        QStringLiteral("DtMA1"), QStringLiteral("DtMA2"),  QStringLiteral("DtMA3"),  QStringLiteral("DtMH1"),
        QStringLiteral("DtMH2"), QStringLiteral("DtMH3"),  QStringLiteral("DtMH4"),  QStringLiteral("DtMH5"),
        QStringLiteral("DtML1"), QStringLiteral("DtML2"),  QStringLiteral("DtML3"),  QStringLiteral("DtML4"),
        QStringLiteral("DtML5")};
    return fields;
}

const QVector<TableDef>& tablesOf(FileKind kind)
{
    static const QVector<TableDef> main = {zucust(),   zudata(), zupro(false), zuprdt(), lumoconv(),
                                           caliblog(), zuqual(), zucond(),     zumerge()};
    static const QVector<TableDef> master = {zupro(true), zuprdt()};
    static const QVector<TableDef> knowledge = {zumtdb()};
    switch (kind) {
    case FileKind::Main:
        return main;
    case FileKind::Master:
        return master;
    case FileKind::Knowledge:
        return knowledge;
    }
    return knowledge;
}

QStringList requiredTables(FileKind kind)
{
    QStringList names;
    for (const TableDef& t : tablesOf(kind))
        if (t.since == 1) names << t.name;
    return names;
}

bool createSchema(QSqlDatabase& db, FileKind kind, QString* error)
{
    QStringList statements;
    if (kind == FileKind::Main && fileVersion(db) < 3 && hasTable(db, QStringLiteral("CALIBLOG")) &&
        !hasColumn(db, QStringLiteral("CALIBLOG"), QStringLiteral("APPLIED")))
        statements << QLatin1String(kUpgradeTo3);
    for (const TableDef& t : tablesOf(kind))
        statements << createStatement(t);
    if (kind == FileKind::Main)
        for (const char* s : kMainIndexes)
            statements << QString::fromLatin1(s);
    if (kind != FileKind::Knowledge)
        for (const char* s : kProgramIndexes)
            statements << QString::fromLatin1(s);
    if (kind == FileKind::Main) statements << findIndexStatements(db);
    statements << QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion);
    for (const QString& s : statements)
        if (!exec(db, s, error)) return false;
    return true;
}

bool hasAllIndexes(QSqlDatabase& db, FileKind kind)
{
    QStringList wanted;
    auto add = [&wanted](const char* statement) {
        // "CREATE INDEX IF NOT EXISTS <name> ON ..."
        wanted << QString::fromLatin1(statement).section(QLatin1Char(' '), 5, 5).toUpper();
    };
    if (kind == FileKind::Main)
        for (const char* s : kMainIndexes)
            add(s);
    if (kind != FileKind::Knowledge)
        for (const char* s : kProgramIndexes)
            add(s);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"))) return false;
    QStringList found;
    while (q.next())
        found << q.value(0).toString().toUpper();
    for (const QString& name : wanted)
        if (!found.contains(name)) return false;
    return kind != FileKind::Main || hasFindIndex(db);
}

Status checkLayout(QSqlDatabase& db, FileKind kind, bool withColumns)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return Status::failure(q.lastError().text());
    const int version = q.value(0).toInt();
    if (version > SchemaVersion)
        return Status::failure(u("資料庫版本為 %1，比本程式所用的版本 %2 新；請以新版的 LUMO 開啟")
                                   .arg(QString::number(version), QString::number(SchemaVersion)));
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return Status::failure(q.lastError().text());
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString().toUpper();
    for (const TableDef& t : tablesOf(kind)) {
        // A table of a later version than the file's is the upgrade's to
        // create or to complete.
        if (t.since > std::max(version, 1)) continue;
        if (!tables.contains(t.name.toUpper())) return Status::failure(u("缺少資料表 %1").arg(t.name));
        if (!withColumns) continue;
        Status s = checkColumns(db, t);
        if (!s) return s;
    }
    return Status::success();
}

} // namespace lumo
