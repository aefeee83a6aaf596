#include "base/atomicfile.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumo {

#ifdef Q_OS_WIN

Status writeFileAtomically(const QString& path, const QByteArray& content)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    if (f.write(content) != content.size() || !f.commit())
        return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    return Status::success();
}

#else

Status writeFileAtomically(const QString& path, const QByteArray& content)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    auto fail = [&](int err) {
        return Status::failure(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
    };
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(errno);
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.constData());
        return fail(err);
    };
    const char* p = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return abandon(n < 0 ? errno : ENOSPC);
        p += n;
        left -= n;
    }
    // Keep the permissions of the file being replaced (mkstemp creates 0600).
    struct stat old{};
    ::fchmod(fd, ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    if (::fsync(fd) != 0) return abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(err);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(err);
    }
    return Status::success();
}

#endif

} // namespace lumo
