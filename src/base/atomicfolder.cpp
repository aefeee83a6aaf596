#include "base/atomicfolder.h"

#include "base/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {
namespace {

Status failure(const QString& path, int err)
{
    return Status::failure(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
}

int syncPath(const QByteArray& path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    const int rc = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return rc;
}

} // namespace

FolderBeside::FolderBeside(const QString& target) : m_target(QFileInfo(target).absoluteFilePath())
{
    const QFileInfo info(m_target);
    if (info.exists() || info.isSymLink()) {
        m_begun = Status::failure(
            QString::fromUtf8("%1: 已經存在，不會覆蓋").arg(QDir::toNativeSeparators(m_target)));
        return;
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        m_begun = Status::failure(
            QString::fromUtf8("%1: 資料夾不存在").arg(QDir::toNativeSeparators(info.absolutePath())));
        return;
    }
    // Hidden and marked as unfinished, beside the target so that the rename
    // stays on one file system.
    m_work = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                               QStringLiteral(".partial-XXXXXX"));
    if (!::mkdtemp(m_work.data())) {
        m_begun = failure(info.absolutePath(), errno);
        m_work.clear();
        return;
    }
    // mkdtemp makes it 0700; the finished folder gets what the creation mask allows.
    ::chmod(m_work.constData(), modeAfterMask(0777));
}

FolderBeside::~FolderBeside()
{
    if (m_placed || m_work.isEmpty()) return;
    QDir(QFile::decodeName(m_work)).removeRecursively();
}

Status FolderBeside::write(const QString& name, const QByteArray& content)
{
    if (!m_begun) return m_begun;
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return Status::failure(QStringLiteral("%1: not a plain file name").arg(name));
    const QByteArray path = m_work + '/' + QFile::encodeName(name);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const QString shown = QDir::toNativeSeparators(m_target + QLatin1Char('/') + name);
    if (fd < 0) return failure(shown, errno);
    const char* p = content.constData();
    qint64 left = content.size();
    int err = 0;
    while (left > 0 && !err) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            err = errno;
        else if (n == 0)
            err = ENOSPC; // no progress: the disk is full
        else {
            p += n;
            left -= n;
        }
    }
    // Forced to disk all at once when the folder is placed: one flush of the
    // file system instead of one wait per file.
    if (::close(fd) != 0 && !err) err = errno;
    return err ? failure(shown, err) : Status::success();
}

Status FolderBeside::place()
{
    if (!m_begun) return m_begun;
    // Every file and the folder itself on disk before the name appears, so a
    // power cut never leaves a named folder with files cut short.
    const int dir = ::open(m_work.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return failure(m_target, errno);
    const int err = ::syncfs(dir) == 0 && ::fsync(dir) == 0 ? 0 : errno;
    ::close(dir);
    if (err) return failure(m_target, err);
    const QByteArray target = QFile::encodeName(m_target);
    // A plain rename would replace an empty folder made meanwhile under the name.
    if (::renameat2(AT_FDCWD, m_work.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) != 0) {
        const int err = errno;
        if (err == EEXIST)
            return Status::failure(
                QString::fromUtf8("%1: 已經存在，不會覆蓋").arg(QDir::toNativeSeparators(m_target)));
        return failure(m_target, err);
    }
    m_placed = true;
    syncPath(QFile::encodeName(QFileInfo(m_target).absolutePath()), O_RDONLY | O_DIRECTORY);
    return Status::success();
}

} // namespace lumo
