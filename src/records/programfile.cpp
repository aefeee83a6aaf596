#include "records/programfile.h"

#include "records/schemaobjects.h"

#include <QFile>
#include <QUrl>
#include <sqlite3.h>

namespace lumo {
namespace {

// The names of the file's tables; a file in write-ahead mode in a folder we
// may not write is read as it lies (immutable), which is enough for its names.
QStringList tableNames(const QString& path)
{
    QStringList names;
    for (const bool immutable : {false, true}) {
        QUrl url = QUrl::fromLocalFile(path);
        if (immutable) url.setQuery(QStringLiteral("immutable=1"));
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(url.toString(QUrl::FullyEncoded).toUtf8().constData(), &db,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        QVector<SchemaObject> objects;
        bool read = false;
        if (rc == SQLITE_OK) {
            distrustSchema(db);
            read = bool(readSchemaObjects(db, &objects));
        }
        sqlite3_close(db);
        if (!read) continue;
        for (const SchemaObject& o : objects)
            if (o.type == QLatin1String("table")) names << o.name.toUpper();
        break;
    }
    return names;
}

bool holdsTableOf(const QStringList& names, FileKind kind, FileKind notOf)
{
    for (const TableDef& t : tablesOf(kind)) {
        bool shared = false;
        for (const TableDef& other : tablesOf(notOf))
            shared = shared || other.name.compare(t.name, Qt::CaseInsensitive) == 0;
        if (!shared && names.contains(t.name.toUpper())) return true;
    }
    return false;
}

} // namespace

FileKind programFileKind(const QString& path)
{
    if (!QFile::exists(path)) return FileKind::Master;
    const QStringList names = tableNames(path);
    if (holdsTableOf(names, FileKind::Main, FileKind::Master)) return FileKind::Main;
    if (holdsTableOf(names, FileKind::Knowledge, FileKind::Master)) return FileKind::Knowledge;
    return FileKind::Master;
}

std::unique_ptr<Database> openProgramFile(const QString& path, Status* status)
{
    const FileKind kind = programFileKind(path);
    if (kind == FileKind::Knowledge) {
        *status = Status::failure(
            QString::fromUtf8("%1：這是知識資料庫檔案，沒有療程；請用療程檔案（lumoMTW.mdb 或 lumo4.mdb）")
                .arg(path));
        return nullptr;
    }
    return Database::open(path, kind, Database::Access::ReadOnly, status);
}

} // namespace lumo
