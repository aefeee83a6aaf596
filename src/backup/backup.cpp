#include "backup/backup.h"

#include "backup/encryptedbackup.h"
#include "backup/manifest.h"
#include "backup/restorelog.h"
#include "backup/retention.h"
#include "base/atomicfile.h"
#include "base/privatefiles.h"
#include "records/database.h"
#include "shell/datadir.h"

#include <QBuffer>
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

QStringList prune(const QString& folder, const QString& justMade, Status* status)
{
    const QStringList names = QDir(folder).entryList(QDir::Files);
    QStringList removed;
    for (const QString& name : backupsToPrune(names, justMade)) {
        QFile::remove(manifestPath(QDir(folder).filePath(name)));
        if (QFile::remove(QDir(folder).filePath(name)))
            removed << name;
        else if (status->ok)
            *status =
                Status::failure(QStringLiteral("%1: cannot be removed").arg(QDir(folder).filePath(name)));
    }
    return removed;
}

// The copy to be put in place: this program's tables and columns (an older
// layout brought up to date), and its external commands only when wanted.
Status prepareIncoming(const QString& incoming, bool withCommands, RestoreResult* r)
{
    Status s;
    std::unique_ptr<Database> db = Database::open(incoming, FileKind::Main, Database::Access::ReadWrite, &s);
    if (!db) return s;
    if (!(s = listProgramCommands(*db, &r->commands))) return s;
    r->commandsKept = withCommands;
    if (r->commands.isEmpty() || withCommands) return Status::success();
    Transaction t(*db);
    if (!t.active()) return t.begun();
    if (!(s = clearProgramButtons(*db))) return s;
    return t.commit();
}

// The clear copy of an encrypted backup, in the data directory (where the
// database lies in clear anyway); nothing is left of it when refused.
Status decryptIncoming(const QString& file, const QString& clear, const PassphraseSource& askPassphrase)
{
    if (!askPassphrase) return Status::failure(u("%1 是加密備份：還原需要備份密語。").arg(file));
    QByteArray passphrase;
    Status s = askPassphrase(&passphrase);
    if (!s) return s;
    removeWithCompanions(clear);
    s = decryptBackupFile(file, clear, passphrase);
    passphrase.fill('\0');
    return s;
}

} // namespace

QString backupFailureMessage(const QString& reason)
{
    return u("備份資料庫失敗：") + QStringLiteral("\r\n") + reason;
}

BackupResult makeBackup(const QString& database, const QString& folder, QDate day, bool pruneOld,
                        const QByteArray* passphrase)
{
    BackupResult r;
    // Copies of health records: a folder made here is the user's alone; one
    // that exists (the operator's, or /tmp) keeps its mode.
    if (!(r.status = makePrivateFolders(folder))) return r;
    const QString name = passphrase ? encryptedBackupName(backupFileName(day)) : backupFileName(day);
    const QString target = QDir(folder).filePath(name);
    if (!isRegularOrAbsent(target)) {
        r.status = Status::failure(QStringLiteral("%1: not a regular file; it is left as it is").arg(target));
        return r;
    }
    // The copy is made under a name no reader takes for a backup, and only a
    // checked one is renamed into place (over an earlier copy of the same day).
    // The clear copy of an encrypted one is made in memory: a killed backup
    // leaves no clear copy of the records on any disk.
    const QString partial = target + QStringLiteral(".partial");
    QVector<qint64> rows;
    QString auditLastHash;
    if (passphrase) {
        QByteArray image;
        if (!(r.status = copyDatabaseToMemory(database, &image, &rows, &auditLastHash))) return r;
        QFile::remove(manifestPath(target));
        QBuffer in(&image);
        in.open(QIODevice::ReadOnly);
        r.status = encryptBackup(in, target, *passphrase);
        image.fill('\0');
        if (!r.status) return r;
    } else {
        removeWithCompanions(partial);
        if (!(r.status = copyDatabase(database, partial, &rows, &auditLastHash))) return r;
        // The manifest of the copy this one replaces would describe another file.
        QFile::remove(manifestPath(target));
        if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0) {
            removeWithCompanions(partial);
            r.status = Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(partial, target));
            return r;
        }
    }
    r.path = target;
    // After the copy is in place: a manifest never describes a file that is
    // not there. A copy without one is reported, and kept.
    if (!(r.status = writeManifest(target, rows, QDateTime::currentDateTime(), passphrase != nullptr,
                                   auditLastHash)))
        return r;
    if (pruneOld) r.pruned = prune(folder, QFileInfo(target).fileName(), &r.status);
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

RestoreResult restoreBackup(const QString& file, const QString& dataDir, bool withCommands,
                            const PassphraseSource& askPassphrase)
{
    RestoreResult r;
    const QString main = dataFilePath(dataDir, QLatin1String(MainDatabaseFile));
    const QString keep = dataFilePath(dataDir, QLatin1String(BeforeRestoreFile));
    if (QFileInfo::exists(keep)) {
        r.status =
            Status::failure(u("%1 已存在（上次還原前的資料庫）：請先將它移到別處，再還原。").arg(keep));
        return r;
    }
    ManifestCheck manifest = ManifestCheck::Missing;
    if (!(r.status = checkManifest(file, &manifest))) return r;
    r.manifestMatched = manifest == ManifestCheck::Matched;
    QString source = file;
    const QString clear = QDir(dataDir).filePath(QStringLiteral("lumo4_decrypting.mdb"));
    if (isEncryptedBackup(file)) {
        r.encrypted = true;
        if (!(r.status = decryptIncoming(file, clear, askPassphrase))) return r;
        source = clear;
    }
    // The copy that will be put in place is made here, in the data directory,
    // so the final step is a rename on one file system.
    const QString incoming = QDir(dataDir).filePath(QStringLiteral("lumo4_restoring.mdb"));
    removeWithCompanions(incoming);
    Status s = copyDatabase(source, incoming);
    if (r.encrypted) removeWithCompanions(clear);
    if (!s) {
        r.status = Status::failure(u("%1 不是完整的 LUMO 資料庫檔案：").arg(file) + s.error);
        return r;
    }
    if (!(s = prepareIncoming(incoming, withCommands, &r))) {
        removeWithCompanions(incoming);
        r.status = Status::failure(u("%1 不是 LUMO 的資料庫：").arg(file) + s.error);
        return r;
    }
    // The log is the practice's: the one in place goes on in the restored
    // file, done here, before the rename, so the restore is still all or nothing.
    // A workstation that writes a row meanwhile holds the file open, which
    // refuses the rename below.
    if (!(s = keepLiveAuditLog(incoming, main, &r.copyAuditLastHash, &r.liveLogLost))) {
        removeWithCompanions(incoming);
        r.status = Status::failure(u("稽核紀錄無法移入還原的資料庫：") + s.error);
        return r;
    }
    s = QFileInfo::exists(main) ? Database::replaceFile(main, incoming, keep)
                                : Database::moveFile(incoming, main);
    if (!s) removeWithCompanions(incoming);
    r.status = s;
    return r;
}

} // namespace lumo
