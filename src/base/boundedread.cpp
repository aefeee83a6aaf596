#include "base/boundedread.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumo {
namespace {

Status tooLarge(const QString& path, qint64 limit)
{
    return Status::failure(QStringLiteral("%1: larger than %2 bytes").arg(path, QString::number(limit)));
}

Status notRegular(const QString& path)
{
    return Status::failure(QStringLiteral("%1: not a regular file").arg(path));
}

} // namespace

#ifdef Q_OS_WIN

Status readRegularFile(const QString& path, qint64 limit, QByteArray* content)
{
    if (!QFileInfo(path).isFile()) return notRegular(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    *content = f.read(limit + 1);
    if (f.error() != QFileDevice::NoError)
        return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    if (content->size() > limit) return tooLarge(path, limit);
    return Status::success();
}

#else

Status readRegularFile(const QString& path, qint64 limit, QByteArray* content)
{
    auto fail = [&](int err) {
        return Status::failure(
            QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
    };
    // Opened without blocking, so a FIFO cannot hold the start; its type is
    // then taken from the open file itself, not from a name that may change.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return notRegular(path);
    if (st.st_size > limit) return tooLarge(path, limit);
    QByteArray data(int(limit + 1), Qt::Uninitialized);
    qint64 got = 0;
    while (got <= limit) {
        const ssize_t n = ::read(fd, data.data() + got, size_t(limit + 1 - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno);
        if (n == 0) break;
        got += n;
    }
    // A file that grew while it was read is as suspect as one that was too large.
    if (got > limit) return tooLarge(path, limit);
    data.truncate(int(got));
    *content = data;
    return Status::success();
}

#endif

} // namespace lumo
