#pragma once
// Replaces a file as a whole: the new content is written beside it, forced to
// disk and renamed over the old file, so a crash or a full disk never leaves a
// truncated file behind. Every short write is an error (QSaveFile on this
// platform reports success after a write cut short by the file-size limit).

#include "base/status.h"

#include <QByteArray>
#include <QString>

namespace lumo {

// Refuses a target that exists and is not a regular file (a device node, a
// FIFO, a folder): renaming over it would replace it, writing into it would
// never end or land elsewhere. A failure leaves the old file as it was.
// osError, when given, receives the system's error number of a failure (0 when
// none applies), for callers whose messages depend on what went wrong.
Status writeFileAtomically(const QString& path, const QByteArray& content, int* osError = nullptr);

// Copies a file the same way: beside the target, every write checked, the
// copy's size compared with the source's, then moved into place. Without
// overwrite an existing target is an error and stays untouched. A failed copy
// leaves nothing behind.
Status copyFileAtomically(const QString& from, const QString& to, bool overwrite = false,
                          int* osError = nullptr);

// True when the path names nothing, or a regular file (through any link).
bool isRegularOrAbsent(const QString& path);

// Removes the temporary files that a process killed while writing one of
// `names` (wildcards allowed: "*.bmp") in `dir` left beside it. A temporary
// file that a writer still holds is left alone, so a writer on another
// workstation goes on; so is any file the program did not name (an
// operator's "ZuDefTw.ini.backup"). Returns the names removed.
QStringList removeLeftoverTemporaries(const QString& dir, const QStringList& names);

} // namespace lumo
