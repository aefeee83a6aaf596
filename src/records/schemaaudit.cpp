// What keeps the audit log append-only, in both engines' words. A trigger
// refuses every change and removal of a LUMOAUDIT row, whoever runs it: on the
// server the table's owner (the practice's own login, which the program uses)
// keeps every privilege whatever is revoked, so the trigger is what stops the
// owner; the revocation stops any other login a practice hands out.
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

QString auditRevokePg()
{
    return QStringLiteral("REVOKE UPDATE, DELETE, TRUNCATE ON LUMOAUDIT FROM PUBLIC");
}

} // namespace lumo
