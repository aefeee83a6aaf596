// lumo-cli migrate: a practice moves its main database between the data
// directory's file and a PostgreSQL server, whole or not at all.
//   migrate --to CONNINFO    the data directory's lumo4.mdb to an empty server database
//   migrate --from CONNINFO  a server's main database into a new lumo4.mdb
#include "app/cli.h"

#include "records/enginemigration.h"
#include "records/serverlogin.h"
#include "shell/datadir.h"

#include <QDir>

namespace lumo {

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
    return 0;
}

} // namespace lumo
