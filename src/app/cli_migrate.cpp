// lumo-cli migrate: a practice moves its main database between the data
// directory's file and a PostgreSQL server, whole or not at all.
//   migrate --to CONNINFO    the data directory's lumo4.mdb to an empty server database
//   migrate --from CONNINFO  a server's main database into a new lumo4.mdb
#include "app/cli.h"

#include "practice/audit.h"
#include "records/database.h"
#include "records/enginemigration.h"
#include "records/serverlogin.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QDir>

namespace lumo {
namespace {

// The move in the log of either end: an export where the rows left, an
// import where they arrived (after the copy, so each row stays its own
// database's), both naming the two ends. A database without operators takes
// nothing, as every command's log.
Status logMove(CliContext& c, std::unique_ptr<Database> source, std::unique_ptr<Database> target,
               const QString& detail)
{
    const std::pair<std::unique_ptr<Database>*, const char*> ends[] = {{&source, "export"},
                                                                       {&target, "import"}};
    for (const auto& [db, action] : ends) {
        SharedState state;
        state.DataDirectory = c.dataDirectory;
        state.MainDatabase = std::move(*db);
        startSession(c, state);
        if (const Status s = audit(state, {QLatin1String(action), {}, 0, detail}); !s) return s;
    }
    return Status::success();
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
    MovedRows moved;
    st = to ? migrateFileToServer(file, *server, &moved) : migrateServerToFile(*server, file, &moved);
    if (!st) {
        *c.err << QString::fromUtf8("移轉失敗，資料維持原狀：") << st.error << Qt::endl;
        return 2;
    }
    const QString source = to ? file : server->path();
    const QString target = to ? server->path() : file;
    *c.out << QString::fromUtf8("已將 %1 移轉至 %2，每一筆都已核對：%3").arg(source, target, moved.summary())
           << Qt::endl;
    // The copy stands whether or not the log takes it; a log that did not is
    // said, and the command fails so that a script notices.
    auto fileDb = Database::open(file, FileKind::Main, Database::Access::ReadWrite, &st);
    const QString detail = source + QString::fromUtf8(" → ") + target;
    if (st)
        st = to ? logMove(c, std::move(fileDb), std::move(server), detail)
                : logMove(c, std::move(server), std::move(fileDb), detail);
    if (st) return 0;
    *c.err << st.error << Qt::endl;
    return 2;
}

} // namespace lumo
