// The filter's search index over the subjects' number, name and telephones,
// part of the one schema definition (createSchema makes it). Two full-text
// tables hold no text of their own, only the index, kept by triggers so that
// every writer (imports, conversions, other workstations) keeps it true:
// - ZUCUST_TRIGRAMS, every run of three characters: finds a text of three or
//   more characters as a phrase of its runs, in any script, case folded;
// - ZUCUST_PAIRS, every run of two characters (and the last character of a
//   field alone) as a word, with an index of one-character prefixes: finds a
//   text of one or two characters, which runs of three cannot hold.
// Both also index DIGITS: each telephone without its separators (where it had
// any), so digits typed find a number however it was written.
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
const char* const kTelephones[] = {"TEL", "TEL2", "TEL3"};
constexpr int kDigitsLength = 3 * 30 + 2; // the three telephones, a blank between

// The separators of the pair index are blanks, everything that is neither a
// letter nor a digit, except the punctuation telephones and numbers hold.
const char* const kPairTokenizer = "unicode61 remove_diacritics 0 tokenchars '-+()#*./_@&'";

QString columnList(bool digits)
{
    QStringList names;
    for (const Searched& s : kSearched)
        names << QLatin1String(s.column);
    if (digits) names << QStringLiteral("DIGITS");
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
QString valuesOf(const QString& row, bool pairs, bool digits)
{
    QStringList values;
    for (const Searched& s : kSearched) {
        const QString v = QStringLiteral("coalesce(%1.%2,'')").arg(row, QLatin1String(s.column));
        values << (pairs ? pairsOf(v, s.length) : v);
    }
    const QString d =
        row == QLatin1String("ZUCUST") ? QStringLiteral("ZUCUST.DIGITS") : QStringLiteral("DIGITS");
    if (digits) values << (pairs ? pairsOf(d, kDigitsLength) : d);
    return values.join(QStringLiteral(", "));
}

QString withoutSeparators(QString value)
{
    for (const char* c = TelephoneSeparators; *c; ++c)
        value = QStringLiteral("replace(%1,'%2','')").arg(value, QString(QLatin1Char(*c)));
    return value;
}

// A source of one row with its DIGITS: over the trigger's row (new or old),
// or over every row of ZUCUST (the index made from the rows). A telephone
// without separators adds nothing: its digits are indexed as it is.
QString digitsSource(const QString& row)
{
    const bool table = row == QLatin1String("ZUCUST");
    QStringList stripped, kept;
    for (const char* tel : kTelephones) {
        const QString v = QStringLiteral("coalesce(%1.%2,'')").arg(row, QLatin1String(tel));
        stripped << QStringLiteral("%1 AS D%2").arg(withoutSeparators(v), QLatin1String(tel));
        kept << QStringLiteral("CASE WHEN D%1 = %2 THEN '' ELSE D%1 END").arg(QLatin1String(tel), v);
    }
    const QString inner =
        table ? QStringLiteral("SELECT *, %1 FROM ZUCUST").arg(stripped.join(QStringLiteral(", ")))
              : QStringLiteral("SELECT %1").arg(stripped.join(QStringLiteral(", ")));
    return QStringLiteral(" FROM (SELECT %1%2 AS DIGITS FROM (%3) AS ZUCUST) AS ZUCUST")
        .arg(table ? QStringLiteral("*, ") : QString(), kept.join(QStringLiteral("||' '||")), inner);
}

bool isPairs(const char* table)
{
    return qstrcmp(table, "ZUCUST_PAIRS") == 0;
}

// One row into an index, or its 'delete' (a contentless table is told the
// values it was given).
QString rowStatement(const char* table, const QString& row, bool remove, bool digits)
{
    const QString t = QLatin1String(table);
    const QString values = valuesOf(row, isPairs(table), digits);
    const QString into = remove ? QStringLiteral("%1(%1, rowid, %2)").arg(t, columnList(digits))
                                : QStringLiteral("%1(rowid, %2)").arg(t, columnList(digits));
    const QString head = remove ? QStringLiteral("'delete', ") : QString();
    if (!digits) return QStringLiteral("INSERT INTO %1 VALUES (%2%3.MKEY, %4);").arg(into, head, row, values);
    return QStringLiteral("INSERT INTO %1 SELECT %2%3.MKEY, %4%5;")
        .arg(into, head, row, values, digitsSource(row));
}

const char* const kTables[] = {"ZUCUST_TRIGRAMS", "ZUCUST_PAIRS"};
const char* const kTriggers[] = {"ZUCUST_FIND_INSERT", "ZUCUST_FIND_DELETE", "ZUCUST_FIND_UPDATE"};

// The objects of the index in the form of this version, or (digits false)
// in the form earlier versions made.
QStringList objectStatements(bool digits)
{
    QStringList s;
    s << QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS ZUCUST_TRIGRAMS USING fts5(%1, content='', "
                        "columnsize=0, tokenize='trigram')")
             .arg(columnList(digits));
    s << QStringLiteral(
             "CREATE VIRTUAL TABLE IF NOT EXISTS ZUCUST_PAIRS USING fts5(%1, content='', columnsize=0, "
             "detail=none, prefix='1', tokenize=\"%2\")")
             .arg(columnList(digits), QLatin1String(kPairTokenizer));
    const QString n = QStringLiteral("new"), o = QStringLiteral("old");
    s << QStringLiteral(
             "CREATE TRIGGER IF NOT EXISTS ZUCUST_FIND_INSERT AFTER INSERT ON ZUCUST BEGIN %1 %2 END")
             .arg(rowStatement(kTables[0], n, false, digits), rowStatement(kTables[1], n, false, digits));
    s << QStringLiteral(
             "CREATE TRIGGER IF NOT EXISTS ZUCUST_FIND_DELETE AFTER DELETE ON ZUCUST BEGIN %1 %2 END")
             .arg(rowStatement(kTables[0], o, true, digits), rowStatement(kTables[1], o, true, digits));
    s << QStringLiteral(
             "CREATE TRIGGER IF NOT EXISTS ZUCUST_FIND_UPDATE AFTER UPDATE OF %1 ON ZUCUST BEGIN %2 %3 "
             "%4 %5 END")
             .arg(columnList(false), rowStatement(kTables[0], o, true, digits),
                  rowStatement(kTables[1], o, true, digits), rowStatement(kTables[0], n, false, digits),
                  rowStatement(kTables[1], n, false, digits));
    return s;
}

// Present, and in this version's form (earlier ones had no DIGITS).
bool hasCurrentObject(QSqlDatabase& db, const char* type, const char* name)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = ? AND name = ? COLLATE NOCASE"));
    q.addBindValue(QLatin1String(type));
    q.addBindValue(QLatin1String(name));
    return q.exec() && q.next() && q.value(0).toString().contains(QLatin1String("DIGITS"));
}

} // namespace

bool hasFindIndex(QSqlDatabase& db)
{
    for (const char* t : kTables)
        if (!hasCurrentObject(db, "table", t)) return false;
    for (const char* t : kTriggers)
        if (!hasCurrentObject(db, "trigger", t)) return false;
    return true;
}

QStringList findIndexStatements(QSqlDatabase& db)
{
    QStringList s;
    // Without all of its triggers the index may have missed changes, and one
    // of an earlier form lacks the telephones' digits: it is made again from
    // the rows.
    if (!hasFindIndex(db)) {
        for (const char* t : kTriggers)
            s << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(t));
        for (const char* t : kTables)
            s << QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(t));
        const QStringList objects = objectStatements(true);
        s << objects.mid(0, 2);
        for (const char* t : kTables)
            s << QStringLiteral("INSERT INTO %1(rowid, %2) SELECT ZUCUST.MKEY, %3%4")
                     .arg(QLatin1String(t), columnList(true),
                          valuesOf(QStringLiteral("ZUCUST"), isPairs(t), true),
                          digitsSource(QStringLiteral("ZUCUST")));
        s << objects.mid(2);
        return s;
    }
    return objectStatements(true);
}

QStringList earlierFindIndexStatements()
{
    return objectStatements(false);
}

} // namespace lumo
