#include "records/schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace lumo {
namespace {

// Keys and link fields compare without regard to case, as the editors and
// the matching expect ("a01" and "A01" name one subject).
const char* const kZucust = R"(CREATE TABLE IF NOT EXISTS ZUCUST (
  MKEY INTEGER PRIMARY KEY AUTOINCREMENT,
  CUSTNO TEXT COLLATE NOCASE DEFAULT '',
  NAME TEXT DEFAULT '',
  SEX INTEGER DEFAULT 1,
  DBIRTH REAL DEFAULT 0,
  ADDR TEXT DEFAULT '',
  TEL TEXT DEFAULT '',
  TEL2 TEXT DEFAULT '',
  TEL3 TEXT DEFAULT '',
  EMAIL TEXT DEFAULT '',
  MEMO TEXT DEFAULT '',
  BTYPE TEXT DEFAULT '',
  HEIGHT REAL DEFAULT 0,
  WEIGHT REAL DEFAULT 0,
  CUSTCAT TEXT DEFAULT '',
  CUSTFG TEXT DEFAULT '',
  PrtFG INTEGER DEFAULT 0))";

QString zudata()
{
    QString s = QStringLiteral(R"(CREATE TABLE IF NOT EXISTS ZUDATA (
  MKEY INTEGER PRIMARY KEY AUTOINCREMENT,
  CUSTNO TEXT COLLATE NOCASE DEFAULT '',
  ZUDATE REAL DEFAULT 0,
  ZUVOTA INTEGER DEFAULT 0,
)");
    for (int i = 1; i <= 24; ++i) s += QStringLiteral("  ZU%1 REAL DEFAULT 0,\n").arg(i);
    s += QStringLiteral(R"(  MEMO1 TEXT DEFAULT '',
  MEMO2 TEXT DEFAULT '',
  AutoKey TEXT DEFAULT '',
  PrtFG INTEGER DEFAULT 0))");
    return s;
}

QString zupro(bool master)
{
    QString s = QStringLiteral(R"(CREATE TABLE IF NOT EXISTS ZUPRO (
  MKEY INTEGER PRIMARY KEY AUTOINCREMENT,
  ProNo TEXT COLLATE NOCASE DEFAULT '',
  ProName TEXT COLLATE NOCASE DEFAULT '',
  ProData TEXT DEFAULT '',
  ProPict BLOB,
  ProScal INTEGER DEFAULT 0,
  ProFN TEXT DEFAULT '',
)");
    for (const char* f : {"ProScrp", "ProPrg", "ProParm"})
        for (int i = 1; i <= 4; ++i) s += QStringLiteral("  %1%2 TEXT DEFAULT '',\n").arg(QLatin1String(f)).arg(i);
    if (master) {
        for (int i = 1; i <= 3; ++i) s += QStringLiteral("  ProMed%1 TEXT DEFAULT '',\n").arg(i);
        for (int i = 1; i <= 5; ++i) s += QStringLiteral("  ProHel%1 TEXT DEFAULT '',\n").arg(i);
    }
    s += QStringLiteral("  PrtFG INTEGER DEFAULT 0)");
    return s;
}

const char* const kZuprdt = R"(CREATE TABLE IF NOT EXISTS ZUPRDT (
  MKEY INTEGER PRIMARY KEY AUTOINCREMENT,
  ProNo TEXT COLLATE NOCASE DEFAULT '',
  ProSubN TEXT DEFAULT '',
  ProNote TEXT DEFAULT '',
  ProAnd TEXT DEFAULT '',
  ProCond TEXT DEFAULT '',
  ProAGL INTEGER DEFAULT 0,
  ProAGH INTEGER DEFAULT 0,
  ProEng REAL DEFAULT 0,
  ProFlg INTEGER DEFAULT 0,
  PrtFG INTEGER DEFAULT 0))";

QString zumtdb()
{
    QString s = QStringLiteral("CREATE TABLE IF NOT EXISTS ZUMTDB (\n  MKEY INTEGER PRIMARY KEY,\n");
    for (const QString& f : knowledgeTextFields()) s += QStringLiteral("  %1 TEXT DEFAULT '',\n").arg(f);
    s += QStringLiteral("  DtGpM BLOB)");
    return s;
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

} // namespace

const QStringList& knowledgeTextFields()
{
    static const QStringList fields = {
        QStringLiteral("DtEA1"), QStringLiteral("DtEA2"), QStringLiteral("DtEA3"), QStringLiteral("DtEA4"),
        QStringLiteral("DtEA5"), QStringLiteral("DtPot1"), QStringLiteral("DtPot2"), QStringLiteral("DtPot3"),
        QStringLiteral("DtMA1"), QStringLiteral("DtMA2"), QStringLiteral("DtMA3"), QStringLiteral("DtMH1"),
        QStringLiteral("DtMH2"), QStringLiteral("DtMH3"), QStringLiteral("DtMH4"), QStringLiteral("DtMH5"),
        QStringLiteral("DtML1"), QStringLiteral("DtML2"), QStringLiteral("DtML3"), QStringLiteral("DtML4"),
        QStringLiteral("DtML5")};
    return fields;
}

QStringList requiredTables(FileKind kind)
{
    switch (kind) {
    case FileKind::Main:
        return {QStringLiteral("ZUCUST"), QStringLiteral("ZUDATA"), QStringLiteral("ZUPRO"), QStringLiteral("ZUPRDT")};
    case FileKind::Master: return {QStringLiteral("ZUPRO"), QStringLiteral("ZUPRDT")};
    case FileKind::Knowledge: return {QStringLiteral("ZUMTDB")};
    }
    return {};
}

bool createSchema(QSqlDatabase& db, FileKind kind, QString* error)
{
    QStringList statements;
    switch (kind) {
    case FileKind::Main:
        statements << QString::fromLatin1(kZucust) << zudata() << zupro(false) << QString::fromLatin1(kZuprdt);
        for (const char* s : kMainIndexes) statements << QString::fromLatin1(s);
        for (const char* s : kProgramIndexes) statements << QString::fromLatin1(s);
        break;
    case FileKind::Master:
        statements << zupro(true) << QString::fromLatin1(kZuprdt);
        for (const char* s : kProgramIndexes) statements << QString::fromLatin1(s);
        break;
    case FileKind::Knowledge: statements << zumtdb(); break;
    }
    statements << QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion);
    for (const QString& s : statements)
        if (!exec(db, s, error)) return false;
    return true;
}

} // namespace lumo
