#pragma once
// The data directory holds clients' health records: what the program creates
// there is readable and writable by the user alone.

#include "base/status.h"

#include <QString>

namespace lumo {

// Every file and folder the process creates from now on is the user's alone
// (0600 / 0700), also those that SQLite creates (logs, shared memory) and the
// copies of the delivered files. Called first thing by both programs.
void usePrivateFileModes();

// The permission bits the process's creation mask leaves of `mode`.
unsigned modeAfterMask(unsigned mode);

// Creates the folder and every missing folder above it, each the user's
// alone (0700). Folders that exist, and what links point to, keep their
// modes: a folder the operator named (or /tmp) is not the program's to close.
Status makePrivateFolders(const QString& path);

// A folder that users other than its owner can read (list or open files of):
// a failure naming it and saying how to close it; success otherwise.
Status checkPrivateDirectory(const QString& dir);

} // namespace lumo
