#include "backup/backup.h"

#include "backup/retention.h"
#include "base/atomicfile.h"
#include "records/database.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

void removeWithCompanions(const QString& path)
{
    QFile::remove(path);
    Database::removeOrphanedCompanions(path);
}

// Copies of health records: the folder is the user's alone.
Status ensureFolder(const QString& folder)
{
    if (!QDir().mkpath(folder)) return Status::failure(QStringLiteral("%1: cannot be created").arg(folder));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return Status::success();
}

QStringList prune(const QString& folder, Status* status)
{
    const QStringList names = QDir(folder).entryList(QDir::Files);
    QStringList removed;
    for (const QString& name : backupsToPrune(names)) {
        if (QFile::remove(QDir(folder).filePath(name)))
            removed << name;
        else if (status->ok)
            *status =
                Status::failure(QStringLiteral("%1: cannot be removed").arg(QDir(folder).filePath(name)));
    }
    return removed;
}

} // namespace

QString backupFailureMessage(const QString& reason)
{
    return u("備份資料庫失敗：") + QStringLiteral("\r\n") + reason;
}

BackupResult makeBackup(const QString& database, const QString& folder, QDate day, bool pruneOld)
{
    BackupResult r;
    if (!(r.status = ensureFolder(folder))) return r;
    const QString target = QDir(folder).filePath(backupFileName(day));
    if (!isRegularOrAbsent(target)) {
        r.status = Status::failure(QStringLiteral("%1: not a regular file; it is left as it is").arg(target));
        return r;
    }
    // The copy is made under a name no reader takes for a backup, and only a
    // checked one is renamed into place (over an earlier copy of the same day).
    const QString partial = target + QStringLiteral(".partial");
    removeWithCompanions(partial);
    if (!(r.status = copyDatabase(database, partial))) return r;
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0) {
        removeWithCompanions(partial);
        r.status = Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(partial, target));
        return r;
    }
    r.path = target;
    if (pruneOld) r.pruned = prune(folder, &r.status);
    return r;
}

BackupResult runDailyBackup(const QString& dataDir, QDate today)
{
    BackupResult r;
    const QString database = dataFilePath(dataDir, QLatin1String(MainDatabaseFile));
    if (!QFileInfo(database).isFile()) {
        r.skipped = true;
        return r;
    }
    const QString folder = dataFilePath(dataDir, QLatin1String(BackupFolder));
    if (QFileInfo::exists(QDir(folder).filePath(backupFileName(today)))) {
        r.skipped = true;
        return r;
    }
    return makeBackup(database, folder, today, true);
}

Status restoreBackup(const QString& file, const QString& dataDir)
{
    const QString main = dataFilePath(dataDir, QLatin1String(MainDatabaseFile));
    const QString keep = dataFilePath(dataDir, QLatin1String(BeforeRestoreFile));
    if (QFileInfo::exists(keep))
        return Status::failure(u("%1 已存在（上次還原前的資料庫）：請先將它移到別處，再還原。").arg(keep));
    // The copy that will be put in place is made here, in the data directory,
    // so the final step is a rename on one file system.
    const QString incoming = QDir(dataDir).filePath(QStringLiteral("lumo4_restoring.mdb"));
    removeWithCompanions(incoming);
    Status s = copyDatabase(file, incoming);
    if (!s) return Status::failure(u("%1 不是完整的資料庫檔案：").arg(file) + s.error);
    {
        // This program's tables and columns; an older layout is brought up to date in the copy.
        std::unique_ptr<Database> check =
            Database::open(incoming, FileKind::Main, Database::Access::ReadWrite, &s);
        if (!check) {
            removeWithCompanions(incoming);
            return Status::failure(u("%1 不是 LUMO 的資料庫：").arg(file) + s.error);
        }
    }
    s = QFileInfo::exists(main) ? Database::replaceFile(main, incoming, keep)
                                : Database::moveFile(incoming, main);
    if (!s) removeWithCompanions(incoming);
    return s;
}

} // namespace lumo
