#include "backup/backuppassphrase.h"

#include "backup/encryptedbackup.h"
#include "base/atomicfile.h"
#include "base/boundedread.h"
#include "shell/datadir.h"

#include <QFile>
#include <sodium.h>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString verifierPath(const QString& dataDir)
{
    return dataFilePath(dataDir, QLatin1String(BackupPassphraseFile));
}

} // namespace

Status setBackupPassphrase(const QString& dataDir, const QByteArray& passphrase)
{
    if (sodium_init() < 0) return Status::failure(QStringLiteral("libsodium cannot be initialised"));
    if (passphrase.size() < MinBackupPassphraseLength)
        return Status::failure(u("備份密語至少要 %1 個字元。").arg(MinBackupPassphraseLength));
    const KdfLimits l = backupKdfLimits();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, passphrase.constData(), quint64(passphrase.size()), l.ops, size_t(l.mem),
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        return Status::failure(u("無法產生備份密語的驗證值（記憶體不足）。"));
    const Status s = writeFileAtomically(verifierPath(dataDir), QByteArray(out));
    if (s) QFile::setPermissions(verifierPath(dataDir), QFile::ReadOwner | QFile::WriteOwner);
    return s;
}

bool backupPassphraseSet(const QString& dataDir)
{
    return QFile::exists(verifierPath(dataDir));
}

Status checkBackupPassphrase(const QString& dataDir, const QByteArray& passphrase)
{
    if (sodium_init() < 0) return Status::failure(QStringLiteral("libsodium cannot be initialised"));
    const QString path = verifierPath(dataDir);
    if (!QFile::exists(path))
        return Status::failure(u("尚未設定備份密語：請管理者先以 lumo-cli backup-passphrase set 設定。"));
    QByteArray stored;
    if (Status s = readRegularFile(path, 4096, &stored); !s) return s;
    stored = stored.trimmed();
    // The verifier is a C string of the library's own making; anything longer is not ours.
    if (stored.size() >= crypto_pwhash_STRBYTES || !stored.startsWith("$argon2id$"))
        return Status::failure(u("%1 已損毀：請管理者重新設定備份密語。").arg(path));
    if (crypto_pwhash_str_verify(stored.constData(), passphrase.constData(), quint64(passphrase.size())) != 0)
        return Status::failure(u("備份密語與管理者設定的不符：未備份。"));
    return Status::success();
}

} // namespace lumo
