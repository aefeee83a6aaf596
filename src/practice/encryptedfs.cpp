#include "practice/encryptedfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <fcntl.h>
#include <linux/fscrypt.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace lumo {
namespace {

// Deeper stacks than this do not occur (crypt under LVM under a partition is
// four); a made-up or looping tree ends here.
constexpr int MaxDepth = 16;

QByteArray firstLine(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readLine(256).trimmed();
}

// A device node of /sys/block or /sys/devices, followed down to what it is
// built from: its slaves (the devices a dm or md device maps), and for a
// partition the whole device it is part of. Holders point the other way (a
// device that something encrypted is built on holds ciphertext, and the file
// system on it is not encrypted), so they are never followed.
bool builtOnCrypt(const QString& node, int depth, QSet<QString>& seen)
{
    const QString path = QFileInfo(node).canonicalFilePath();
    if (path.isEmpty() || depth > MaxDepth || seen.contains(path)) return false;
    seen.insert(path);
    if (firstLine(path + QStringLiteral("/dm/uuid")).startsWith("CRYPT-")) return true;
    if (QFileInfo::exists(path + QStringLiteral("/partition")) &&
        builtOnCrypt(QFileInfo(path).absolutePath(), depth + 1, seen))
        return true;
    const QDir slaves(path + QStringLiteral("/slaves"));
    for (const QString& name : slaves.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (builtOnCrypt(slaves.filePath(name), depth + 1, seen)) return true;
    return false;
}

} // namespace

DiskEncryption blockDeviceEncryption(const QString& sysRoot, unsigned major, unsigned minor)
{
    const QString node = QStringLiteral("%1/dev/block/%2:%3").arg(sysRoot).arg(major).arg(minor);
    if (!QFileInfo(node).isDir()) return DiskEncryption::Unknown;
    QSet<QString> seen;
    return builtOnCrypt(node, 0, seen) ? DiskEncryption::Encrypted : DiskEncryption::Plain;
}

bool kernelFscryptPolicy(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    fscrypt_get_policy_ex_arg ex{};
    ex.policy_size = sizeof ex.policy;
    int rc = ::ioctl(fd, FS_IOC_GET_ENCRYPTION_POLICY_EX, &ex);
    // A kernel before 5.4 knows only the first version of the query.
    if (rc != 0 && errno == ENOTTY) {
        fscrypt_policy_v1 v1{};
        rc = ::ioctl(fd, FS_IOC_GET_ENCRYPTION_POLICY, &v1);
    }
    ::close(fd);
    return rc == 0;
}

DiskEncryption folderEncryption(const QString& folder, const EncryptionProbe& probe)
{
    const bool policy = probe.hasFscryptPolicy ? probe.hasFscryptPolicy(folder) : kernelFscryptPolicy(folder);
    if (policy) return DiskEncryption::Encrypted;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0) return DiskEncryption::Unknown;
    return blockDeviceEncryption(probe.sysRoot, major(st.st_dev), minor(st.st_dev));
}

} // namespace lumo
