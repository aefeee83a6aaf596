#include "base/privatefiles.h"

#include <QFile>
#include <QString>

#ifndef Q_OS_WIN
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
