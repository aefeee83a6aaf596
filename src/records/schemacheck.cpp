// The layout check of a file: its version, tables and columns against the
// one definition, read without writing anything.
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

Status checkColumns(QSqlDatabase& db, const TableDef& t, int version)
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
        if (it == found.constEnd()) {
            // A column of a later version than the file's is the upgrade's to add.
            if (c.since > version) continue;
            return Status::failure(missingColumnMessage(t.name, c.name));
        }
        if (!fits(c.type, it->type, it->primaryKey))
            return Status::failure(columnTypeMessage(t.name, c.name, it->type, c.type));
    }
    return Status::success();
}

} // namespace

Status checkLayout(QSqlDatabase& db, FileKind kind, bool withColumns)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return Status::failure(q.lastError().text());
    const int version = q.value(0).toInt();
    if (version > SchemaVersion) return Status::failure(newerVersionMessage(version));
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
        Status s = checkColumns(db, t, std::max(version, 1));
        if (!s) return s;
    }
    return Status::success();
}

QString newerVersionMessage(int version)
{
    return u("資料庫版本為 %1，比本程式所用的版本 %2 新；請以新版的 LUMO 開啟")
        .arg(QString::number(version), QString::number(SchemaVersion));
}

QString missingColumnMessage(const QString& table, const QString& column)
{
    return u("資料表 %1 缺少欄位 %2").arg(table, column);
}

QString columnTypeMessage(const QString& table, const QString& column, const QString& found,
                          ColumnType wanted)
{
    return u("資料表 %1 的欄位 %2 型態為 %3，應為 %4")
        .arg(table, column, found.isEmpty() ? QStringLiteral("(none)") : found,
             QLatin1String(typeName(wanted)));
}

} // namespace lumo
