#include "backup/restorelog.h"

#include "practice/auditlog.h"
#include "records/database.h"
#include "records/schema.h"

#include <QFileInfo>

namespace lumo {
namespace {

const char* const kColumns = "MKEY, ATIME, OPERATOR, WORKSTATION, ACTION, CUSTNO, DATAKEY, DETAIL, HASH";
const char* const kAccountColumns = "MKEY, NAME, ROLE, PWHASH, DISABLED, FAILS, WAITUNTIL, CREATED";

bool liveHas(Database& db, const char* table, Status* s)
{
    SqlRows has;
    *s = db.run(QStringLiteral("SELECT 1 FROM live.sqlite_master WHERE type = 'table' AND name = ?"),
                {QLatin1String(table)}, &has);
    return *s && !has.isEmpty();
}

// The accounts are the practice's as they are now, as the log is: a copy
// must not bring back an account disabled since, a password changed since,
// or turn practice mode off by holding none. A database in place without an
// enabled admin (one workstation at home, a new machine, or accounts removed
// or disabled behind the program's back) takes the copy's: the restore is
// how a practice whose admins are gone gets them back.
Status keepAccounts(Database& db)
{
    SqlRows any;
    if (Status s = db.run(
            QStringLiteral("SELECT 1 FROM live.LUMOOPER WHERE ROLE = 'admin' AND DISABLED = 0 LIMIT 1"), {},
            &any);
        !s)
        return s;
    if (any.isEmpty()) return Status::success();
    if (Status s = db.run(QStringLiteral("DELETE FROM main.LUMOOPER")); !s) return s;
    return db.run(QStringLiteral("INSERT INTO main.LUMOOPER (%1) SELECT %1 FROM live.LUMOOPER ORDER BY MKEY")
                      .arg(QLatin1String(kAccountColumns)));
}

// The live log's rows replace the copy's. Dropping the table takes its rows
// without running its triggers (SQLite fires none for a DROP), and
// createSchema makes it again, with its triggers, from the one definition.
// The rows keep their MKEY, so the next row goes on after the live log's end.
Status replaceLog(Database& db, bool accounts)
{
    Transaction t(db);
    if (!t.active()) return t.begun();
    if (accounts)
        if (Status s = keepAccounts(db); !s) return s;
    if (Status s = db.run(QStringLiteral("DROP TABLE main.LUMOAUDIT")); !s) return s;
    QString error;
    if (!createSchema(db.sql(), FileKind::Main, &error)) return Status::failure(error);
    const QString copy =
        QStringLiteral("INSERT INTO main.LUMOAUDIT (%1) SELECT %1 FROM live.LUMOAUDIT ORDER BY MKEY")
            .arg(QLatin1String(kColumns));
    if (Status s = db.run(copy); !s) return s;
    return t.commit();
}

} // namespace

Status keepLiveAuditLog(const QString& incoming, const QString& live, QString* copyLastHash,
                        QString* liveLogLost)
{
    liveLogLost->clear();
    Status s;
    std::unique_ptr<Database> db = Database::open(incoming, FileKind::Main, Database::Access::ReadWrite, &s);
    if (!db) return s;
    if (!(s = lastAuditHash(*db, copyLastHash))) return s;
    if (!QFileInfo(live).isFile()) return Status::success();
    // A copy from another practice brings its own log: it is not taken. Its
    // rows stay in its file, and the restore row names that file and the
    // hash its log ended at, so its history can still be checked there.
    // A copy of this practice's database holds a beginning of the live log,
    // which the live log holds whole: nothing of it is lost either way.
    if (!(s = db->run(QStringLiteral("ATTACH DATABASE ? AS live"), {live}))) {
        *liveLogLost = s.error;
        return Status::success();
    }
    // Rolled back whole when it fails: the copy's log and accounts are then as they came.
    const bool hasLog = liveHas(*db, "LUMOAUDIT", &s);
    const bool hasAccounts = s && liveHas(*db, "LUMOOPER", &s);
    if (s && hasLog) s = replaceLog(*db, hasAccounts);
    if (!s) *liveLogLost = s.error;
    return db->run(QStringLiteral("DETACH DATABASE live"));
}

QString restoreAuditDetail(const QString& copy, const QString& copyLastHash, const QString& liveLogLost)
{
    QString detail = copyLastHash.isEmpty()
                         ? copy + QString::fromUtf8("（備份中沒有稽核紀錄）")
                         : copy + QString::fromUtf8("（備份的稽核紀錄止於 %1）").arg(copyLastHash);
    if (!liveLogLost.isEmpty()) detail += QString::fromUtf8("；原資料庫的稽核紀錄無法讀取：") + liveLogLost;
    return detail;
}

QString liveLogLostMessage(const QString& keptAs, const QString& why)
{
    return QString::fromUtf8("原資料庫的稽核紀錄無法讀取（%1），未移入還原的資料庫；它仍在 %2 中。")
        .arg(why, keptAs);
}

} // namespace lumo
