// lumo-cli backup and restore: a copy of the main database now, and a copy put
// back in its place. Neither runs the start-up steps: a data directory being
// restored may lack what they would create.
#include "app/cli.h"

#include "backup/backup.h"
#include "backup/backupchoice.h"
#include "backup/backuppassphrase.h"
#include "backup/manifest.h"
#include "backup/restorelog.h"
#include "backup/serverbackup.h"
#include "practice/audit.h"
#include "records/pgengine.h"
#include "records/serverlogin.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFileInfo>

namespace lumo {
namespace {

// The server the data directory names (--database wins over lumo-server.conf); empty for the file.
Status serverOf(const CliContext& c, QString* conninfo)
{
    *conninfo = c.database;
    if (!conninfo->isEmpty()) return checkConninfo(*conninfo);
    return readServerConfig(c.dataDirectory, conninfo);
}

// The copy stands whether or not the log takes its entry; a log that did
// not is said, and the command fails so that a script notices.
int logged(CliContext& c, const AuditEntry& entry)
{
    const Status s = auditCommand(c, entry);
    if (s) return 0;
    *c.err << s.error << Qt::endl;
    return 2;
}

// A backup that failed is logged as a failed import or export is: the same
// action, the reason in its detail.
int failedBackup(CliContext& c, const Status& s, const QString& folder)
{
    *c.err << backupFailureMessage(s.error) << Qt::endl;
    logged(c, {QStringLiteral("backup"), {}, 0, QString::fromUtf8("%1（失敗：%2）").arg(folder, s.error)});
    return 2;
}

int backUpServer(CliContext& c, const QString& conninfo, const QString& folder, const QByteArray* passphrase)
{
    *c.err << serverBackupNotice(describeServer(conninfo)) << Qt::endl;
    QString path;
    ServerDump dump{conninfo, folder, QDate::currentDate(), {}, passphrase, c.dataDirectory};
    const Status s = dumpServer(dump, &path);
    if (!path.isEmpty()) *c.out << path << Qt::endl;
    if (!s) return failedBackup(c, s, folder);
    return logged(c, {QStringLiteral("backup"), {}, 0, backupAuditDetail(path, passphrase != nullptr)});
}

} // namespace

int cmdBackup(CliContext& c)
{
    QStringList args = c.args;
    // An encrypted copy is one that leaves the machine: it goes to a folder the operator names.
    const bool encrypt = args.removeAll(QStringLiteral("--encrypt")) == 1;
    const int to = int(args.indexOf(QStringLiteral("--to")));
    if ((to >= 0 && to + 1 >= args.size()) || args.size() != (to >= 0 ? 3 : 1) ||
        args.size() + (encrypt ? 1 : 0) != c.args.size() || (encrypt && to < 0)) {
        *c.err << "usage: lumo-cli [--data-dir DIR] backup [--to DIR2 [--encrypt]]" << Qt::endl;
        return 2;
    }
    QString conninfo;
    if (const Status s = serverOf(c, &conninfo); !s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    // The program's own folder follows the keeping rules; another folder is
    // the operator's, and nothing in it is removed.
    const bool own = to < 0;
    const QString folder = own ? dataFilePath(c.dataDirectory, QLatin1String(BackupFolder))
                               : QDir(args.at(to + 1)).absolutePath();
    QByteArray passphrase;
    if (encrypt) {
        Status s = readBackupPassphrase(c, false, &passphrase);
        // A mistyped passphrase would make a copy nobody can open: checked against the admin's.
        if (s) s = checkBackupPassphrase(c.dataDirectory, passphrase);
        if (!s) {
            *c.err << s.error << Qt::endl;
            return 2;
        }
    }
    if (!conninfo.isEmpty()) {
        const int rc = backUpServer(c, conninfo, folder, encrypt ? &passphrase : nullptr);
        passphrase.fill('\0');
        return rc;
    }
    const QString database = dataFilePath(c.dataDirectory, QLatin1String(MainDatabaseFile));
    if (!QFileInfo(database).isFile()) {
        *c.err << backupFailureMessage(QStringLiteral("%1: file not found").arg(database)) << Qt::endl;
        return 2;
    }
    const BackupResult r =
        makeBackup(database, folder, QDate::currentDate(), own, encrypt ? &passphrase : nullptr);
    passphrase.fill('\0');
    if (!r.path.isEmpty()) *c.out << r.path << Qt::endl;
    if (!r.status) return failedBackup(c, r.status, folder);
    return logged(c, {QStringLiteral("backup"), {}, 0, backupAuditDetail(r.path, encrypt)});
}

int cmdRestore(CliContext& c)
{
    QStringList files = c.args.mid(1);
    const bool withCommands = files.removeAll(QStringLiteral("--with-commands")) > 0;
    if (files.size() != 1) {
        *c.err << "usage: lumo-cli [--data-dir DIR] restore FILE [--with-commands]" << Qt::endl;
        return 2;
    }
    QString conninfo;
    const Status named = serverOf(c, &conninfo);
    if (!named || !conninfo.isEmpty()) {
        *c.err << (named ? serverRestoreRefusal(describeServer(conninfo)) : named.error) << Qt::endl;
        return 2;
    }
    const QString file = QFileInfo(files.first()).absoluteFilePath();
    if (!QFileInfo(file).isFile()) {
        *c.err << QStringLiteral("%1: file not found").arg(file) << Qt::endl;
        return 2;
    }
    const RestoreResult r = restoreBackup(file, c.dataDirectory, withCommands,
                                          [&c](QByteArray* p) { return readBackupPassphrase(c, false, p); });
    if (!r.status) {
        *c.err << r.status.error << Qt::endl;
        // A refused try is the admin's act all the same (a copy that was
        // changed, a wrong passphrase): the database in place, unchanged, logs it.
        logged(
            c,
            {QStringLiteral("restore"), {}, 0, QString::fromUtf8("未還原 %1：%2").arg(file, r.status.error)});
        return 2;
    }
    if (!r.commands.isEmpty()) printCommands(*c.err, describeCommands(r.commands), r.commandsKept);
    if (r.manifestMatched)
        *c.out << QString::fromUtf8("SHA-256 與備份清單 %1 相符。").arg(manifestPath(file)) << Qt::endl;
    else
        *c.err
            << QString::fromUtf8("找不到備份清單 %1：無法確認檔案在備份後未被改動。").arg(manifestPath(file))
            << Qt::endl;
    *c.out << QString::fromUtf8("已還原資料庫；原資料庫保留為 %1")
                  .arg(dataFilePath(c.dataDirectory, QLatin1String(BeforeRestoreFile)))
           << Qt::endl;
    if (!r.liveLogLost.isEmpty())
        *c.err << liveLogLostMessage(dataFilePath(c.dataDirectory, QLatin1String(BeforeRestoreFile)),
                                     r.liveLogLost)
               << Qt::endl;
    // Into the database now in place, after the log it kept.
    return logged(
        c, {QStringLiteral("restore"), {}, 0, restoreAuditDetail(file, r.copyAuditLastHash, r.liveLogLost)});
}

} // namespace lumo
