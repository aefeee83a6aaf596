// The audit log's guard found missing or disabled at the opening: made
// again with the schema, and said in the log and to the operator.
#include "practice/auditlog.h"
#include "records/database.h"

#include <QDateTime>
#include <QSysInfo>

namespace lumo {

// Both engines' guards of the log are there and, on a server, enabled (its
// owner may disable a trigger without dropping it).
bool Database::auditGuardIntact()
{
    if (!hasTable(QStringLiteral("LUMOAUDIT"))) return true;
    SqlRows rows;
    const Status st =
        onServer()
            ? run(QStringLiteral(
                      "SELECT count(*) FROM pg_trigger WHERE tgrelid = to_regclass('LUMOAUDIT') AND "
                      "tgname = 'lumoaudit_append_only' AND tgenabled = 'O'"),
                  {}, &rows)
            : run(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name IN "
                                 "('LUMOAUDIT_NO_UPDATE', 'LUMOAUDIT_NO_DELETE')"),
                  {}, &rows);
    return !st || rows.value(0).value(0).toInt() == (onServer() ? 1 : 2);
}

// The guard was made again in this transaction; in practice mode the log
// says so in the same transaction, and the opener tells the operator.
Status Database::recordAuditGuardRecreated()
{
    if (onServer())
        if (Status st = run(QStringLiteral("ALTER TABLE LUMOAUDIT ENABLE TRIGGER LUMOAUDIT_APPEND_ONLY"));
            !st)
            return st;
    SqlRows any;
    Status st =
        run(QStringLiteral("SELECT 1 FROM LUMOAUDIT UNION ALL SELECT 1 FROM LUMOOPER LIMIT 1"), {}, &any);
    if (!st || any.isEmpty()) return st;
    m_auditGuardRecreated = true;
    AuditRow row;
    row.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    row.operatorName = QString::fromUtf8("（系統）");
    row.workstation = QSysInfo::machineHostName();
    row.action = QStringLiteral("audit.guard");
    row.detail = auditGuardRecreatedMessage();
    return appendAuditRow(*this, &row);
}

QString auditGuardRecreatedMessage()
{
    return QString::fromUtf8("稽核紀錄的保護觸發程序不見了或被停用，開啟資料庫時已重建並記入稽核紀錄："
                             "有人在程式之外改過資料庫，請執行 lumo-cli audit --verify 核對紀錄。");
}

} // namespace lumo
