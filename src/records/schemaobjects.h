#pragma once
// Whether a database file holds exactly this program's schema objects. A file
// someone hands us (a transfer file, a backup to restore, a main database put
// back) may carry its own triggers, views, generated columns or defaults:
// SQL that SQLite runs when a row is read or written. Such a file is refused
// before any of its rows is read. What is accepted is derived from the one
// schema definition (schema.h): the objects createSchema makes, or fewer of
// them (a file of an earlier version, an index still to be created), each
// declared exactly as the definition declares it.

#include "base/status.h"
#include "records/schema.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct sqlite3;

namespace lumo {

struct SchemaObject
{
    QString type; // table, index, view, trigger
    QString name;
    QString sql; // as sqlite_master keeps it (empty for SQLite's own indexes)
};

// The objects of a file's sqlite_master, in its order.
Status readSchemaObjects(sqlite3* db, QVector<SchemaObject>* objects);

// Compares the objects with those of the definition for the kind. SQLite's
// own objects (sqlite_sequence, sqlite_stat*, sqlite_autoindex_*) are fine.
// The message names the first object that does not belong and says that the
// file is left as it was.
Status checkSchemaObjects(const QVector<SchemaObject>& objects, FileKind kind);

// Reads and checks the file's objects; a file of a later version than this
// program's is left to the version check (its objects are not ours to know).
Status checkSchemaObjects(sqlite3* db, FileKind kind);

// Sets a connection to a file we did not write so that the file cannot make
// it run code: functions with side effects are refused in the file's schema
// (trusted_schema off) and the schema cannot be written around SQLite's
// checks (defensive mode).
void distrustSchema(sqlite3* db);
// After checkSchemaObjects found exactly this program's objects: the
// triggers that keep the filter's index write its full-text tables, which
// SQLite allows only in a schema it trusts.
void trustCheckedSchema(sqlite3* db);

// One element of a CREATE TABLE's column list, or a whole statement, in the
// form the comparison uses: runs of blanks as one, none beside brackets and
// commas, upper case outside quoted text.
QString normalizedSql(const QString& sql);
// The comma-separated elements between a CREATE TABLE's outer brackets, and
// what stands before and after them; false when the brackets do not close.
bool splitCreateTable(const QString& sql, QString* head, QStringList* elements, QString* tail);

} // namespace lumo
