#include "base/atomicfile.h"

#include "base/privatefiles.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libgen.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <QDir>
#include <QRegularExpression>

namespace lumo {

bool isRegularOrAbsent(const QString& path)
{
    const QFileInfo info(path);
    // A dangling link is no file to replace: writing through it would create one elsewhere.
    if (info.isSymLink()) return info.exists() && info.isFile();
    return !info.exists() || info.isFile();
}

namespace {

// The temporary file beside a target: target + TempInfix + six characters.
constexpr const char* TempInfix = ".lumo-";

Status notRegular(const QString& path)
{
    return Status::failure(QStringLiteral("%1: not a regular file; it is left as it is").arg(path));
}

} // namespace

#ifdef Q_OS_WIN

Status writeFileAtomically(const QString& path, const QByteArray& content, int* osError)
{
    if (osError) *osError = 0;
    if (!isRegularOrAbsent(path)) return notRegular(path);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    if (f.write(content) != content.size() || !f.commit())
        return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    return Status::success();
}

Status copyFileAtomically(const QString& from, const QString& to, bool overwrite, int* osError)
{
    if (osError) *osError = 0;
    if (!isRegularOrAbsent(to)) return notRegular(to);
    if (!overwrite && QFileInfo::exists(to))
        return Status::failure(QStringLiteral("%1: file exists").arg(to));
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("%1: %2").arg(from, in.errorString()));
    const QByteArray content = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return Status::failure(QStringLiteral("%1: %2").arg(from, in.errorString()));
    return writeFileAtomically(to, content, osError);
}

#else

namespace {

Status failure(const QString& path, int err)
{
    return Status::failure(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
}

// Hands the system's error number of a failure to a caller that asked for it.
class ErrorOut
{
public:
    explicit ErrorOut(int* out) : m_out(out)
    {
        if (m_out) *m_out = 0;
    }
    Status failure(const QString& path, int err) { return set(err, lumo::failure(path, err)); }
    Status set(int err, Status s)
    {
        if (m_out) *m_out = err;
        return s;
    }

private:
    int* m_out;
};

// Writes every byte; a write that makes no progress is a full disk.
int writeAll(int fd, const char* p, qint64 left)
{
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        p += n;
        left -= n;
    }
    return 0;
}

// Makes a finished rename survive a power cut.
void syncDirectoryOf(const QByteArray& path)
{
    QByteArray copy = path;
    const int fd = ::open(::dirname(copy.data()), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A temporary file beside the target; removed unless it was moved into place.
class TempBeside
{
public:
    explicit TempBeside(const QByteArray& target) : m_target(target), m_path(target + TempInfix + "XXXXXX")
    {
        m_fd = ::mkstemp(m_path.data());
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        // Held while it is written: a later start tells a file being written
        // from one a killed process left (removeLeftoverTemporaries).
        ::flock(m_fd, LOCK_EX | LOCK_NB);
    }
    ~TempBeside()
    {
        if (m_fd >= 0) ::close(m_fd);
        if (!m_placed) ::unlink(m_path.constData());
    }
    TempBeside(const TempBeside&) = delete;
    TempBeside& operator=(const TempBeside&) = delete;

    int fd() const { return m_fd; }
    int error() const { return m_error; }

    // Forces the content to disk and closes; errno or 0.
    int finish()
    {
        if (::fsync(m_fd) != 0) return errno;
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }
    // Replaces the target (overwrite) or refuses an existing one (link fails
    // then, atomically, where a rename would silently replace it).
    int place(bool overwrite)
    {
        int rc = 0;
        if (overwrite) {
            rc = ::rename(m_path.constData(), m_target.constData()) == 0 ? 0 : errno;
        } else if (::link(m_path.constData(), m_target.constData()) == 0) {
            ::unlink(m_path.constData());
        } else {
            rc = errno;
            // File systems without hard links: the existence test and the rename are separate steps.
            struct stat st
            {
            };
            if ((rc == EPERM || rc == EOPNOTSUPP) && ::lstat(m_target.constData(), &st) != 0)
                rc = ::rename(m_path.constData(), m_target.constData()) == 0 ? 0 : errno;
        }
        if (rc == 0) {
            m_placed = true;
            syncDirectoryOf(m_target);
        }
        return rc;
    }

private:
    QByteArray m_target;
    QByteArray m_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_placed = false;
};

} // namespace

Status writeFileAtomically(const QString& path, const QByteArray& content, int* osError)
{
    ErrorOut out(osError);
    if (!isRegularOrAbsent(path)) return out.set(EINVAL, notRegular(path));
    const QByteArray target = QFile::encodeName(path);
    TempBeside temp(target);
    if (temp.fd() < 0) return out.failure(path, temp.error());
    if (int err = writeAll(temp.fd(), content.constData(), content.size())) return out.failure(path, err);
    // Keep the permissions of the file being replaced (mkstemp creates 0600);
    // a new file gets what the process's creation mask allows, as open() would.
    struct stat old
    {
    };
    ::fchmod(temp.fd(), ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : modeAfterMask(0666));
    if (int err = temp.finish()) return out.failure(path, err);
    if (int err = temp.place(true)) return out.failure(path, err);
    return Status::success();
}

Status copyFileAtomically(const QString& from, const QString& to, bool overwrite, int* osError)
{
    ErrorOut out(osError);
    if (!isRegularOrAbsent(to)) return out.set(EINVAL, notRegular(to));
    const QByteArray target = QFile::encodeName(to);
    struct stat existing
    {
    };
    if (!overwrite && ::lstat(target.constData(), &existing) == 0) return out.failure(to, EEXIST);
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return out.failure(from, errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    struct stat source
    {
    };
    if (::fstat(in, &source) != 0) return out.failure(from, errno);
    if (!S_ISREG(source.st_mode)) return out.set(EINVAL, notRegular(from));

    TempBeside temp(target);
    if (temp.fd() < 0) return out.failure(to, temp.error());
    char buffer[65536];
    qint64 copied = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return out.failure(from, errno);
        if (n == 0) break;
        if (int err = writeAll(temp.fd(), buffer, n)) return out.failure(to, err);
        copied += n;
    }
    if (copied != qint64(source.st_size))
        return out.set(EIO, Status::failure(QStringLiteral("%1: copied %2 of %3 bytes")
                                                .arg(to, QString::number(copied),
                                                     QString::number(qint64(source.st_size)))));
    // Delivered files are installed read-only; the copies are data files and must be writable.
    // The creation mask applies as to any new file (the data directory's files are private).
    ::fchmod(temp.fd(), modeAfterMask((source.st_mode & 0777) | S_IRUSR | S_IWUSR));
    if (int err = temp.finish()) return out.failure(to, err);
    if (int err = temp.place(overwrite)) return out.failure(to, err);
    return Status::success();
}

#endif

namespace {

// A temporary name of a file among the names: ".lumo-" and six characters, or
// the bare six characters earlier versions used. Those random six mix the
// kinds of characters; an operator's ".backup" or ".202401" does not.
bool isTemporaryOf(const QString& entry, const QStringList& names)
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)\\.(lumo-)?([A-Za-z0-9]{6})$"));
    const QRegularExpressionMatch m = pattern.match(entry);
    if (!m.hasMatch()) return false;
    if (m.captured(2).isEmpty()) {
        const QString random = m.captured(3);
        const bool lower = random.contains(QRegularExpression(QStringLiteral("[a-z]")));
        const bool upper = random.contains(QRegularExpression(QStringLiteral("[A-Z]")));
        const bool digit = random.contains(QRegularExpression(QStringLiteral("[0-9]")));
        if (int(lower) + int(upper) + int(digit) < 2) return false;
    }
    const QString base = m.captured(1);
    for (const QString& n : names) {
        const QRegularExpression wanted(QRegularExpression::wildcardToRegularExpression(n),
                                        QRegularExpression::CaseInsensitiveOption);
        if (wanted.match(base).hasMatch()) return true;
    }
    return false;
}

} // namespace

QStringList removeLeftoverTemporaries(const QString& dir, const QStringList& names)
{
    QStringList removed;
#ifndef Q_OS_WIN
    const QDir d(dir);
    for (const QString& entry : d.entryList(QDir::Files | QDir::Hidden)) {
        if (!isTemporaryOf(entry, names)) continue;
        const QByteArray path = QFile::encodeName(d.filePath(entry));
        struct stat named
        {
        };
        if (::lstat(path.constData(), &named) != 0 || !S_ISREG(named.st_mode)) continue;
        // Never through a link, and only what no writer holds (opened for
        // writing: on a network folder an exclusive lock needs that).
        const int fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st
        {
        };
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(path.constData()) == 0)
            removed << entry;
        ::close(fd);
    }
#else
    Q_UNUSED(dir);
    Q_UNUSED(names);
#endif
    return removed;
}

} // namespace lumo
