#include "base/filesystemkind.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace lumo {

bool isNetworkFileSystemType(const QByteArray& type)
{
    // FUSE file systems carry their own name after the dot; only those that
    // reach another machine count.
    static const char* const kNetwork[] = {
        "nfs",   "nfs4",   "cifs",   "smb",  "smb2",     "smb3",      "smbfs",  "ncpfs", "afs",
        "coda",  "9p",     "ceph",   "lustre", "gfs2",   "ocfs2",     "glusterfs", "davfs", "sshfs",
        "fuse.sshfs", "fuse.glusterfs", "fuse.davfs2", "fuse.rclone", "fuse.s3fs", "fuse.cephfs",
    };
    const QByteArray t = type.trimmed().toLower();
    if (t.isEmpty()) return false;
    for (const char* n : kNetwork)
        if (t == n) return true;
    return false;
}

bool onNetworkFileSystem(const QString& path)
{
    const QByteArray forced = qgetenv("LUMO_NETWORK_FOLDER");
    if (forced == "1") return true;
    if (forced == "0") return false;
    QFileInfo fi(path);
    QString folder = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
    // A file about to be created: its folder, or the nearest one that exists.
    while (!QFileInfo(folder).exists()) {
        const QString up = QFileInfo(folder).absolutePath();
        if (up == folder) break;
        folder = up;
    }
    const QStorageInfo storage(folder);
    return storage.isValid() && isNetworkFileSystemType(storage.fileSystemType());
}

} // namespace lumo
