#include "records/schemaobjects.h"

#include "base/visibletext.h"

#include <QAtomicInteger>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <functional>
#include <sqlite3.h>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Statements with which earlier versions of this program made objects outside
// the definition; files they wrote carry them. CALIBLOG was made on the fly
// by the first calibration of a practice.
const char* const kEarlierForms[] = {
    "CREATE TABLE IF NOT EXISTS CALIBLOG (LOGKEY INTEGER PRIMARY KEY AUTOINCREMENT, "
    "CALTIME REAL NOT NULL, CALSTD INTEGER NOT NULL, CALHIGH INTEGER NOT NULL, "
    "PREVSTD INTEGER NOT NULL, PREVHIGH INTEGER NOT NULL, SUCCESS INTEGER NOT NULL)",
};

// One accepted form of an object.
struct Form
{
    QString sql;            // normalized
    QString head, tail;     // a table's statement around its column list
    QSet<QString> elements; // a table's columns and constraints, normalized
};

struct Known
{
    QString type;
    QVector<Form> forms;
};

using Reference = QHash<QString, Known>; // by upper-case name

Form formOf(const SchemaObject& o)
{
    Form f;
    f.sql = normalizedSql(o.sql);
    QStringList elements;
    if (o.type == QLatin1String("table") && splitCreateTable(o.sql, &f.head, &elements, &f.tail))
        for (const QString& e : elements)
            f.elements.insert(normalizedSql(e));
    f.head = normalizedSql(f.head);
    f.tail = normalizedSql(f.tail);
    return f;
}

// Runs statements in a database in memory and adds what they made.
void addObjectsOf(Reference& ref, const std::function<void(QSqlDatabase&)>& make)
{
    static QAtomicInteger<int> counter;
    const QString name = QStringLiteral("lumo-reference-%1").arg(counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (db.open()) {
            make(db);
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master"));
            while (q.next()) {
                const SchemaObject o{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
                Known& k = ref[o.name.toUpper()];
                k.type = o.type;
                k.forms << formOf(o);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

Reference buildReference(FileKind kind)
{
    Reference ref;
    addObjectsOf(ref, [kind](QSqlDatabase& db) { createSchema(db, kind, nullptr); });
    if (kind == FileKind::Main) {
        for (const char* statement : kEarlierForms)
            addObjectsOf(
                ref, [statement](QSqlDatabase& db) { QSqlQuery(db).exec(QString::fromLatin1(statement)); });
        // The filter's index as earlier versions made it, beside this version's tables.
        addObjectsOf(ref, [](QSqlDatabase& db) {
            createSchema(db, FileKind::Main, nullptr);
            QSqlQuery q(db);
            for (const char* o :
                 {"TRIGGER ZUCUST_FIND_INSERT", "TRIGGER ZUCUST_FIND_DELETE", "TRIGGER ZUCUST_FIND_UPDATE",
                  "TABLE ZUCUST_TRIGRAMS", "TABLE ZUCUST_PAIRS"})
                q.exec(QStringLiteral("DROP %1").arg(QLatin1String(o)));
            for (const QString& statement : earlierFindIndexStatements())
                q.exec(statement);
        });
    }
    return ref;
}

const Reference& referenceOf(FileKind kind)
{
    static const Reference main = buildReference(FileKind::Main);
    static const Reference master = buildReference(FileKind::Master);
    static const Reference knowledge = buildReference(FileKind::Knowledge);
    switch (kind) {
    case FileKind::Main:
        return main;
    case FileKind::Master:
        return master;
    case FileKind::Knowledge:
        break;
    }
    return knowledge;
}

// SQLite's own bookkeeping, which it makes by itself.
bool isSqlitesOwn(const SchemaObject& o)
{
    const QString name = o.name.toLower();
    if (o.type == QLatin1String("table"))
        return name == QLatin1String("sqlite_sequence") ||
               (name.startsWith(QLatin1String("sqlite_stat")) && name.size() == 12 &&
                name.at(11) >= QLatin1Char('1') && name.at(11) <= QLatin1Char('4'));
    return o.type == QLatin1String("index") && name.startsWith(QLatin1String("sqlite_autoindex_")) &&
           o.sql.isEmpty();
}

QString typeText(const QString& type)
{
    if (type == QLatin1String("trigger")) return u("觸發程序");
    if (type == QLatin1String("view")) return u("檢視表");
    if (type == QLatin1String("index")) return u("索引");
    if (type == QLatin1String("table")) return u("資料表");
    return visibleText(type, 20);
}

QString refused(const QString& what)
{
    return what + u("；讀取時可能執行其中的程式碼，因此不予使用，檔案維持原狀。");
}

Status foreignObject(const SchemaObject& o)
{
    return Status::failure(
        refused(u("含有不屬於 LUMO 的資料庫物件：%1 %2").arg(typeText(o.type), visibleText(o.name, 60))));
}

// A table of the file against the accepted forms of its name: the same
// statement around the column list, and each element one the form has (a
// file of an earlier version may lack columns, never declare one otherwise).
Status checkTable(const SchemaObject& o, const Known& known)
{
    QString head, tail;
    QStringList elements;
    if (!splitCreateTable(o.sql, &head, &elements, &tail)) return foreignObject(o);
    QString differing;
    for (const Form& f : known.forms) {
        if (normalizedSql(head) != f.head || normalizedSql(tail) != f.tail) {
            differing = o.sql;
            continue;
        }
        differing.clear();
        for (const QString& e : elements)
            if (!f.elements.contains(normalizedSql(e))) {
                differing = e.trimmed();
                break;
            }
        if (differing.isEmpty()) return Status::success();
    }
    return Status::failure(refused(
        u("資料表 %1 的宣告與 LUMO 不同：「%2」").arg(visibleText(o.name, 60), visibleText(differing, 120))));
}

} // namespace

QString normalizedSql(const QString& sql)
{
    QString out;
    out.reserve(sql.size());
    bool pendingBlank = false;
    auto isTight = [](QChar c) {
        return c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char(',');
    };
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        // Comments are blanks to SQLite.
        if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
            pendingBlank = true;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            pendingBlank = true;
            continue;
        }
        if (c.isSpace()) {
            pendingBlank = true;
            ++i;
            continue;
        }
        if (pendingBlank && !out.isEmpty() && !isTight(out.back()) && !isTight(c)) out += QLatin1Char(' ');
        pendingBlank = false;
        // Quoted text and names keep their case and blanks.
        const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') ||
            c == QLatin1Char('[')) {
            qsizetype end = sql.indexOf(close, i + 1);
            end = end < 0 ? n : end + 1;
            out += QStringView(sql).mid(i, end - i);
            i = end;
            continue;
        }
        out += c.toUpper();
        ++i;
    }
    return out;
}

bool splitCreateTable(const QString& sql, QString* head, QStringList* elements, QString* tail)
{
    elements->clear();
    int depth = 0;
    qsizetype start = -1;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') ||
            c == QLatin1Char('[')) {
            const qsizetype end = sql.indexOf(c == QLatin1Char('[') ? QLatin1Char(']') : c, i + 1);
            if (end < 0) return false;
            i = end;
        } else if (c == QLatin1Char('(')) {
            if (depth++ == 0) {
                *head = sql.left(i);
                start = i + 1;
            }
        } else if (c == QLatin1Char(',') && depth == 1) {
            *elements << sql.mid(start, i - start);
            start = i + 1;
        } else if (c == QLatin1Char(')') && depth > 0 && --depth == 0) {
            *elements << sql.mid(start, i - start);
            *tail = sql.mid(i + 1);
            return true;
        }
    }
    return false;
}

Status readSchemaObjects(sqlite3* db, QVector<SchemaObject>* objects)
{
    objects->clear();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT type, name, sql FROM sqlite_master", -1, &st, nullptr) != SQLITE_OK)
        return Status::failure(QString::fromUtf8(sqlite3_errmsg(db)));
    auto text = [st](int i) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                 sqlite3_column_bytes(st, i));
    };
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        objects->append({text(0), text(1), text(2)});
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return Status::failure(QString::fromUtf8(sqlite3_errmsg(db)));
    return Status::success();
}

Status checkSchemaObjects(const QVector<SchemaObject>& objects, FileKind kind)
{
    const Reference& ref = referenceOf(kind);
    for (const SchemaObject& o : objects) {
        if (isSqlitesOwn(o)) continue;
        const auto it = ref.constFind(o.name.toUpper());
        if (it == ref.constEnd() || it->type != o.type) return foreignObject(o);
        if (o.type == QLatin1String("table")) {
            const Status s = checkTable(o, *it);
            if (!s) return s;
            continue;
        }
        const QString sql = normalizedSql(o.sql);
        bool known = false;
        for (const Form& f : it->forms)
            known = known || f.sql == sql;
        if (!known) return foreignObject(o);
    }
    return Status::success();
}

Status checkSchemaObjects(sqlite3* db, FileKind kind)
{
    QVector<SchemaObject> objects;
    const Status s = readSchemaObjects(db, &objects);
    if (!s) return s;
    return checkSchemaObjects(objects, kind);
}

void distrustSchema(sqlite3* db)
{
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
}

void trustCheckedSchema(sqlite3* db)
{
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 1, nullptr);
}

} // namespace lumo
