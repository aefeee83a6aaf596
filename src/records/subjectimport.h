#pragma once
// Subjects from a spreadsheet: the file's columns matched to the subject
// fields by their headers (Chinese and English, and the research file's own
// field names), every row checked before anything is written, then all rows
// appended in one transaction or none. A number already present is never
// overwritten: its row is skipped and listed, or the import is refused, as
// the operator chooses.

#include "records/database.h"
#include "records/rows.h"
#include "records/subjectcsv.h"

#include <QDate>
#include <array>

namespace lumo {

enum class ImportField
{
    CUSTNO,
    NAME,
    SEX,
    DBIRTH,
    ADDR,
    TEL,
    TEL2,
    TEL3,
    EMAIL,
    MEMO,
    BTYPE,
    HEIGHT,
    WEIGHT,
    CUSTCAT,
    CUSTFG
};
constexpr int ImportFieldCount = 15;

struct ImportFieldInfo
{
    ImportField field;
    const char* column; // the table's field name, also accepted as a header
    const char* label;  // the screens' name of the field
    int maxLength;      // the table's text length; 0 for no limit (memo) or a number
};
const ImportFieldInfo& importFieldInfo(ImportField f);

// For each field the file's column (0-based), or -1 when none is taken.
using ColumnMapping = std::array<int, ImportFieldCount>;

// The columns whose header names a field; the first such column wins.
ColumnMapping guessMapping(const QStringList& header);
// "FIELD=COLUMN": the field by its table name or label, the column by its
// header or its number from 1; an empty column takes the field out.
Status applyMapping(const QString& assignment, const QStringList& header, ColumnMapping* mapping);

// A birth date as spreadsheets here write it: 1975-06-15, 1975/6/15,
// 19750615, 1975年6月15日, an ISO date-time, or a year of the Republic
// (64/6/15, 064/06/15, 民國64年6月15日). An invalid date when it is none of them.
QDate parseBirthDate(const QString& text);

enum class ExistingNumbers
{
    Skip,  // list those rows and import the others
    Refuse // import nothing while one is there
};

struct ImportProblem
{
    int line = 0;
    QString custNo;
    QString text;
};

struct ImportPlan
{
    QVector<SubjectRow> subjects;    // the rows to append, checked
    QVector<int> lines;              // the file line of each
    QVector<ImportProblem> problems; // rows that stop the import
    QVector<ImportProblem> existing; // rows whose number the practice already holds
    int rowsRead = 0;
    int sexMissing = 0; // rows without a sex, stored as male
    bool numberMapped = false;
    QString headerProblem; // two columns of one name: refuses the file
};

// Two headers that name one field the same way ("姓名" and "姓 名"): the
// message naming both columns, empty when every name is once.
QString duplicateHeader(const QStringList& header);

// A value of the file as it will be stored and shown: a birth date as the
// date (1975/06/15 for "64/6/15"), the sex as 男/女; others as they are. A
// value that cannot be read stays as written (its row is a problem).
QString storedText(ImportField f, const QString& raw);

// Checks every row against the fields' rules and the practice's numbers.
ImportPlan planSubjectImport(const CsvTable& table, const ColumnMapping& mapping, Database& db,
                             const QDate& today);

// Whether the plan can be imported as chosen, and why not.
Status importable(const ImportPlan& plan, ExistingNumbers existing);

// Appends the plan's subjects in one transaction. Numbers are checked again
// inside it, after every other transaction that adds numbers has committed
// (another workstation may have added one since the plan): under Skip they
// are left out too, under Refuse nothing is written.
Status importSubjects(Database& db, const ImportPlan& plan, ExistingNumbers existing, int* imported,
                      int* skipped, QStringList* importedNumbers = nullptr);
// What the log says of an import: the file and the subjects it added.
QString importAuditText(const QString& file, const QStringList& numbers, int skipped);

// "匯入完成：新增 N 位受測者" with the skipped count when there were any.
QString importDoneText(int imported, int skipped);

} // namespace lumo
