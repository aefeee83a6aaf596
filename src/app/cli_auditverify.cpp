// lumo-cli audit --verify: the chain inside the database, then what vouches
// for it from outside: the system journal's copy of each row's hash (a file),
// the server's own log (a server), and the newest backup manifest's end of
// the log. Each says what it checked and nothing more.
#include "app/cli.h"

#include "practice/auditanchor.h"
#include "practice/auditlog.h"
#include "records/database.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSysInfo>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString keys(const QVector<qint64>& list)
{
    QStringList out;
    for (int i = 0; i < list.size() && i < 20; ++i)
        out << QString::number(list.at(i));
    if (list.size() > 20) out << u("…");
    return out.join(QStringLiteral(", "));
}

// 0: every row of this workstation found in the journal as written; 2: rows
// missing or changed there; 3: rows the journal never heard of.
int checkJournal(CliContext& c, Database& db)
{
    if (db.onServer()) {
        *c.out
            << u("伺服器：每列的雜湊也由附加函式寫入伺服器自己的記錄檔（RAISE LOG），工作站的登入無法讀取；"
                 "請由伺服器管理者比對記錄檔中的「lumo audit row」各行。")
            << Qt::endl;
        return 0;
    }
    AnchorCheck a;
    if (Status s = checkAnchors(db, QSysInfo::machineHostName(), &a); !s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    if (!a.journal || (!journalRunning() && a.anchored == 0)) {
        *c.out << u("系統日誌無法使用：只核對了資料庫內的鏈結。能存取這個檔案的帳號可以重算整條鏈結，"
                    "這一點無法在這台電腦上確認。")
               << Qt::endl;
        return 0;
    }
    int rc = 0;
    if (!a.missing.isEmpty()) {
        *c.err << u("系統日誌中有 %1 列已不在紀錄中（被刪除）：MKEY %2")
                      .arg(a.missing.size())
                      .arg(keys(a.missing))
               << Qt::endl;
        rc = 2;
    }
    if (!a.changed.isEmpty()) {
        *c.err << u("%1 列的雜湊與系統日誌不同（被改動或整條鏈結被重算）：MKEY %2")
                      .arg(a.changed.size())
                      .arg(keys(a.changed))
               << Qt::endl;
        rc = 2;
    }
    if (!a.unanchored.isEmpty()) {
        *c.err
            << u("%1 列不在系統日誌中：程式在提交與寫入日誌之間被中止，或是在程式之外加入的，無法分辨：MKEY "
                 "%2")
                   .arg(a.unanchored.size())
                   .arg(keys(a.unanchored))
            << Qt::endl;
        if (rc == 0) rc = 3;
    }
    *c.out << u("系統日誌：%1 列相符").arg(a.anchored);
    if (a.beforeJournal) *c.out << u("，%1 列早於日誌保存的第一列（無從核對）").arg(a.beforeJournal);
    if (a.elsewhere) *c.out << u("，%1 列由其他工作站寫入（在各自的日誌中核對）").arg(a.elsewhere);
    *c.out << Qt::endl;
    return rc;
}

// The newest manifest in the data directory's Backup folder: the log's end
// it names must still be a row of the log, or the log was rewritten since.
int checkManifest(CliContext& c, Database& db)
{
    QDir dir(dataFilePath(c.dataDirectory, QStringLiteral("Backup")));
    const QFileInfoList found = dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Time);
    for (const QFileInfo& f : found) {
        QFile file(f.filePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QString hash = QJsonDocument::fromJson(file.read(1 << 20))
                                 .object()
                                 .value(QStringLiteral("auditLastHash"))
                                 .toString();
        if (hash.isEmpty()) continue;
        SqlRows rows;
        if (Status s =
                db.run(QStringLiteral("SELECT MKEY FROM LUMOAUDIT WHERE HASH = ? LIMIT 1"), {hash}, &rows);
            !s) {
            *c.err << s.error << Qt::endl;
            return 2;
        }
        if (rows.isEmpty()) {
            *c.err << u("最新備份 %1 記下的稽核紀錄結尾 %2 已不在紀錄中：備份之後紀錄被重寫")
                          .arg(f.fileName(), hash)
                   << Qt::endl;
            return 2;
        }
        *c.out << u("最新備份 %1 記下的結尾在 MKEY %2，仍在紀錄中")
                      .arg(f.fileName())
                      .arg(rows.first().value(0).toLongLong())
               << Qt::endl;
        return 0;
    }
    *c.out << u("沒有記下稽核紀錄結尾的備份可供核對") << Qt::endl;
    return 0;
}

} // namespace

int verifyAuditLog(CliContext& c, Database& db)
{
    AuditCheck check;
    if (Status s = verifyAuditChain(db, &check); !s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    if (check.brokenKey) {
        *c.err << u("稽核紀錄的鏈結在 MKEY %1 中斷：%2").arg(check.brokenKey).arg(check.why) << Qt::endl;
        return 2;
    }
    *c.out << u("稽核紀錄的鏈結完整：%1 列，最後雜湊 %2")
                  .arg(check.rows)
                  .arg(check.lastHash.isEmpty() ? u("（無）") : check.lastHash)
           << Qt::endl;
    const int manifest = checkManifest(c, db);
    const int journal = checkJournal(c, db);
    return std::max(manifest, journal);
}

} // namespace lumo
