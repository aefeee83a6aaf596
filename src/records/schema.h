#pragma once
// The tables of every database file, defined once. Files are created from
// this definition and carry its version, so a later version can upgrade them,
// and a file found at start is checked against it before it is used.

#include "base/status.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

namespace lumo {

// 1: the four tables of the main database, the knowledge and master tables.
// 2: LUMOCONV, the record of the older databases already converted.
// 3: CALIBLOG, the calibration log, with APPLIED (version 2 made the table on
//    the fly when it first logged a calibration, without that column).
// 4: ZUQUAL and ZUCOND, how each measurement was taken (reading grades with
//    their samples, and the conditions), beside ZUDATA and keyed by its MKEY.
// 5: ZUMERGE, the last merge of two subjects, kept so it can be undone.
// 6: ZUCUST_TRIGRAMS and ZUCUST_PAIRS, the filter's index over the number,
//    name and telephones, with the triggers that keep it (schemafind.cpp);
//    made whenever a main file lacks it, whatever its version.
// 7: ROWVER, the version of each row of the four tables (a save of a row
//    another workstation changed meanwhile is refused), and LUMOCOUNT, the
//    kept row counts of ZUCUST and ZUDATA with the triggers that keep them.
// 8: LUMOOPER, the practice's operators, and LUMOAUDIT, the append-only log
//    of who did what with whose records (schemapractice.cpp). Both stay
//    empty until the first operator is created: practice mode is off till then.
// 9: ZUCOND.REPEATOF, the key of a repeat session stored with each repeat
//    (older measurements minutes apart are no pairs), and ZUQUAL.REPEATS,
//    the number of points measured twice in the quality blob.
// 10: DIGITS in the filter's index, the telephones without their separators;
//    an index of an earlier form is made again from the rows.
// A file of version N gets every table, column, index and trigger whose
// version is above N when it is opened for writing.
constexpr int SchemaVersion = 10;
inline constexpr int RepeatKeysSince = 9;

enum class FileKind
{
    Main,     // lumo4.mdb, Zuspa.mdb, ZuTran.mdb, lumo.mdb: ZUCUST, ZUDATA, ZUPRO, ZUPRDT
    Master,   // lumoMTW.mdb: ZUPRO (with the advice texts) and ZUPRDT
    Knowledge // lumoTW.mdb: ZUMTDB
};

// How a column stores its values; what the layout check compares.
enum class ColumnType
{
    Key,
    Integer,
    Real,
    Text,
    Blob
};

struct ColumnDef
{
    QString name;
    ColumnType type;
    QString declaration; // the column's text in CREATE TABLE after its name (SQLite's words)
    int since = 1;       // the schema version that brought the column
};

struct TableDef
{
    QString name;
    int since; // the schema version that brought the table
    QVector<ColumnDef> columns;
};

// The tables of a file of the kind, in creation order.
const QVector<TableDef>& tablesOf(FileKind kind);
// The tables of practice mode, in the main database (schemapractice.cpp).
inline constexpr int PracticeSince = 8;
TableDef operatorTable();
TableDef auditTable();
// What keeps LUMOAUDIT append-only (schemaaudit.cpp): SQLite's triggers, and
// the server's refusing function, its trigger and the revoked privileges.
QStringList auditGuardTriggers();
QString auditGuardFunctionPg();
QString auditGuardTriggerPg();
QString auditRevokePg();
// LUMO_AUDIT_LOCK(): the append's table lock with the owner's rights, for
// the logins that may only read and append (the schema's name quoted).
QString auditLockFunctionPg(const QString& quotedSchema);
QString auditLockRevokePg();
// After this many wrong passwords in a row the next try waits LoginWaitMs
// (the server's login function counts them as the program does on a file).
inline constexpr int LoginMaxFails = 5;
inline constexpr qint64 LoginWaitMs = 30000;
// The functions through which the rooms' logins reach the accounts and append
// to the log, with the owner's rights (pgpractice.cpp): their signatures, and
// the statements that make them, revoke them from PUBLIC, add the log's
// columns only the server fills, and take back older grants of writing.
const QStringList& practiceFunctionsPg();
QStringList practiceFunctionStatementsPg(const QString& quotedSchema);

// An index: its columns in order. Columns that compare without regard to case
// (COLLATE NOCASE in the definition) are indexed in that comparison's order.
struct IndexDef
{
    QString name;
    QString table;
    QStringList columns;
};
const QVector<IndexDef>& indexesOf(FileKind kind);

// The column that carries each row's version, and the tables whose rows carry one.
inline constexpr const char* RowVersionColumn = "ROWVER";
// The table of the kept row counts (NAME, ROWS) and the tables counted in it:
// triggers in the database keep the counts, so every writer keeps them true.
inline constexpr const char* KeptCountTable = "LUMOCOUNT";
const QStringList& countedTables(FileKind kind);
// The versions that brought the kept counts and the row versions.
inline constexpr int KeptCountsSince = 7;
inline constexpr int RowVersionsSince = 7;

// Whether a column of the definition compares without regard to case.
bool isCaseless(const ColumnDef& c);
// The key column of a table of the kind (MKEY for the four tables); empty when it has none.
QString keyColumnOf(FileKind kind, const QString& table);

// Creates the missing tables, columns, indexes and triggers of the kind, so
// that a file of an older version gets what this one defines; runs inside
// the caller's transaction.
bool createSchema(QSqlDatabase& db, FileKind kind, QString* error);

// Whether every index of the kind is in the file; the lists read along them,
// so a file that lacks one (an older copy, an index dropped by a tool) gets
// them from createSchema when it is opened for writing.
bool hasAllIndexes(QSqlDatabase& db, FileKind kind);

// The filter's search index of a main file and its triggers: the statements
// that make what is missing (and fill the index from the rows when it was not
// whole), and whether it is all there.
QStringList findIndexStatements(QSqlDatabase& db);
bool hasFindIndex(QSqlDatabase& db);
// The statements with which earlier versions made the index and its
// triggers: a file of such a version holds these objects.
QStringList earlierFindIndexStatements();
// What the telephones' digits leave out: a filter of digits matches them
// however a number was written ("02-2345-6789", "(02) 2345 6789").
inline constexpr const char* TelephoneSeparators = " -().+/";

// The tables a file of the kind must hold to be a file of that kind at all.
QStringList requiredTables(FileKind kind);

// Compares an open file with the definition without writing anything: a
// version newer than this program's, a table of the current version that is
// missing, a missing column or a column of another type is refused with a
// message naming it. Tables a later version than the file's brought are left
// to the upgrade (an older version may have made one of them on the fly), and
// checked after it.
// Without columns only the version and the tables are checked (the files of
// earlier versions that are only read may lack optional fields).
Status checkLayout(QSqlDatabase& db, FileKind kind, bool withColumns = true);

// The layout check's messages, shared by both engines.
QString newerVersionMessage(int version);
QString missingColumnMessage(const QString& table, const QString& column);
QString columnTypeMessage(const QString& table, const QString& column, const QString& found,
                          ColumnType wanted);

// The text fields of ZUMTDB in column order (DtEA1 .. DtML5).
const QStringList& knowledgeTextFields();

} // namespace lumo
