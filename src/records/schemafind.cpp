// The filter's search index over the subjects' number, name and telephones,
// part of the one schema definition (createSchema makes it). Two full-text
// tables hold no text of their own, only the index, kept by triggers so that
// every writer (imports, conversions, other workstations) keeps it true:
// - ZUCUST_TRIGRAMS, every run of three characters: finds a text of three or
//   more characters as a phrase of its runs, in any script, case folded;
// - ZUCUST_PAIRS, every run of two characters (and the last character of a
//   field alone) as a word, with an index of one-character prefixes: finds a
//   text of one or two characters, which runs of three cannot hold.
#include "records/schema.h"

#include <QSqlQuery>

namespace lumo {
namespace {

// The searched columns with the longest text their editors accept; runs of
// two characters are written out up to that length (a trigger can only use
// SQL's own functions), longer texts are found by runs of three.
struct Searched
{
    const char* column;
    int length;
};
const Searched kSearched[] = {{"CUSTNO", 15}, {"NAME", 20}, {"TEL", 30}, {"TEL2", 30}, {"TEL3", 30}};

// The separators of the pair index are blanks, everything that is neither a
// letter nor a digit, except the punctuation telephones and numbers hold.
const char* const kPairTokenizer = "unicode61 remove_diacritics 0 tokenchars '-+()#*./_@&'";

QString columnList()
{
    QStringList names;
    for (const Searched& s : kSearched)
        names << QLatin1String(s.column);
    return names.join(QStringLiteral(", "));
}

// "substr(x,1,2)||' '||substr(x,2,2)||..." over the value of a column.
QString pairsOf(const QString& value, int length)
{
    QStringList parts;
    for (int i = 1; i <= length; ++i)
        parts << QStringLiteral("substr(%1,%2,2)").arg(value).arg(i);
    return parts.join(QStringLiteral("||' '||"));
}

// The values one row gives each index; `row` is new, old or ZUCUST.
QString valuesOf(const QString& row, bool pairs)
{
    QStringList values;
    for (const Searched& s : kSearched) {
        const QString v = QStringLiteral("coalesce(%1.%2,'')").arg(row, QLatin1String(s.column));
        values << (pairs ? pairsOf(v, s.length) : v);
    }
    return values.join(QStringLiteral(", "));
}

QString insertInto(const char* table, const QString& row)
{
    return QStringLiteral("INSERT INTO %1(rowid, %2) VALUES (%3.MKEY, %4);")
        .arg(QLatin1String(table), columnList(), row, valuesOf(row, qstrcmp(table, "ZUCUST_PAIRS") == 0));
}

QString deleteFrom(const char* table, const QString& row)
{
    return QStringLiteral("INSERT INTO %1(%1, rowid, %2) VALUES ('delete', %3.MKEY, %4);")
        .arg(QLatin1String(table), columnList(), row, valuesOf(row, qstrcmp(table, "ZUCUST_PAIRS") == 0));
}

const char* const kTables[] = {"ZUCUST_TRIGRAMS", "ZUCUST_PAIRS"};
const char* const kTriggers[] = {"ZUCUST_FIND_INSERT", "ZUCUST_FIND_DELETE", "ZUCUST_FIND_UPDATE"};

bool hasObject(QSqlDatabase& db, const char* type, const char* name)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = ? AND name = ? COLLATE NOCASE"));
    q.addBindValue(QLatin1String(type));
    q.addBindValue(QLatin1String(name));
    return q.exec() && q.next();
}

} // namespace

bool hasFindIndex(QSqlDatabase& db)
{
    for (const char* t : kTables)
        if (!hasObject(db, "table", t)) return false;
    for (const char* t : kTriggers)
        if (!hasObject(db, "trigger", t)) return false;
    return true;
}

QStringList findIndexStatements(QSqlDatabase& db)
{
    QStringList s;
    // Without all of its triggers the index may have missed changes: it is
    // made again from the rows.
    const bool whole = hasFindIndex(db);
    const bool existed = hasObject(db, "table", kTables[0]) && hasObject(db, "table", kTables[1]);
    s << QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS ZUCUST_TRIGRAMS USING fts5(%1, content='', "
                        "columnsize=0, tokenize='trigram')")
             .arg(columnList());
    s << QStringLiteral(
             "CREATE VIRTUAL TABLE IF NOT EXISTS ZUCUST_PAIRS USING fts5(%1, content='', columnsize=0, "
             "detail=none, prefix='1', tokenize=\"%2\")")
             .arg(columnList(), QLatin1String(kPairTokenizer));
    if (!whole) {
        if (existed)
            for (const char* t : kTables)
                s << QStringLiteral("INSERT INTO %1(%1) VALUES ('delete-all')").arg(QLatin1String(t));
        for (const char* t : kTables)
            s << QStringLiteral("INSERT INTO %1(rowid, %2) SELECT MKEY, %3 FROM ZUCUST")
                     .arg(QLatin1String(t), columnList(),
                          valuesOf(QStringLiteral("ZUCUST"), t == kTables[1]));
    }
    const QString n = QStringLiteral("new"), o = QStringLiteral("old");
    s << QStringLiteral(
             "CREATE TRIGGER IF NOT EXISTS ZUCUST_FIND_INSERT AFTER INSERT ON ZUCUST BEGIN %1 %2 END")
             .arg(insertInto(kTables[0], n), insertInto(kTables[1], n));
    s << QStringLiteral(
             "CREATE TRIGGER IF NOT EXISTS ZUCUST_FIND_DELETE AFTER DELETE ON ZUCUST BEGIN %1 %2 END")
             .arg(deleteFrom(kTables[0], o), deleteFrom(kTables[1], o));
    s << QStringLiteral(
             "CREATE TRIGGER IF NOT EXISTS ZUCUST_FIND_UPDATE AFTER UPDATE OF %1 ON ZUCUST BEGIN %2 %3 "
             "%4 %5 END")
             .arg(columnList(), deleteFrom(kTables[0], o), deleteFrom(kTables[1], o),
                  insertInto(kTables[0], n), insertInto(kTables[1], n));
    return s;
}

} // namespace lumo
