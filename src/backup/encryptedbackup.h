#pragma once
// Copies that leave the machine (a USB stick, another office) are encrypted:
// libsodium's secret stream (XChaCha20-Poly1305) under a key derived with
// Argon2id from the practice's backup passphrase.
//
// The file: a header (magic, version, salt, the key derivation's limits, the
// chunk size, the stream's own header), then the stream in chunks of 64 KiB,
// the last one tagged FINAL. The header is bound to the first chunk, so a
// changed byte anywhere is found; a file without its FINAL chunk is refused as
// cut short. Reading never takes more memory than one chunk and the key
// derivation's bounded limits, whatever the file claims.

#include "base/status.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace lumo {

struct KdfLimits
{
    quint64 ops = 0;
    quint64 mem = 0; // bytes
};

// What a new backup is written with: libsodium's moderate limits (about two
// seconds on a two-core machine; paid once per backup and once per restore).
KdfLimits backupKdfLimits();

// "lumo4-20261209.mdb" -> "lumo4-20261209.mdb.enc"
QString encryptedBackupName(const QString& plainName);

// Whether the file starts with the encrypted backup's magic.
bool isEncryptedBackup(const QString& path);

// Encrypts `plain` into `target`: written beside it and renamed into place,
// readable by the user only; a failure leaves no target and nothing beside it.
Status encryptBackupFile(const QString& plain, const QString& target, const QByteArray& passphrase,
                         KdfLimits limits = backupKdfLimits());

// Decrypts `encrypted` into the new file `target`. Any refusal (a wrong
// passphrase, a changed byte, a file cut short) removes what was written and
// says why in the user's words.
// The same from a stream (a copy staged in memory, never on a disk in clear).
Status encryptBackup(QIODevice& in, const QString& target, const QByteArray& passphrase,
                     KdfLimits limits = backupKdfLimits());
Status decryptBackupFile(const QString& encrypted, const QString& target, const QByteArray& passphrase);

} // namespace lumo
