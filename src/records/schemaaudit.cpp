// What keeps the audit log append-only, in both engines' words. A trigger
// refuses every change and removal of a LUMOAUDIT row, whoever runs it. On the
// server the table's owner keeps every privilege whatever is revoked and may
// drop or disable the trigger, so the workstations connect with logins of
// their own that were granted reading and appending only (serverroles.cpp):
// for them the privileges and the trigger both refuse.
#include "records/schema.h"

namespace lumo {

namespace {
const char* const kRefusal = "稽核紀錄只能新增，不能修改或刪除";
} // namespace

QStringList auditGuardTriggers()
{
    const QString body =
        QStringLiteral("BEGIN SELECT RAISE(ABORT, '%1'); END").arg(QString::fromUtf8(kRefusal));
    return {QStringLiteral("CREATE TRIGGER IF NOT EXISTS LUMOAUDIT_NO_UPDATE BEFORE UPDATE ON LUMOAUDIT ") +
                body,
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS LUMOAUDIT_NO_DELETE BEFORE DELETE ON LUMOAUDIT ") +
                body};
}

QString auditGuardFunctionPg()
{
    return QStringLiteral(
               "CREATE OR REPLACE FUNCTION LUMO_AUDIT_REFUSE() RETURNS trigger LANGUAGE plpgsql AS "
               "$f$ BEGIN RAISE EXCEPTION '%1'; END $f$")
        .arg(QString::fromUtf8(kRefusal));
}

// One statement trigger for all three: it fires even when no row matched, so
// no UPDATE, DELETE or TRUNCATE of the log gets past it.
QString auditGuardTriggerPg()
{
    return QStringLiteral(
        "CREATE TRIGGER LUMOAUDIT_APPEND_ONLY BEFORE UPDATE OR DELETE OR TRUNCATE ON LUMOAUDIT "
        "FOR EACH STATEMENT EXECUTE FUNCTION LUMO_AUDIT_REFUSE()");
}

// The append's lock, taken with the owner's rights: locking the table against
// other appends needs a privilege of changing it, which the workstations'
// logins must not hold. The function does that one thing, in the schema it
// was made in (a table of the same name elsewhere on the caller's path is not
// the one locked).
QString auditLockFunctionPg(const QString& quotedSchema)
{
    return QStringLiteral("CREATE OR REPLACE FUNCTION LUMO_AUDIT_LOCK() RETURNS void LANGUAGE plpgsql "
                          "SECURITY DEFINER SET search_path = %1, pg_temp AS "
                          "$f$ BEGIN LOCK TABLE LUMOAUDIT IN SHARE ROW EXCLUSIVE MODE; END $f$")
        .arg(quotedSchema);
}

// Only the logins granted appending may take the lock (serverroles.cpp).
QString auditLockRevokePg()
{
    return QStringLiteral("REVOKE EXECUTE ON FUNCTION LUMO_AUDIT_LOCK() FROM PUBLIC");
}

QString auditRevokePg()
{
    return QStringLiteral("REVOKE UPDATE, DELETE, TRUNCATE ON LUMOAUDIT FROM PUBLIC");
}

} // namespace lumo
