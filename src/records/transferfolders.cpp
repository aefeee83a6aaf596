#include "records/transferfolders.h"

#include <QFileInfo>
#include <QSettings>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

QStringList removableMountRoots()
{
    const QString user = qEnvironmentVariable("USER");
    QStringList roots;
    if (!user.isEmpty()) roots << QStringLiteral("/media/") + user << QStringLiteral("/run/media/") + user;
    roots << QStringLiteral("/media");
    return roots;
}

QString transferStartFolder(const QStringList& mountRoots, const QString& home)
{
    for (const QString& root : mountRoots) {
        const QDir dir(root);
        const QStringList drives =
            dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name);
        for (const QString& d : drives) {
            const QString path = dir.filePath(d);
            // A user's own mount folder under /media is a root, not a drive.
            if (mountRoots.contains(path)) continue;
            return path;
        }
    }
    return home;
}

QString lastUsedFolder(const QString& key, const QString& fallback)
{
    const QString kept = QSettings().value(key).toString();
    return !kept.isEmpty() && QFileInfo(kept).isDir() ? kept : fallback;
}

void rememberFolder(const QString& key, const QString& folder)
{
    QSettings().setValue(key, QFileInfo(folder).absoluteFilePath());
}

Status createFolderIn(const QString& parent, const QString& name, QString* created)
{
    const QString n = name.trimmed();
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String("..") || n.contains(QLatin1Char('/')) ||
        n.contains(QLatin1Char('\\')) || n.contains(QChar(0)))
        return Status::failure(u("「%1」不能當作資料夾名稱。").arg(n));
    const QFileInfo where(parent.trimmed());
    if (!where.isDir())
        return Status::failure(u("目錄不存在：%1").arg(QDir::toNativeSeparators(parent.trimmed())));
    const QString path = QDir(where.absoluteFilePath()).filePath(n);
    if (QFileInfo::exists(path)) return Status::failure(u("已經有名為「%1」的檔案或資料夾。").arg(n));
    if (!QDir().mkdir(path))
        return Status::failure(
            u("無法建立資料夾 %1（沒有寫入權限，或磁碟已滿）。").arg(QDir::toNativeSeparators(path)));
    if (created) *created = path;
    return Status::success();
}

QString missingDestinationMessage(const QString& directory)
{
    return u("匯出目的地的目錄不存在：%1\r\n請選擇一個已有的目錄，或以「新增資料夾」建立，再重新匯出資料。")
        .arg(QDir::toNativeSeparators(directory.trimmed()));
}

} // namespace lumo
