#pragma once
// One way of reading a database file of either kind: this program's SQLite
// files and the Access (Jet 3 and Jet 4) files of the earlier Windows program.
// The import, the start-up conversion and the migration read through it, so a
// transfer file or an older database of either kind is read the same way.

#include "base/status.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace lumo {

// What a column holds. Values arrive as QVariant: null, bool (Boolean),
// qint64 (Integer), double (Real, and DateTime as its day number: day 0 is
// 1899-12-30), QString (Text) or QByteArray (Bytes).
enum class LegacyType
{
    Boolean,
    Integer,
    Real,
    DateTime,
    Text,
    Bytes
};

struct LegacyColumn
{
    QString name;
    LegacyType type;
};

using LegacyRow = QVector<QVariant>;

// The rows of one table, in the file's order, one at a time.
class LegacyCursor
{
public:
    virtual ~LegacyCursor() = default;
    virtual const QVector<LegacyColumn>& columns() const = 0;
    // The next row (one value per column); false at the end, or on an error
    // that error() then names.
    virtual bool next(LegacyRow* row) = 0;
    virtual Status error() const = 0;

    // The index of a column, its name compared without regard to case; -1 when absent.
    int columnIndex(const QString& name) const;
};

class LegacySource
{
public:
    enum class Format
    {
        Sqlite,
        Jet3,
        Jet4
    };
    virtual ~LegacySource() = default;
    virtual Format format() const = 0;
    virtual QString path() const = 0;
    // The user tables, in the file's order.
    virtual QStringList tables() const = 0;
    // A table by name, compared without regard to case; nothing (and *status
    // set) when the file has no such table or cannot read it.
    virtual std::unique_ptr<LegacyCursor> open(const QString& table, Status* status) = 0;
    // The number of rows of a table (-1 and *status set on an error).
    virtual qint64 rowCount(const QString& table, Status* status) = 0;

    // The file's own spelling of a table name; empty when there is none.
    QString tableName(const QString& wanted) const;
};

QString legacyFormatName(LegacySource::Format f); // "SQLite", "Jet 3", "Jet 4"

// What a file is, by its first bytes.
enum class FileSignature
{
    Missing,
    Sqlite,
    Jet,
    Other
};
FileSignature fileSignature(const QString& path);

// Opens a file of either kind for reading; it is never written. A missing
// file, a file of neither kind or one the reader cannot make sense of is an
// error naming the file.
std::unique_ptr<LegacySource> openLegacySource(const QString& path, Status* status);

// The two readers (openLegacySource picks one by the file's signature).
std::unique_ptr<LegacySource> openSqliteSource(const QString& path, Status* status);
std::unique_ptr<LegacySource> openJetSource(const QString& path, Status* status);

// "不是資料庫檔案" message for a file of neither kind.
QString notADatabaseMessage(const QString& path);

} // namespace lumo
