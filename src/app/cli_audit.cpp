// lumo-cli audit: the audit log as JSON lines, and the check of its chain.
// Also the log's entry for the commands that run without the start-up steps
// (backup and restore), which open the main database only to write it.
#include "app/cli.h"

#include "practice/audit.h"
#include "practice/auditlog.h"
#include "records/serverlogin.h"
#include "records/serverroles.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QDate>
#include <QFileInfo>
#include <QSysInfo>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* kAuditUsage = "usage: lumo-cli [--data-dir DIR] audit [--custno X] [--from YYYY-MM-DD] [--to "
                          "YYYY-MM-DD] | audit --verify";

bool hasOperators(Database& db)
{
    SqlRows rows;
    return db.hasTable(QStringLiteral("LUMOOPER")) &&
           db.run(QStringLiteral("SELECT 1 FROM LUMOOPER LIMIT 1"), {}, &rows) && !rows.isEmpty();
}

// The options of `audit`; false (usage on stderr) when they are not understood.
bool parseFilter(CliContext& c, AuditFilter* f, bool* verify)
{
    *verify = false;
    for (int i = 1; i < c.args.size(); ++i) {
        const QString& a = c.args.at(i);
        if (a == QLatin1String("--verify")) {
            *verify = true;
            continue;
        }
        QString* target = a == QLatin1String("--custno") ? &f->custNo
                          : a == QLatin1String("--from") ? &f->from
                          : a == QLatin1String("--to")   ? &f->to
                                                         : nullptr;
        if (!target || i + 1 >= c.args.size()) return false;
        *target = c.args.at(++i);
        if (target != &f->custNo && !QDate::fromString(*target, Qt::ISODate).isValid()) {
            *c.err << u("日期無效：%1（格式 YYYY-MM-DD）").arg(*target) << Qt::endl;
            return false;
        }
    }
    return !(*verify && (!f->custNo.isEmpty() || !f->from.isEmpty() || !f->to.isEmpty()));
}

} // namespace

void startSession(CliContext& c, SharedState& state)
{
    state.Session = c.session;
    if (!state.Session.practiceMode && state.MainDatabase)
        state.Session.practiceMode = hasOperators(*state.MainDatabase);
    if (state.Session.workstation.isEmpty()) state.Session.workstation = QSysInfo::machineHostName();
}

Status auditCommand(CliContext& c, const AuditEntry& entry)
{
    SharedState state;
    state.DataDirectory = c.dataDirectory;
    QString conninfo = c.database;
    Status s = conninfo.isEmpty() ? readServerConfig(c.dataDirectory, &conninfo) : Status::success();
    if (!s) return s;
    if (conninfo.isEmpty()) {
        const QString file = dataFilePath(c.dataDirectory, QLatin1String(MainDatabaseFile));
        if (!QFileInfo(file).isFile()) return Status::success();
        state.MainDatabase = Database::open(file, FileKind::Main, Database::Access::ReadWrite, &s);
    } else {
        // The password the libpq way only: a command never asks.
        ServerLogin login{conninfo, {}};
        state.MainDatabase = connectWithLogin(&login, {}, &s);
    }
    if (!state.MainDatabase) return s;
    startSession(c, state);
    return audit(state, entry);
}

int logOutcome(CliContext& c, SharedState& state, int rc, const AuditEntry& entry)
{
    if (rc != 0) return rc;
    const Status s = audit(state, entry);
    if (s) return 0;
    *c.err << s.error << Qt::endl;
    return 2;
}

int cmdAudit(CliContext& c)
{
    AuditFilter filter;
    bool check = false;
    if (!parseFilter(c, &filter, &check)) {
        *c.err << kAuditUsage << Qt::endl;
        return 2;
    }
    SharedState state;
    ScriptedMessages quiet;
    const bool ok = prepareState(c, state, quiet);
    state.messages = nullptr;
    if (!ok) return 2;
    if (!state.MainDatabase) {
        *c.err << u("主資料庫未開啟") << Qt::endl;
        return 2;
    }
    if (check) {
        // The chain proves nothing was changed only while nobody could change it unseen.
        bool owns = false;
        if (state.Session.practiceMode && loginOwnsAuditLog(*state.MainDatabase, &owns) && owns)
            *c.err << auditOwnerNotice() << Qt::endl;
        return verifyAuditLog(c, *state.MainDatabase);
    }
    const Status s = readAuditRows(*state.MainDatabase, filter, [&](const AuditRow& r) {
        *c.out << QString::fromUtf8(auditRowJson(r)) << '\n';
        return true;
    });
    c.out->flush();
    if (!s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace lumo
