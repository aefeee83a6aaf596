#include "shell/datadir.h"

#include "backup/backup.h"
#include "base/atomicfile.h"
#include "base/atomicfolder.h"
#include "records/database.h"
#include "records/migration.h"
#include "records/transferwork.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace lumo {
namespace {

QString withSeparator(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\'))) dir += QLatin1Char('/');
    return dir;
}

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Copies one delivered file unless the data directory has it already.
void copyOne(const QString& from, const QString& dir, const QString& name, const QString& shownAs,
             CopiedFiles& out)
{
    if (dataFileExists(dir, name)) return;
    const Status s = copyFileAtomically(from, withSeparator(dir) + name);
    if (s)
        out.copied << shownAs;
    else
        out.failures << s.error;
}

} // namespace

QString defaultDataDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\quenta\\lumo\\");
#else
    return withSeparator(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
#endif
}

QString deliveredDirectory()
{
    return withSeparator(
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/lumo")));
}

QString dataFilePath(const QString& dir, const QString& name)
{
    const QString base = withSeparator(dir);
    if (QFileInfo::exists(base + name)) return base + name;
    const QStringList entries =
        QDir(base).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0) return base + e;
    return base + name;
}

bool dataFileExists(const QString& dir, const QString& name)
{
    return QFileInfo::exists(dataFilePath(dir, name));
}

Status resolveDataDirectory(const QString& given, QString* resolved)
{
    if (given.trimmed().isEmpty()) return Status::failure(u("資料目錄不可為空白：請指定一個目錄。"));
    const QString dir = QDir::cleanPath(QDir(given).absolutePath());
    if (QDir(dir).isRoot())
        return Status::failure(
            u("不可使用檔案系統的根目錄 %1 作為資料目錄：請指定其下的一個目錄。").arg(dir));
    *resolved = withSeparator(dir);
    return Status::success();
}

Status checkFolderWritable(const QString& dir)
{
    QTemporaryFile probe(withSeparator(dir) + QStringLiteral(".lumo-write-check-XXXXXX"));
    // A block, not a byte: a disk with a few bytes left takes no new block.
    const QByteArray block(4096, '\0');
    if (probe.open() && probe.write(block) == block.size() && probe.flush()) return Status::success();
    return Status::failure(u("資料目錄 %1 無法寫入（唯讀或磁碟已滿）：%2")
                               .arg(QDir::toNativeSeparators(dir), probe.errorString()));
}

QString readOnlyDataMessage(const QString& reason)
{
    return u("資料目錄無法寫入，目前只能查閱資料，量測結果與任何變更都無法儲存：") + QStringLiteral("\r\n") +
           reason;
}

Status CopiedFiles::status() const
{
    if (failures.isEmpty()) return Status::success();
    return Status::failure(u("%1 個安裝檔案無法複製到資料目錄：").arg(QString::number(failures.size())) +
                           QStringLiteral("\r\n") + failures.join(QStringLiteral("\r\n")));
}

CopiedFiles copyDeliveredFiles(const QString& deliveredDir, const QString& dataDir)
{
    CopiedFiles out;
    if (!QDir().mkpath(dataDir)) {
        out.failures << QStringLiteral("%1: cannot be created").arg(dataDir);
        return out;
    }
    const QString from = withSeparator(deliveredDir);
    for (const QString& f : QDir(from).entryList(QDir::Files))
        copyOne(from + f, dataDir, f, f, out);
    const QString pictures = from + QLatin1String(PictureFolder);
    if (QFileInfo(pictures).isDir()) {
        const QString target = dataFilePath(dataDir, QLatin1String(PictureFolder));
        if (!QDir().mkpath(target)) {
            out.failures << QStringLiteral("%1: cannot be created").arg(target);
            return out;
        }
        for (const QString& f : QDir(pictures).entryList(QDir::Files))
            copyOne(pictures + QLatin1Char('/') + f, target, f,
                    QLatin1String(PictureFolder) + QLatin1Char('/') + f, out);
    }
    return out;
}

void removeLeftovers(const QString& dataDir)
{
    removeLeftoverTemporaries(dataDir,
                              {QStringLiteral("*.mdb"), QStringLiteral("*.ini"), QStringLiteral("*.csv")});
    const QString pictures = dataFilePath(dataDir, QLatin1String(PictureFolder));
    if (QFileInfo(pictures).isDir()) removeLeftoverTemporaries(pictures, {QStringLiteral("*.bmp")});
    WorkingFolder::removeLeftovers(dataDir);
    FolderBeside::removeLeftovers(dataDir);
    // A killed encrypted backup or restore: the clear copy an earlier version
    // staged beside the database, and a half-written encrypted copy.
    for (const char* clear : {"lumo4_encrypting.mdb", "lumo4_decrypting.mdb"})
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(dataFilePath(dataDir, QLatin1String(clear) + QLatin1String(suffix)));
    const QDir backups(dataFilePath(dataDir, QLatin1String(BackupFolder)));
    for (const QString& partial : backups.entryList({QStringLiteral("*.enc.partial")}, QDir::Files))
        QFile::remove(backups.filePath(partial));
}

QString movingMainDatabasePath(const QString& dataDir)
{
    return withSeparator(dataDir) + QLatin1String(MainDatabaseFile) + QStringLiteral(".new");
}

QString unfinishedMoveMessage()
{
    return u("上次將資料庫移入資料目錄 (lumo-cli migrate --from) 沒有完成：未完成的 lumo4.mdb.new 已移除，"
             "資料仍在原來的資料庫伺服器上。請再執行一次移轉；若要改用新的空白資料庫，請再啟動一次。");
}

namespace {

// A move into the data directory killed before its file took the main
// database's name left that file: a copy never put in place. When the
// original was already set aside (an Access file converted: its copy was
// complete and checked before that), only the last rename is missing and it
// is made; otherwise the copy is removed, as its source still holds every
// row. A file another process still writes is left alone.
Status recoverUnfinishedMove(const QString& dataDir)
{
    const QString fresh = movingMainDatabasePath(dataDir);
    if (!QFileInfo(fresh).isFile()) return Status::success();
    const bool mainThere = dataFileExists(dataDir, QLatin1String(MainDatabaseFile));
    if (Status inUse = Database::settle(fresh); !inUse) return mainThere ? Status::success() : inUse;
    const QString main = dataFilePath(dataDir, QLatin1String(MainDatabaseFile));
    if (!mainThere && dataFileExists(dataDir, QLatin1String(JetMainBackupFile)))
        return Database::moveFile(fresh, main);
    QFile::remove(fresh);
    Database::removeOrphanedCompanions(fresh);
    return mainThere ? Status::success() : Status::failure(unfinishedMoveMessage());
}

} // namespace

PreparedFiles prepareDataDirectory(const QString& dataDir)
{
    PreparedFiles result;
    auto path = [&](const char* name) { return dataFilePath(dataDir, QLatin1String(name)); };
    auto exists = [&](const char* name) { return dataFileExists(dataDir, QLatin1String(name)); };
    auto remove = [&](const char* name) {
        const QString p = path(name);
        QFile::remove(p);
        Database::removeOrphanedCompanions(p);
    };

    result.templateMissing = !exists(TemplateDatabaseFile);
    result.move = recoverUnfinishedMove(dataDir);
    if (!result.move) return result;

    // The upgrade swap: the delivered empty database becomes the main one and
    // the old main database waits as lumo.mdb to be converted. A rename onto an
    // existing name fails and is passed over; a file another process holds is
    // not renamed at all, and the swap waits for a start when it is free.
    if (exists(UpgradeDatabaseFile) && exists(MainDatabaseFile) && !exists(OldDatabaseFile)) {
        result.swap = Database::moveFile(path(MainDatabaseFile), path(OldDatabaseFile));
        if (result.swap && !exists(MainDatabaseFile))
            result.swap = Database::moveFile(path(UpgradeDatabaseFile), path(MainDatabaseFile));
    }
    if (exists(UpgradeDatabaseFile) && exists(OldDatabaseFile)) remove(UpgradeDatabaseFile);

    if (!exists(MainDatabaseFile) && !result.templateMissing) {
        // A log left by a crash of the file that had this name must never
        // meet the copy: SQLite would replay it onto the template's pages.
        const QString main = path(MainDatabaseFile);
        Database::removeOrphanedCompanions(main);
        result.copy = copyFileAtomically(path(TemplateDatabaseFile), main);
        result.mainCreated = result.copy.ok;
        if (result.copy && exists(UpgradeDatabaseFile)) remove(UpgradeDatabaseFile);
    }
    return result;
}

} // namespace lumo
