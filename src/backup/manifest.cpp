#include "backup/manifest.h"

#include "backup/backup.h"
#include "base/atomicfile.h"
#include "base/boundedread.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace lumo {
namespace {

// A manifest is a few hundred bytes; a larger file named like one is not ours.
constexpr qint64 ManifestLimit = 64 * 1024;

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

QString manifestPath(const QString& copy)
{
    return copy + QStringLiteral(".json");
}

Status fileSha256(const QString& path, QByteArray* hex)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f)) return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    *hex = hash.result().toHex();
    return Status::success();
}

Status writeManifest(const QString& copy, const QVector<qint64>& rows, const QDateTime& made, bool encrypted,
                     const QString& auditLastHash)
{
    QByteArray sha;
    if (Status s = fileSha256(copy, &sha); !s) return s;
    QJsonObject tables;
    // An encrypted copy's counts stay inside it: the manifest beside it is in clear.
    for (int i = 0; !encrypted && i < rows.size() && i < backupCountedTables().size(); ++i)
        tables.insert(backupCountedTables().at(i), rows.at(i));
    QJsonObject o;
    o.insert(QStringLiteral("file"), QFileInfo(copy).fileName());
    o.insert(QStringLiteral("bytes"), QFileInfo(copy).size());
    o.insert(QStringLiteral("sha256"), QString::fromLatin1(sha));
    o.insert(QStringLiteral("made"), made.toString(Qt::ISODate));
    if (!encrypted) o.insert(QStringLiteral("rows"), tables);
    o.insert(QStringLiteral("encrypted"), encrypted);
    if (!auditLastHash.isEmpty()) o.insert(QStringLiteral("auditLastHash"), auditLastHash);
    return writeFileAtomically(manifestPath(copy), QJsonDocument(o).toJson());
}

Status checkManifest(const QString& copy, ManifestCheck* outcome)
{
    const QString path = manifestPath(copy);
    *outcome = ManifestCheck::Missing;
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) return Status::success();
    auto changed = [&](const QString& why) {
        return Status::failure(
            u("%1 與備份清單 %2 不符（%3）：備份後檔案已被改動或損壞，不予還原；資料庫維持原狀。")
                .arg(copy, path, why));
    };
    QByteArray text;
    if (Status s = readRegularFile(path, ManifestLimit, &text); !s) return changed(s.error);
    const QJsonObject o = QJsonDocument::fromJson(text).object();
    const QByteArray want = o.value(QStringLiteral("sha256")).toString().toLatin1().toLower();
    if (want.size() != 64) return changed(u("清單沒有 SHA-256"));
    QByteArray have;
    if (Status s = fileSha256(copy, &have); !s) return s;
    if (have != want) return changed(QStringLiteral("SHA-256 %1").arg(QString::fromLatin1(have)));
    *outcome = ManifestCheck::Matched;
    return Status::success();
}

} // namespace lumo
