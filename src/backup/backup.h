#pragma once
// Copies of the main database: made with SQLite's online backup (a consistent
// snapshot while workstations go on writing), checked before they count as a
// copy, kept in Backup/ of the data directory by the rules of retention.h, and
// put back in place as a whole.

#include "base/status.h"
#include "records/programcommands.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace lumo {

inline constexpr const char* BackupFolder = "Backup";
inline constexpr const char* BeforeRestoreFile = "lumo4_before_restore.mdb";

// The tables whose rows a copy must hold as many of as its source.
const QStringList& backupCountedTables();

// Copies the database `from` into the new file `to` (which must not exist)
// and checks the copy: SQLite's integrity check, and the rows of each counted
// table against the source in the snapshot that was copied. The copy is a
// file on its own (no log beside it), readable and writable by the user only.
// A failure removes the copy. rows, when given, receives the counts.
Status copyDatabase(const QString& from, const QString& to, QVector<qint64>* rows = nullptr,
                    QString* auditLastHash = nullptr);
// The same copy and checks into memory: its bytes, as the file would hold them.
Status copyDatabaseToMemory(const QString& from, QByteArray* image, QVector<qint64>* rows = nullptr,
                            QString* auditLastHash = nullptr);

struct BackupResult
{
    Status status;
    QString path;         // the copy that was made (with its manifest beside it)
    bool skipped = false; // today's copy was there already
    QStringList pruned;   // names removed by the keeping rules
};

// Makes `folder`/lumo4-YYYYMMDD.mdb of `day` from the database now, replacing
// a copy of that day; with prune, removes the copies the keeping rules let go.
// With a passphrase the copy is lumo4-YYYYMMDD.mdb.enc, encrypted
// (encryptedbackup.h); its clear copy is made beside the database, on this
// machine's disk, never in `folder`, which may be a stick that leaves.
BackupResult makeBackup(const QString& database, const QString& folder, QDate day, bool prune,
                        const QByteArray* passphrase = nullptr);

// The copy on closing: at most one a day, into Backup/ of the data directory,
// pruned. Nothing to do without a main database.
BackupResult runDailyBackup(const QString& dataDir, QDate today);

// "備份資料庫失敗：" with the reason; shown once, closing goes on.
QString backupFailureMessage(const QString& reason);

struct RestoreResult
{
    Status status;
    bool manifestMatched = false;     // false: no manifest beside the copy (a failure refuses it)
    QVector<ProgramCommand> commands; // the external commands of the copy's programs
    bool commandsKept = false;        // with withCommands; otherwise they were cleared with their buttons
    bool encrypted = false;           // the copy was an encrypted backup
    QString copyAuditLastHash;        // where the copy's own audit log ended (empty: it had none)
    QString liveLogLost;              // why the log in place could not be kept (empty: it was)
};

// Asked for the passphrase of an encrypted copy; a failure (none given) ends the restore.
using PassphraseSource = std::function<Status(QByteArray*)>;

// Puts the copy `file` in the place of the main database of dataDir: the copy
// is checked (its manifest's SHA-256 when it has one, this program's schema
// objects before any row is read, integrity, tables and columns), the
// database in place is kept as lumo4_before_restore.mdb, all or nothing. The
// copy's programs arrive without their external commands (and the buttons'
// flags and hints) unless withCommands, as an import's do. Refused while
// another workstation has the database open, and while an earlier
// lumo4_before_restore.mdb is there (it may hold the only copy of rows).
// The audit log is not the copy's: the one in place is kept whole in the
// restored database (restorelog.h).
// An encrypted copy is decrypted with askPassphrase's answer into a temporary
// file of the data directory first, which then takes the same way; a wrong
// passphrase or a changed byte leaves the data directory as it was.
RestoreResult restoreBackup(const QString& file, const QString& dataDir, bool withCommands = false,
                            const PassphraseSource& askPassphrase = {});

} // namespace lumo
