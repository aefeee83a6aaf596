#pragma once
// Whether a folder lies on a network file system. SQLite's write-ahead log
// needs memory shared between the processes that use a file, which only one
// machine can give; on a shared network folder the main file must use the
// rollback journal, whose file locks the server serializes.

#include <QByteArray>
#include <QString>

namespace lumo {

// The file system type as the system names it ("nfs4", "cifs", "fuse.sshfs" ...).
bool isNetworkFileSystemType(const QByteArray& type);

// True when path (a file or a folder, existing or not: its nearest existing
// folder counts) lies on a network file system. The environment variable
// LUMO_NETWORK_FOLDER set to 1 or 0 overrides the detection: tests and
// support use it to take either branch on any disk.
bool onNetworkFileSystem(const QString& path);

} // namespace lumo
