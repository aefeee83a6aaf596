#include "practice/atrestnotice.h"

#include "base/atomicfile.h"
#include "base/boundedread.h"
#include "records/database.h"
#include "records/serverroles.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QSqlQuery>

namespace lumo {
namespace {

bool toldOn(const QString& dataDir, const char* file, QDate today)
{
    QByteArray day;
    const QString path = dataFilePath(dataDir, QLatin1String(file));
    return readRegularFile(path, 64, &day) &&
           QDate::fromString(QString::fromLatin1(day.trimmed()), Qt::ISODate) == today;
}

} // namespace

bool hasOperators(Database& db)
{
    QSqlQuery q(db.sql());
    return q.exec(QStringLiteral("SELECT 1 FROM LUMOOPER LIMIT 1")) && q.next();
}

QString unencryptedDataMessage(const QString& dataDir)
{
    return QString::fromUtf8("資料目錄 %1 不在加密的檔案系統上，電腦或硬碟遺失時個人健康資料可能被讀取。")
               .arg(dataDir) +
           QStringLiteral("\r\n") +
           QString::fromUtf8("建議：啟用作業系統的磁碟加密（例如 LUKS 全磁碟加密）。");
}

QString encryptionNoticeDue(SharedState& state, QDate today, const EncryptionProbe& probe)
{
    if (!state.MainDatabase || state.MainDatabase->onServer()) return {};
    if (!state.Session.practiceMode && !hasOperators(*state.MainDatabase)) return {};
    if (toldOn(state.DataDirectory, EncryptionNoticeFile, today)) return {};
    // A folder whose device cannot be told (a network folder) is not called unencrypted.
    if (folderEncryption(state.DataDirectory, probe) != DiskEncryption::Plain) return {};
    // Remembered as told; where nothing can be written it is told at each start.
    writeFileAtomically(dataFilePath(state.DataDirectory, QLatin1String(EncryptionNoticeFile)),
                        today.toString(Qt::ISODate).toLatin1());
    return unencryptedDataMessage(state.DataDirectory);
}

QString auditOwnerNoticeDue(SharedState& state, QDate today)
{
    if (!state.MainDatabase || !state.MainDatabase->onServer()) return {};
    if (!state.Session.practiceMode && !hasOperators(*state.MainDatabase)) return {};
    if (toldOn(state.DataDirectory, AuditOwnerNoticeFile, today)) return {};
    bool owns = false;
    if (!loginOwnsAuditLog(*state.MainDatabase, &owns) || !owns) return {};
    writeFileAtomically(dataFilePath(state.DataDirectory, QLatin1String(AuditOwnerNoticeFile)),
                        today.toString(Qt::ISODate).toLatin1());
    return auditOwnerNotice();
}

} // namespace lumo
