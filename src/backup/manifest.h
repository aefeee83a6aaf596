#pragma once
// The manifest beside each copy of the main database: a small JSON file
// (lumo4-YYYYMMDD.mdb.json) with the copy's SHA-256, its size and the rows of
// its tables, so that a copy changed after it was made (a memo edited in it,
// a damaged disk) is refused by the restore instead of put in place. Its
// keys are named, so later versions can add their own beside these.

#include "base/status.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

namespace lumo {

// "lumo4-20261209.mdb" -> "lumo4-20261209.mdb.json"
QString manifestPath(const QString& copy);

// The file's SHA-256 in lower-case hexadecimal, read in pieces.
Status fileSha256(const QString& path, QByteArray* hex);

// Writes the manifest of a finished copy (atomically); rows as backupCountedTables() lists them.
// "encrypted" says whether the copy is an encrypted backup; its SHA-256 is
// then the encrypted file's, as written. auditLastHash, the copy's last audit
// log HASH, goes in as "auditLastHash" when there is one: the log's end at
// that moment, so a later log that lost rows at its end (which its chain
// alone cannot show) is found against it.
Status writeManifest(const QString& copy, const QVector<qint64>& rows, const QDateTime& made,
                     bool encrypted = false, const QString& auditLastHash = QString());

enum class ManifestCheck
{
    Matched, // the copy is the file the manifest describes
    Missing  // no manifest beside it (a copy of an earlier version, or from elsewhere)
};

// Checks a copy against the manifest beside it. A manifest that cannot be
// read, or one that describes another file, is a failure whose message says
// that the copy changed after it was made.
Status checkManifest(const QString& copy, ManifestCheck* outcome);

} // namespace lumo
