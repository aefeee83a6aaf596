#pragma once
// The backup screen's rules, without its widgets: whether the encrypted copy
// is offered to this operator, what the passphrase fields must hold before
// anything is written, and the one run that makes the copy `lumo-cli backup`
// makes (the server's pg_dump when the main database is on a server).

#include "base/status.h"
#include "practice/session.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace lumo {

enum class EncryptionOffer
{
    Offered,    // the admin's passphrase is set: typed once, checked against its verifier
    SetNew,     // none is set and the operator is an admin: a new one, typed twice, set first
    NeedsAdmin, // none is set and the operator may not set one: the choice is disabled
};

// Who may set the passphrase is who may manage the operators: the admin, or
// anyone outside practice mode, where there are no roles. A server's dump
// is encrypted the same way as the data directory's copy.
EncryptionOffer encryptionOffer(bool passphraseSet, const OperatorSession& session);

// Why the encrypted choice is disabled (its tool tip); empty when it can be made.
QString encryptionRefusal(EncryptionOffer offer);

// The field of the screen that a refusal concerns: it gets the focus again,
// and nothing has been written.
enum class BackupField
{
    None, // not a field's fault (the copy itself failed, or succeeded)
    Folder,
    Passphrase,
    Repeat,
};

struct BackupRequest
{
    QString dataDir;
    QString folder;         // where the copy goes, as typed
    QString conninfo;       // the server's connection string; empty for the data directory's file
    QString serverPassword; // the one typed at start-up, when the server asked for one
    EncryptionOffer offer = EncryptionOffer::Offered;
    bool encrypt = false;
    QByteArray passphrase;
    QByteArray repeat; // the second typing of a new passphrase
    QDate day;
};

struct BackupOutcome
{
    Status status;
    BackupField field = BackupField::None;
    QString path;    // the copy written
    QString message; // what the operator is told: the copy's name, or why not
    // A new passphrase was set (even when the copy then failed): a settings
    // change for the log.
    bool passphraseSet = false;
};

// Checks the fields, sets a new passphrase when that is the offer, and makes
// the copy. A refused field writes nothing (no copy, no passphrase).
BackupOutcome runBackup(const BackupRequest& request);

// The audit log's detail of a backup: the file, and whether it is encrypted.
QString backupAuditDetail(const QString& path, bool encrypted);

} // namespace lumo
