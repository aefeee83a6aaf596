#pragma once
// Whether a folder lies on an encrypted file system, from what the system
// itself says: the folder's fscrypt policy (ext4, f2fs), or its block device
// built on a dm-crypt/LUKS mapping (directly, under LVM, or as a partition of
// one), found by walking /sys from the device number of the folder's file
// system. Both the sysfs root and the policy query can be replaced, so the
// rules are checked on made-up device trees.

#include <QString>
#include <functional>

namespace lumo {

enum class DiskEncryption
{
    Encrypted,
    Plain,  // a block device of this machine, with no encryption under it
    Unknown // no block device to look at (a network folder, tmpfs, btrfs's own numbers)
};

struct EncryptionProbe
{
    QString sysRoot = QStringLiteral("/sys");
    // True when the folder has an fscrypt policy; by default the kernel's ioctl.
    std::function<bool(const QString& folder)> hasFscryptPolicy;
};

// The block device major:minor (as /sys/dev/block names it) and what lies under it.
DiskEncryption blockDeviceEncryption(const QString& sysRoot, unsigned major, unsigned minor);

// The folder: its fscrypt policy first, then the block device of its file system.
DiskEncryption folderEncryption(const QString& folder, const EncryptionProbe& probe = {});

// The kernel's answer for the folder: FS_IOC_GET_ENCRYPTION_POLICY_EX, or the
// older FS_IOC_GET_ENCRYPTION_POLICY on a kernel without it.
bool kernelFscryptPolicy(const QString& folder);

} // namespace lumo
