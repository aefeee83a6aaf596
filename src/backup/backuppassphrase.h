#pragma once
// The practice's backup passphrase, set by an admin. Only its verifier is kept
// (an Argon2id hash in libsodium's string form, in lumo_backup_passphrase of
// the data directory, readable by the user only): enough to catch a typo at
// backup time, which would otherwise make a copy nobody can open.

#include "base/status.h"

#include <QByteArray>
#include <QString>

namespace lumo {

inline constexpr const char* BackupPassphraseFile = "lumo_backup_passphrase";

// A passphrase shorter than this is refused when it is set.
inline constexpr int MinBackupPassphraseLength = 8;

// Stores the verifier of `passphrase` (replacing an earlier one).
Status setBackupPassphrase(const QString& dataDir, const QByteArray& passphrase);

// The audit log's detail of setting one (the passphrase itself never).
inline constexpr const char* BackupPassphraseSetDetail = "backup passphrase set";

// Whether an admin has set one (its verifier is there; a damaged one is
// found by checkBackupPassphrase, which says so).
bool backupPassphraseSet(const QString& dataDir);

// Success when `passphrase` is the one set; a failure says that none is set,
// or that this one is not it.
Status checkBackupPassphrase(const QString& dataDir, const QByteArray& passphrase);

} // namespace lumo
