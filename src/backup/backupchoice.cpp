#include "backup/backupchoice.h"

#include "backup/backup.h"
#include "backup/backuppassphrase.h"
#include "backup/serverbackup.h"
#include "practice/roles.h"
#include "records/pgengine.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFileInfo>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

BackupOutcome refused(BackupField field, const QString& why)
{
    BackupOutcome o;
    o.status = Status::failure(why);
    o.field = field;
    o.message = why;
    return o;
}

// The fields, before anything is written. A new passphrase typed twice
// differently would lock this copy and every later one away.
BackupOutcome checkFields(const BackupRequest& r)
{
    if (r.folder.trimmed().isEmpty()) return refused(BackupField::Folder, u("請輸入或選擇備份的資料夾。"));
    if (QFileInfo(r.folder).exists() && !QFileInfo(r.folder).isDir())
        return refused(BackupField::Folder, u("%1 不是資料夾。").arg(r.folder));
    if (!r.encrypt) return {};
    if (r.offer == EncryptionOffer::NeedsAdmin) return refused(BackupField::None, encryptionRefusal(r.offer));
    if (r.passphrase.isEmpty()) return refused(BackupField::Passphrase, u("請輸入備份密語。"));
    if (r.offer == EncryptionOffer::Offered) {
        const Status s = checkBackupPassphrase(r.dataDir, r.passphrase);
        return s ? BackupOutcome{} : refused(BackupField::Passphrase, s.error);
    }
    if (r.passphrase.size() < MinBackupPassphraseLength)
        return refused(BackupField::Passphrase,
                       u("備份密語至少要 %1 個字元。").arg(MinBackupPassphraseLength));
    if (r.repeat != r.passphrase)
        return refused(BackupField::Repeat, u("兩次輸入的備份密語不同：未設定，也未備份。"));
    return {};
}

BackupOutcome dumpToFolder(const BackupRequest& r, const QString& folder)
{
    BackupOutcome o;
    const QString notice = serverBackupNotice(describeServer(r.conninfo));
    const ServerDump dump{r.conninfo, folder, r.day, r.serverPassword, r.encrypt ? &r.passphrase : nullptr,
                          r.dataDir};
    o.status = dumpServer(dump, &o.path);
    o.message = o.status ? notice + QStringLiteral("\r\n") +
                               (r.encrypt ? u("已備份並加密到：") : u("已備份到：")) + o.path
                         : backupFailureMessage(o.status.error);
    return o;
}

} // namespace

EncryptionOffer encryptionOffer(bool passphraseSet, const OperatorSession& session)
{
    if (passphraseSet) return EncryptionOffer::Offered;
    return allowed(session, Permission::Operators) ? EncryptionOffer::SetNew : EncryptionOffer::NeedsAdmin;
}

QString encryptionRefusal(EncryptionOffer offer)
{
    switch (offer) {
    case EncryptionOffer::NeedsAdmin:
        return u("尚未設定備份密語：加密備份要等管理者先設定備份密語。");
    case EncryptionOffer::Offered:
    case EncryptionOffer::SetNew:
        break;
    }
    return {};
}

BackupOutcome runBackup(const BackupRequest& r)
{
    BackupOutcome checked = checkFields(r);
    if (!checked.status) return checked;
    const QString folder = QDir(r.folder.trimmed()).absolutePath();
    if (r.encrypt && r.offer == EncryptionOffer::SetNew) {
        if (const Status s = setBackupPassphrase(r.dataDir, r.passphrase); !s)
            return refused(BackupField::Passphrase, s.error);
    }
    const bool passphraseSet = r.encrypt && r.offer == EncryptionOffer::SetNew;
    if (!r.conninfo.isEmpty()) {
        BackupOutcome dumped = dumpToFolder(r, folder);
        dumped.passphraseSet = passphraseSet;
        return dumped;
    }
    const QString database = dataFilePath(r.dataDir, QLatin1String(MainDatabaseFile));
    // The program's own folder follows the keeping rules, as the daily copy's
    // does; any other folder is the operator's, and nothing in it is removed.
    const QString own = QDir(dataFilePath(r.dataDir, QLatin1String(BackupFolder))).absolutePath();
    const bool prune = QFileInfo(folder).canonicalFilePath() == QFileInfo(own).canonicalFilePath() &&
                       QFileInfo(own).exists();
    const BackupResult made = makeBackup(database, folder, r.day, prune, r.encrypt ? &r.passphrase : nullptr);
    BackupOutcome o;
    o.status = made.status;
    o.path = made.path;
    o.passphraseSet = passphraseSet;
    if (!made.status)
        o.message = backupFailureMessage(made.status.error);
    else if (r.encrypt)
        o.message = u("已備份並加密到：") + made.path + QStringLiteral("\r\n") + u("還原時需要備份密語。");
    else
        o.message = u("已備份到：") + made.path;
    return o;
}

QString backupAuditDetail(const QString& path, bool encrypted)
{
    return path + (encrypted ? u("（加密）") : u("（未加密）"));
}

} // namespace lumo
