#include "base/atomicfolder.h"

#include "base/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {
namespace {

Status failure(const QString& path, int err)
{
    return Status::failure(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
}

// The file in a folder being written whose lock tells a living writer from a killed one.
constexpr const char* LockFile = ".lumo-partial";

// The lock of a folder's lock file, taken without waiting; -1 when it is
// missing, no plain file, or held by a living writer.
int lockOf(const QByteArray& folder, bool create)
{
    const QByteArray path = folder + '/' + LockFile;
    const int fd = ::open(path.constData(),
                          O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT | O_EXCL : O_NONBLOCK), 0600);
    if (fd < 0) return -1;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether a folder holds plain files only, as this class writes them.
bool holdsOnlyFiles(const QString& folder)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries)
        if (e.isSymLink() || !e.isFile()) return false;
    return true;
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
    // Held while this object lives: a later export or start removes the
    // folder only when no process holds it (this one was killed).
    m_lock = lockOf(m_work, true);
    // mkdtemp makes it 0700; the finished folder gets what the creation mask allows.
    ::chmod(m_work.constData(), modeAfterMask(0777));
}

FolderBeside::~FolderBeside()
{
    if (!m_placed && !m_work.isEmpty()) QDir(QFile::decodeName(m_work)).removeRecursively();
    if (m_lock >= 0) ::close(m_lock);
}

QStringList FolderBeside::removeLeftovers(const QString& parent)
{
    static const QRegularExpression name(QStringLiteral("^\\..+\\.partial-[A-Za-z0-9]{6}$"));
    QStringList removed;
    const QDir dir(parent);
    for (const QString& entry : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString folder = dir.filePath(entry);
        if (!name.match(entry).hasMatch() || QFileInfo(folder).isSymLink() || !holdsOnlyFiles(folder))
            continue;
        const int lock = lockOf(QFile::encodeName(folder), false);
        if (lock < 0) continue;
        if (QDir(folder).removeRecursively()) removed << entry;
        ::close(lock);
    }
    return removed;
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
    // The lock file goes before the folder gets its name; the lock stays held
    // until this object goes, so no cleanup takes the folder meanwhile.
    ::unlink((m_work + '/' + LockFile).constData());
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
