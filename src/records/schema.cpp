#include "records/schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace lumo {
namespace {

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
// Every save of a row names the version it read; the update raises it.
ColumnDef rowVersion()
{
    return {QLatin1String(RowVersionColumn), ColumnType::Integer,
            QStringLiteral("INTEGER NOT NULL DEFAULT 1"), RowVersionsSince};
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
    t.columns << real("HEIGHT") << real("WEIGHT") << text("CUSTCAT") << text("CUSTFG") << integer("PrtFG")
              << rowVersion();
    return t;
}

TableDef zudata()
{
    TableDef t{QStringLiteral("ZUDATA"), 1, {key(), link("CUSTNO"), real("ZUDATE"), integer("ZUVOTA")}};
    numbered(t.columns, "ZU", 24, real);
    t.columns << text("MEMO1") << text("MEMO2") << text("AutoKey") << integer("PrtFG") << rowVersion();
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
    // The delivered master programs are only read: their rows have no versions.
    if (!master) t.columns << rowVersion();
    return t;
}

TableDef zuprdt(bool master)
{
    TableDef t{QStringLiteral("ZUPRDT"), 1, {key(), link("ProNo")}};
    for (const char* f : {"ProSubN", "ProNote", "ProAnd", "ProCond"})
        t.columns << text(f);
    t.columns << integer("ProAGL") << integer("ProAGH") << real("ProEng") << integer("ProFlg")
              << integer("PrtFG");
    if (!master) t.columns << rowVersion();
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

// The kept row counts: one row per counted table, kept by its triggers.
TableDef lumocount()
{
    return {QLatin1String(KeptCountTable),
            KeptCountsSince,
            {{QStringLiteral("NAME"), ColumnType::Text, QStringLiteral("TEXT NOT NULL PRIMARY KEY"),
              KeptCountsSince},
             {QStringLiteral("ROWS"), ColumnType::Integer, QStringLiteral("INTEGER NOT NULL DEFAULT 0"),
              KeptCountsSince}}};
}

IndexDef index(const char* name, const char* table, std::initializer_list<const char*> columns)
{
    IndexDef d{QLatin1String(name), QLatin1String(table), {}};
    for (const char* c : columns)
        d.columns << QLatin1String(c);
    return d;
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
             blob("QUALITY"),
             // Points measured twice kept in QUALITY: the noise figures read only those blobs.
             {QStringLiteral("REPEATS"), ColumnType::Integer, QStringLiteral("INTEGER DEFAULT 0"),
              RepeatKeysSince}}};
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
             text("OPNOTE"),
             // A repeat: the MKEY of the first measurement of its repeat session.
             {QStringLiteral("REPEATOF"), ColumnType::Integer, QStringLiteral("INTEGER"), RepeatKeysSince}}};
}

// One index per sort field of the subject lists (ties broken by MKEY so that
// every order is total and stable), the named orders, and the link fields.
QVector<IndexDef> mainIndexes()
{
    return {index("ZUCS1", "ZUCUST", {"CUSTNO", "MKEY"}),
            index("ZUCUST_NAME", "ZUCUST", {"NAME", "MKEY"}),
            index("ZUCUST_SEX", "ZUCUST", {"SEX", "MKEY"}),
            index("ZUCUST_DBIRTH", "ZUCUST", {"DBIRTH", "MKEY"}),
            index("ZUCUST_TEL", "ZUCUST", {"TEL", "MKEY"}),
            index("ZUCUST_ADDR", "ZUCUST", {"ADDR", "MKEY"}),
            index("ZUCUST_EMAIL", "ZUCUST", {"EMAIL", "MKEY"}),
            index("ZUCUST_TEL2", "ZUCUST", {"TEL2", "MKEY"}),
            index("ZUCUST_TEL3", "ZUCUST", {"TEL3", "MKEY"}),
            index("ZUDT1", "ZUDATA", {"CUSTNO", "ZUDATE", "MKEY"}),
            index("ZUQUAL_DATA", "ZUQUAL", {"DATAKEY"}),
            index("ZUCOND_DATA", "ZUCOND", {"DATAKEY"})};
}
QVector<IndexDef> programIndexes()
{
    return {index("ZuProB", "ZUPRO", {"ProNo", "MKEY"}), index("ZUPRO_NAME", "ZUPRO", {"ProName"}),
            index("ZUPRDT_PRONO", "ZUPRDT", {"ProNo", "MKEY"})};
}

QString indexStatement(const IndexDef& d)
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
        .arg(d.name, d.table, d.columns.join(QStringLiteral(", ")));
}

// The triggers that keep LUMOCOUNT: every row added or removed by any writer
// moves its table's count in the same transaction.
QStringList countTriggers(const QString& table)
{
    const QString update = QStringLiteral("UPDATE %1 SET ROWS = ROWS %3 1 WHERE NAME = '%2'")
                               .arg(QLatin1String(KeptCountTable), table);
    return {QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_COUNT_ADDED AFTER INSERT ON %1 BEGIN %2; END")
                .arg(table, update.arg(QLatin1Char('+'))),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_COUNT_REMOVED AFTER DELETE ON %1 BEGIN %2; END")
                .arg(table, update.arg(QLatin1Char('-')))};
}

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
    static const QVector<TableDef> main = {zucust(),   zudata(),    zupro(false),    zuprdt(false),
                                           lumoconv(), caliblog(),  zuqual(),        zucond(),
                                           zumerge(),  lumocount(), operatorTable(), auditTable()};
    static const QVector<TableDef> master = {zupro(true), zuprdt(true)};
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

const QVector<IndexDef>& indexesOf(FileKind kind)
{
    static const QVector<IndexDef> main = mainIndexes() + programIndexes();
    static const QVector<IndexDef> master = programIndexes();
    static const QVector<IndexDef> knowledge;
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

const QStringList& countedTables(FileKind kind)
{
    static const QStringList main = {QStringLiteral("ZUCUST"), QStringLiteral("ZUDATA")};
    static const QStringList none;
    return kind == FileKind::Main ? main : none;
}

QString keyColumnOf(FileKind kind, const QString& table)
{
    for (const TableDef& t : tablesOf(kind))
        if (t.name.compare(table, Qt::CaseInsensitive) == 0)
            for (const ColumnDef& c : t.columns)
                if (c.type == ColumnType::Key) return c.name;
    return {};
}

bool isCaseless(const ColumnDef& c)
{
    return c.declaration.contains(QLatin1String("COLLATE NOCASE"), Qt::CaseInsensitive);
}

QStringList requiredTables(FileKind kind)
{
    QStringList names;
    for (const TableDef& t : tablesOf(kind))
        if (t.since == 1) names << t.name;
    return names;
}

namespace {

// The names of a table's columns in the file, folded.
QStringList columnsOf(QSqlDatabase& db, const QString& table)
{
    QStringList names;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
        while (q.next())
            names << q.value(1).toString().toCaseFolded();
    return names;
}

QStringList objectsOf(QSqlDatabase& db, const char* type)
{
    QStringList names;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = ?"));
    q.addBindValue(QLatin1String(type));
    if (q.exec())
        while (q.next())
            names << q.value(0).toString().toUpper();
    return names;
}

} // namespace

// Idempotent: every step creates only what the file lacks, so a file of any
// earlier version, or one that lost an index or a trigger, gets exactly what
// this version defines.
bool createSchema(QSqlDatabase& db, FileKind kind, QString* error)
{
    for (const TableDef& t : tablesOf(kind)) {
        if (!exec(db, createStatement(t), error)) return false;
        // Columns a later version brought to a table an older file already has.
        const QStringList present = columnsOf(db, t.name);
        for (const ColumnDef& c : t.columns)
            if (!present.contains(c.name.toCaseFolded()) &&
                !exec(db,
                      QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(t.name, c.name, c.declaration),
                      error))
                return false;
    }
    for (const IndexDef& d : indexesOf(kind))
        if (!exec(db, indexStatement(d), error)) return false;
    if (kind == FileKind::Main)
        for (const QString& statement : findIndexStatements(db))
            if (!exec(db, statement, error)) return false;
    const QStringList triggers = objectsOf(db, "trigger");
    for (const QString& table : countedTables(kind)) {
        const QStringList wanted = countTriggers(table);
        bool missing = false;
        for (const QString& statement : wanted) {
            // "CREATE TRIGGER IF NOT EXISTS <name> ..."
            missing = missing || !triggers.contains(statement.section(QLatin1Char(' '), 5, 5).toUpper());
            if (!exec(db, statement, error)) return false;
        }
        // Counted once, in the transaction that created the triggers, so no
        // change falls between the count and its first trigger; counted again
        // when a trigger was missing, since changes then went uncounted.
        const QString seed =
            QStringLiteral("INSERT INTO %1 (NAME, ROWS) SELECT '%2', COUNT(*) FROM %2 WHERE 1 "
                           "ON CONFLICT (NAME) DO %3")
                .arg(QLatin1String(KeptCountTable), table,
                     missing ? QStringLiteral("UPDATE SET ROWS = excluded.ROWS") : QStringLiteral("NOTHING"));
        if (!exec(db, seed, error)) return false;
    }
    if (kind == FileKind::Main)
        for (const QString& statement : auditGuardTriggers())
            if (!exec(db, statement, error)) return false;
    return exec(db, QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion), error);
}

bool hasAllIndexes(QSqlDatabase& db, FileKind kind)
{
    const QStringList indexes = objectsOf(db, "index");
    for (const IndexDef& d : indexesOf(kind))
        if (!indexes.contains(d.name.toUpper())) return false;
    // The kept counts are only true while their triggers are there.
    const QStringList triggers = objectsOf(db, "trigger");
    for (const QString& table : countedTables(kind))
        for (const QString& statement : countTriggers(table))
            if (!triggers.contains(statement.section(QLatin1Char(' '), 5, 5).toUpper())) return false;
    if (kind == FileKind::Main)
        for (const QString& statement : auditGuardTriggers())
            if (!triggers.contains(statement.section(QLatin1Char(' '), 5, 5).toUpper())) return false;
    return kind != FileKind::Main || hasFindIndex(db);
}

} // namespace lumo
