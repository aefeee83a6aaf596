#include "shell/datadir.h"

#include "records/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumo {
namespace {

QString withSeparator(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\'))) dir += QLatin1Char('/');
    return dir;
}

// Renames one database file; a leftover write-ahead log is folded in first
// so that no committed change stays behind under the old name.
bool renameDatabase(const QString& from, const QString& to)
{
    Database::settle(from);
    return QFile::rename(from, to);
}

} // namespace

QString defaultDataDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\quenta\\lumo\\");
#else
    return withSeparator(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
#endif
}

QString deliveredDirectory()
{
    return withSeparator(QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/lumo")));
}

QString dataFilePath(const QString& dir, const QString& name)
{
    const QString base = withSeparator(dir);
    if (QFileInfo::exists(base + name)) return base + name;
    const QStringList entries = QDir(base).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0) return base + e;
    return base + name;
}

bool dataFileExists(const QString& dir, const QString& name) { return QFileInfo::exists(dataFilePath(dir, name)); }

QStringList copyDeliveredFiles(const QString& deliveredDir, const QString& dataDir)
{
    QStringList copied;
    QDir().mkpath(dataDir);
    const QString from = withSeparator(deliveredDir);
    const QStringList files = QDir(from).entryList(QDir::Files);
    for (const QString& f : files) {
        if (dataFileExists(dataDir, f)) continue;
        if (QFile::copy(from + f, withSeparator(dataDir) + f)) {
            // Installed files are read-only; the copies must be writable like any data file.
            QFile::setPermissions(withSeparator(dataDir) + f, QFile::permissions(from + f) | QFile::WriteOwner | QFile::ReadOwner);
            copied << f;
        }
    }
    const QString pictures = from + QLatin1String(PictureFolder);
    if (QFileInfo(pictures).isDir()) {
        const QString target = dataFilePath(dataDir, QLatin1String(PictureFolder));
        QDir().mkpath(target);
        for (const QString& f : QDir(pictures).entryList(QDir::Files)) {
            if (dataFileExists(target, f)) continue;
            if (QFile::copy(pictures + QLatin1Char('/') + f, withSeparator(target) + f))
                copied << QLatin1String(PictureFolder) + QLatin1Char('/') + f;
        }
    }
    return copied;
}

PreparedFiles prepareDataDirectory(const QString& dataDir)
{
    PreparedFiles result;
    auto path = [&](const char* name) { return dataFilePath(dataDir, QLatin1String(name)); };
    auto exists = [&](const char* name) { return dataFileExists(dataDir, QLatin1String(name)); };

    result.templateMissing = !exists(TemplateDatabaseFile);

    // The upgrade swap: the delivered empty database becomes the main one and
    // the old main database waits as lumo.mdb to be converted. A rename onto an
    // existing name fails and is passed over.
    if (exists(UpgradeDatabaseFile) && exists(MainDatabaseFile)) {
        if (!exists(OldDatabaseFile) && renameDatabase(path(MainDatabaseFile), path(OldDatabaseFile)))
            if (!exists(MainDatabaseFile)) renameDatabase(path(UpgradeDatabaseFile), path(MainDatabaseFile));
    }
    if (exists(UpgradeDatabaseFile) && exists(OldDatabaseFile)) QFile::remove(path(UpgradeDatabaseFile));

    if (!exists(MainDatabaseFile) && !result.templateMissing) {
        QFile::copy(path(TemplateDatabaseFile), path(MainDatabaseFile));
        QFile::setPermissions(path(MainDatabaseFile), QFile::permissions(path(MainDatabaseFile)) | QFile::WriteOwner);
        if (exists(UpgradeDatabaseFile)) QFile::remove(path(UpgradeDatabaseFile));
    }
    return result;
}

} // namespace lumo
