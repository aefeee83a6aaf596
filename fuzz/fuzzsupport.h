#pragma once
// What every fuzz target shares: the application object the SQL module wants,
// and a private folder for the inputs that are read as files.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace lumo::fuzz {

struct Environment
{
    int argc = 1;
    char name[8] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    // In memory where the system has it: the transfer target creates and
    // syncs a database for every input.
    QTemporaryDir dir{QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                          ? QStringLiteral("/dev/shm/lumo-fuzz-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/lumo-fuzz-XXXXXX")};

    // The input as a file of its own (libmdb and SQLite read files, not memory).
    QString write(const uint8_t* data, size_t size, const char* fileName)
    {
        const QString path = dir.filePath(QLatin1String(fileName));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(reinterpret_cast<const char*>(data), qint64(size));
        return path;
    }
};

inline Environment& environment()
{
    // Ends with the process, which removes the folder.
    static Environment e;
    return e;
}

} // namespace lumo::fuzz
