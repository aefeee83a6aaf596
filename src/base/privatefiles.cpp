#include "base/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QString>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#endif

namespace lumo {

#ifdef Q_OS_WIN

void usePrivateFileModes() {}
unsigned modeAfterMask(unsigned mode)
{
    return mode;
}
Status checkPrivateDirectory(const QString&)
{
    return Status::success();
}
Status makePrivateFolders(const QString& path)
{
    if (QDir().mkpath(path)) return Status::success();
    return Status::failure(QStringLiteral("%1: cannot be created").arg(path));
}

#else

void usePrivateFileModes()
{
    ::umask(077);
}

unsigned modeAfterMask(unsigned mode)
{
    // The mask can only be read by setting it; /proc has it without the moment
    // in which another thread would create files under a mask of 0.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) return mode & ~mask;
            }
        }
    }
    const mode_t mask = ::umask(077);
    ::umask(mask);
    return mode & ~unsigned(mask);
}

Status makePrivateFolders(const QString& path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    // Each folder from the top down: only those that are missing are made.
    qsizetype from = 1;
    for (;;) {
        const qsizetype slash = clean.indexOf(QLatin1Char('/'), from);
        const QString folder = slash < 0 ? clean : clean.left(slash);
        const QByteArray name = QFile::encodeName(folder);
        struct stat st
        {
        };
        if (::stat(name.constData(), &st) != 0) {
            if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
                return Status::failure(
                    QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
            if (::stat(name.constData(), &st) != 0) st.st_mode = 0;
        }
        if (!S_ISDIR(st.st_mode)) return Status::failure(QStringLiteral("%1: not a folder").arg(folder));
        if (slash < 0) return Status::success();
        from = slash + 1;
    }
}

Status checkPrivateDirectory(const QString& dir)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Status::success();
    if ((st.st_mode & (S_IRGRP | S_IROTH)) == 0) return Status::success();
    return Status::failure(QString::fromUtf8("資料目錄 %1 其他使用者也可以讀取，其中存有個人健康資料；"
                                             "建議只允許本使用者存取（chmod 700 %1）。")
                               .arg(dir));
}

#endif

} // namespace lumo
