// lumo-cli migrate: a practice moves its main database between the data
// directory's file and a PostgreSQL server, whole or not at all.
//   migrate --to CONNINFO    the data directory's lumo4.mdb to an empty server database
//   migrate --from CONNINFO  a server's main database into a new lumo4.mdb
#include "app/cli.h"

#include "practice/atrestnotice.h"
#include "practice/audit.h"
#include "records/database.h"
#include "records/enginemigration.h"
#include "records/serverlogin.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QSysInfo>

namespace lumo {
namespace {

// The move in the log of the receiving end, inside the copy's transaction:
// the rows and their entry arrive together or not at all. The session is
// the command's, in practice mode when the copied rows hold an operator.
MoveHook logArrival(CliContext& c, const QString& detail)
{
    return [&c, detail](Database& target, const MovedRows&) {
        OperatorSession session = c.session;
        if (!session.practiceMode) session.practiceMode = hasOperators(target);
        if (session.workstation.isEmpty()) session.workstation = QSysInfo::machineHostName();
        return audit(session, target, {QStringLiteral("import"), {}, 0, detail});
    };
}

// The move in the log of the end the rows left, which the move did not change.
Status logDeparture(CliContext& c, std::unique_ptr<Database> source, const QString& detail)
{
    SharedState state;
    state.DataDirectory = c.dataDirectory;
    state.MainDatabase = std::move(source);
    startSession(c, state);
    return audit(state, {QStringLiteral("export"), {}, 0, detail});
}

} // namespace

int cmdMigrate(CliContext& c)
{
    const bool to = c.args.value(1) == QLatin1String("--to");
    const bool from = c.args.value(1) == QLatin1String("--from");
    if (c.args.size() != 3 || !(to || from) || c.args.at(2).trimmed().isEmpty()) {
        *c.err << "usage: lumo-cli [--data-dir DIR] migrate --to CONNINFO | --from CONNINFO" << Qt::endl;
        return 2;
    }
    ServerLogin login{c.args.at(2), {}};
    Status st;
    // The password the libpq way only (~/.pgpass, PGPASSFILE): a command never asks.
    auto server = connectWithLogin(&login, {}, &st);
    if (!server) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    // A practice moving off its server may start from an empty folder.
    if (from && !QDir().mkpath(c.dataDirectory)) {
        *c.err << c.dataDirectory << ": cannot be created" << Qt::endl;
        return 2;
    }
    const QString file = dataFilePath(c.dataDirectory, QLatin1String(MainDatabaseFile));
    const QString source = to ? file : server->path();
    const QString target = to ? server->path() : file;
    const QString detail = source + QString::fromUtf8(" → ") + target;
    MovedRows moved;
    st = to ? migrateFileToServer(file, *server, &moved, logArrival(c, detail))
            : migrateServerToFile(*server, file, &moved, logArrival(c, detail));
    if (!st) {
        *c.err << QString::fromUtf8("移轉失敗，資料維持原狀：") << st.error << Qt::endl;
        return 2;
    }
    *c.out << QString::fromUtf8("已將 %1 移轉至 %2，每一筆都已核對：%3").arg(source, target, moved.summary())
           << Qt::endl;
    // The copy stands whether or not the source's log takes the departure; a
    // log that did not is said, and the command fails so that a script notices.
    if (to) {
        auto fileDb = Database::open(file, FileKind::Main, Database::Access::ReadWrite, &st);
        if (st) st = logDeparture(c, std::move(fileDb), detail);
    } else {
        st = logDeparture(c, std::move(server), detail);
    }
    if (st) return 0;
    *c.err << st.error << Qt::endl;
    return 2;
}

} // namespace lumo
