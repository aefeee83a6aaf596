#pragma once
// Where the import and export screen's directory choosers start, and the
// folders an operator makes there: plain rules over the file system.

#include "base/status.h"

#include <QDir>
#include <QString>
#include <QStringList>

namespace lumo {

// The folders under which a desktop mounts removable drives (USB sticks, cards).
QStringList removableMountRoots();

// A removable drive mounted under one of `mountRoots` (the first, by name),
// else the home folder: where a transfer file is usually carried to or from,
// never the root of the file system.
QString transferStartFolder(const QStringList& mountRoots = removableMountRoots(),
                            const QString& home = QDir::homePath());

// The folder this workstation last exported to under `key` ("exports/subject"),
// while it is still there; otherwise `fallback`.
QString lastUsedFolder(const QString& key, const QString& fallback);
// Kept in the workstation's settings after an export that was written.
void rememberFolder(const QString& key, const QString& folder);

// Makes the folder `name` in `parent`; on success `created` is its path. A
// name that is empty, holds a path separator or is "." or "..", a folder that
// exists, and a folder that cannot be made are refused with the reason.
Status createFolderIn(const QString& parent, const QString& name, QString* created);

// The export's destination does not exist (nothing was written).
QString missingDestinationMessage(const QString& directory);

} // namespace lumo
