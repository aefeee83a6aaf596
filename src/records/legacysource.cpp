#include "records/legacysource.h"

#include <QFile>
#include <QFileInfo>

namespace lumo {

int LegacyCursor::columnIndex(const QString& name) const
{
    const QVector<LegacyColumn>& c = columns();
    for (int i = 0; i < c.size(); ++i)
        if (c.at(i).name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString LegacySource::tableName(const QString& wanted) const
{
    for (const QString& t : tables())
        if (t.compare(wanted, Qt::CaseInsensitive) == 0) return t;
    return {};
}

QString legacyFormatName(LegacySource::Format f)
{
    switch (f) {
    case LegacySource::Format::Sqlite:
        return QStringLiteral("SQLite");
    case LegacySource::Format::Jet3:
        return QStringLiteral("Jet 3");
    case LegacySource::Format::Jet4:
        return QStringLiteral("Jet 4");
    }
    return {};
}

QString notADatabaseMessage(const QString& path)
{
    return QString::fromUtf8("%1：不是資料庫檔案（或檔案已損壞）").arg(path);
}

FileSignature fileSignature(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile()) return FileSignature::Missing;
    if (!f.open(QIODevice::ReadOnly)) return FileSignature::Other;
    const QByteArray head = f.read(32);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0"))) return FileSignature::Sqlite;
    // An Access file names its engine at byte 4 ("Standard Jet DB", and "Standard ACE DB" for the later
    // format).
    const QByteArray engine = head.mid(4, 15);
    if (engine == "Standard Jet DB" || engine == "Standard ACE DB") return FileSignature::Jet;
    return FileSignature::Other;
}

std::unique_ptr<LegacySource> openLegacySource(const QString& path, Status* status)
{
    switch (fileSignature(path)) {
    case FileSignature::Missing:
        if (status) *status = Status::failure(QString::fromUtf8("%1：檔案不存在").arg(path));
        return nullptr;
    case FileSignature::Sqlite:
        return openSqliteSource(path, status);
    case FileSignature::Jet:
        return openJetSource(path, status);
    case FileSignature::Other:
        break;
    }
    if (status) *status = Status::failure(notADatabaseMessage(path));
    return nullptr;
}

} // namespace lumo
