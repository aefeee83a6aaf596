#pragma once
// How the rows of the four main tables travel from one file into another:
// which fields, in which stored form, and what an older layout may lack. The
// import, the export, the start-up conversion and the migration all copy rows
// this way, from a file of either kind (LegacySource).

#include "records/database.h"
#include "records/legacysource.h"

#include <functional>

struct sqlite3_stmt;

namespace lumo {

// The stored form of a field.
enum class FieldKind
{
    Key,      // MKEY: only the migration keeps it
    Boolean,  // stored as 0/1
    DateTime, // a day number
    Real,
    Integer, // ProAGL, ProAGH: carried as doubles, stored whole
    Text,
    Bytes // the picture: its bytes unchanged
};

struct MappedField
{
    QString name;
    FieldKind kind;
    bool optional;       // an older layout may lack it: left empty then
    QVariant emptyValue; // what a missing or null value becomes
};

// ZUCUST, ZUDATA, ZUPRO, ZUPRDT: every field of the table's definition but
// MKEY, in the definition's order (with MKEY first when keys are kept).
QVector<MappedField> mappedFields(const QString& table, bool withKey = false);

// The program fields that start an external program (ProPrg1..4, ProParm1..4).
bool isCommandField(const QString& field);

struct CarryRules
{
    bool keepKeys = false;    // the migration: rows keep their MKEY
    bool dateToSecond = true; // ZUDATE carried to the second (as its text form carries it)
    // The older-layout rule. Import: each optional field the file lacks is left
    // empty. Conversion: the optional fields are copied in order up to the first
    // one the file lacks; that one and those after it are left empty.
    bool optionalUpToFirstMissing = false;
    // The operator declined the external programs: the program buttons
    // (flags, hints, programs, parameters) arrive empty.
    bool emptyCommands = false;
    // An import: a measurement must be dated within isMeasurementDay.
    bool boundedMeasurementDates = false;
};

// 1900-01-01 .. 2100-12-31, the dates an imported measurement may carry: the
// screens lay out time axes and lists over them, and a date far beyond
// (a day number of 1e16) has no calendar date at all.
bool isMeasurementDay(double day);

// Converts a value read from a file into the stored form of the field; false
// (with *problem set) when it has none (text where a number belongs).
bool carryValue(const MappedField& field, const QVariant& in, const CarryRules& rules, QVariant* out,
                QString* problem);

// Appends rows to one table of an open database, through one prepared statement.
class RowInserter
{
public:
    RowInserter(Database& db, const QString& table, const QStringList& columns);
    ~RowInserter();
    RowInserter(const RowInserter&) = delete;
    RowInserter& operator=(const RowInserter&) = delete;
    const Status& status() const { return m_status; }
    Status insert(const QVector<QVariant>& values);

private:
    Database& m_db;
    sqlite3_stmt* m_st = nullptr;
    Status m_status;
};

// Copies every row of the cursor into the table of target, field by field as
// mapped; perRow runs after each appended row. A field the rules do not allow
// to be missing, a value without a stored form or an engine error stops the
// copy with a message naming the table, the row and the field (the caller's
// transaction then discards what was appended).
Status copyRows(LegacyCursor& from, const QString& table, Database& target, const CarryRules& rules,
                const std::function<void()>& perRow = {});

// "資料表 %1 缺少欄位 %2": the message of a field a file lacks.
QString missingFieldMessage(const QString& table, const QString& field);

} // namespace lumo
