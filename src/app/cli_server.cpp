// lumo-cli server-grant: a workstation's own login on the server gets what
// its work needs, granted by the schema's owner (records/serverroles.h). An
// admin's act in practice mode, and an entry of the audit log.
#include "app/cli.h"

#include "practice/audit.h"
#include "practice/roles.h"
#include "records/serverlogin.h"
#include "records/serverroles.h"
#include "shell/sharedstate.h"

namespace lumo {
namespace {

const char* kGrantUsage = "usage: lumo-cli [--data-dir DIR] [--database CONNINFO] server-grant --role ROLE";

int refused(CliContext& c, const QString& message)
{
    *c.err << message << Qt::endl;
    return 2;
}

} // namespace

int cmdServerGrant(CliContext& c)
{
    const QString role = c.args.value(2);
    if (c.args.size() != 3 || c.args.value(1) != QLatin1String("--role") || role.trimmed().isEmpty())
        return refused(c, QLatin1String(kGrantUsage));
    // The gate logged the operator in; granting is the accounts' business.
    if (c.session.practiceMode && !allowed(c.session, Permission::Operators))
        return refused(c, insufficientRightsMessage());
    QString conninfo = c.database;
    Status st = conninfo.isEmpty() ? readServerConfig(c.dataDirectory, &conninfo) : checkConninfo(conninfo);
    if (!st) return refused(c, st.error);
    if (conninfo.isEmpty())
        return refused(c, QString::fromUtf8("server-grant 只用於伺服器上的主資料庫（--database 或 "
                                            "lumo-server.conf）。"));
    SharedState state;
    ServerLogin login{conninfo, {}};
    state.MainDatabase = connectWithLogin(&login, {}, &st);
    if (!state.MainDatabase) return refused(c, st.error);
    startSession(c, state);
    if (!(st = grantWorkstationLogin(*state.MainDatabase, role))) return refused(c, st.error);
    *c.out << QString::fromUtf8("已授權登入角色 %1：讀寫資料，稽核紀錄只能讀取與新增。").arg(role)
           << Qt::endl;
    return logOutcome(c, state, 0, {QStringLiteral("server.grant"), {}, 0, role});
}

} // namespace lumo
