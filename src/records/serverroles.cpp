#include "records/serverroles.h"

#include "records/database.h"
#include "records/schema.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

struct AuditOwner
{
    qint64 oid = 0;
    QString name;
    bool ownRights = false; // this login holds them
};

Status auditOwner(Database& db, AuditOwner* owner)
{
    SqlRows rows;
    const Status st = db.run(QStringLiteral("SELECT relowner, pg_get_userbyid(relowner), "
                                            "pg_has_role(relowner, 'USAGE') FROM pg_class "
                                            "WHERE oid = to_regclass('LUMOAUDIT')"),
                             {}, &rows);
    if (st && !rows.isEmpty())
        *owner = {rows.first().value(0).toLongLong(), rows.first().value(1).toString(),
                  rows.first().value(2).toBool()};
    return st;
}

// The role's name as an identifier; refused when the role is not there or
// would keep the owner's rights (granting it anything would protect nothing).
Status checkRole(Database& db, const AuditOwner& owner, const QString& role, QString* quoted)
{
    SqlRows rows;
    Status st = db.run(QStringLiteral("SELECT quote_ident(rolname), pg_has_role(oid, ?::oid, 'USAGE') "
                                      "FROM pg_roles WHERE rolname = ?"),
                       {owner.oid, role}, &rows);
    if (!st) return st;
    if (rows.isEmpty())
        return Status::failure(u("伺服器上沒有登入角色 %1，請先建立（CREATE ROLE %1 LOGIN）。").arg(role));
    if (rows.first().value(1).toBool())
        return Status::failure(
            u("登入角色 %1 擁有資料表擁有者 %2 的權限，授權無法保護稽核紀錄；請為工作站另建登入角色。")
                .arg(role, owner.name));
    *quoted = rows.first().value(0).toString();
    return Status::success();
}

QStringList grantStatements(const QString& role)
{
    QStringList records;
    for (const TableDef& t : tablesOf(FileKind::Main))
        if (t.name != QLatin1String("LUMOAUDIT") && t.name != QLatin1String("LUMOOPER")) records << t.name;
    // The accounts: their names and roles read, never their hashes, and
    // nothing written but through the owner's functions; the log: read, and
    // appended only through its function. What an earlier grant gave beyond
    // that is taken back.
    QStringList out = {
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2")
            .arg(records.join(QStringLiteral(", ")), role),
        QStringLiteral("GRANT SELECT ON LUMOVERSION TO %1").arg(role),
        QStringLiteral("REVOKE ALL ON LUMOOPER, LUMOAUDIT FROM %1").arg(role),
        QStringLiteral("GRANT SELECT (MKEY, NAME, ROLE, DISABLED, FAILS, WAITUNTIL, CREATED) ON "
                       "LUMOOPER TO %1")
            .arg(role),
        QStringLiteral("GRANT SELECT ON LUMOAUDIT TO %1").arg(role),
        QStringLiteral("GRANT EXECUTE ON FUNCTION LUMO_AUDIT_LOCK() TO %1").arg(role)};
    for (const QString& f : practiceFunctionsPg())
        out << QStringLiteral("GRANT EXECUTE ON FUNCTION %1 TO %2").arg(f, role);
    return out;
}

} // namespace

QString schemaOwnerFirstMessage(const QString& owner)
{
    const QString who = owner.isEmpty() ? u("有權建立資料表的擁有者登入") : u("擁有者 %1").arg(owner);
    return u("資料庫結構需要建立或更新，這個登入無權變更。請先以%1連線一次（例如 lumo-cli --database "
             "... init），再以工作站的登入連線。")
        .arg(who);
}

Status loginOwnsAuditLog(Database& db, bool* owns)
{
    *owns = false;
    if (!db.onServer()) return Status::success();
    AuditOwner owner;
    const Status st = auditOwner(db, &owner);
    *owns = st && owner.oid != 0 && owner.ownRights;
    return st;
}

QString auditOwnerNotice()
{
    return u("稽核紀錄只受觸發程序保護：這個登入是資料表的擁有者，可以停用它。請以 lumo-cli server-grant "
             "授權後，讓各工作站以自己的登入連線。");
}

Status grantWorkstationLogin(Database& db, const QString& role)
{
    Transaction t(db);
    if (!t.active()) return t.begun();
    AuditOwner owner;
    Status st = auditOwner(db, &owner);
    if (!st) return st;
    if (owner.oid == 0) return Status::failure(schemaOwnerFirstMessage({}));
    if (!owner.ownRights) {
        SqlRows me;
        db.run(QStringLiteral("SELECT current_user"), {}, &me);
        return Status::failure(u("只有資料表的擁有者 %1 能授權，目前的登入是 %2。")
                                   .arg(owner.name, me.value(0).value(0).toString()));
    }
    QString quoted;
    if (!(st = checkRole(db, owner, role, &quoted))) return st;
    // A schema other than the server's public one is entered with USAGE.
    SqlRows usage;
    st = db.run(QStringLiteral("SELECT has_schema_privilege(?::name, current_schema(), 'USAGE'), "
                               "quote_ident(current_schema())"),
                {role}, &usage);
    if (st && !usage.value(0).value(0).toBool())
        st = db.run(
            QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(usage.value(0).value(1).toString(), quoted));
    for (const QString& statement : grantStatements(quoted))
        if (st) st = db.run(statement);
    return st ? t.commit() : st;
}

} // namespace lumo
