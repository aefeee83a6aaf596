// lumo-cli backup and restore: a copy of the main database now, and a copy put
// back in its place. Neither runs the start-up steps: a data directory being
// restored may lack what they would create.
#include "app/cli.h"

#include "backup/backup.h"
#include "backup/serverbackup.h"
#include "records/pgengine.h"
#include "records/serverlogin.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFileInfo>

namespace lumo {
namespace {

// The server the data directory names (--database wins over lumo-server.conf); empty for the file.
Status serverOf(const CliContext& c, QString* conninfo)
{
    *conninfo = c.database;
    if (!conninfo->isEmpty()) return checkConninfo(*conninfo);
    return readServerConfig(c.dataDirectory, conninfo);
}

int backUpServer(CliContext& c, const QString& conninfo, const QString& folder)
{
    *c.err << serverBackupNotice(describeServer(conninfo)) << Qt::endl;
    QString path;
    const Status s = dumpServer(conninfo, folder, QDate::currentDate(), &path);
    if (!s) {
        *c.err << backupFailureMessage(s.error) << Qt::endl;
        return 2;
    }
    *c.out << path << Qt::endl;
    return 0;
}

} // namespace

int cmdBackup(CliContext& c)
{
    const int to = int(c.args.indexOf(QStringLiteral("--to")));
    if ((to >= 0 && to + 1 >= c.args.size()) || c.args.size() != (to >= 0 ? 3 : 1)) {
        *c.err << "usage: lumo-cli [--data-dir DIR] backup [--to DIR2]" << Qt::endl;
        return 2;
    }
    QString conninfo;
    if (const Status s = serverOf(c, &conninfo); !s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    if (!conninfo.isEmpty())
        return backUpServer(c, conninfo,
                            to < 0 ? dataFilePath(c.dataDirectory, QLatin1String(BackupFolder))
                                   : QDir(c.args.at(to + 1)).absolutePath());
    const QString database = dataFilePath(c.dataDirectory, QLatin1String(MainDatabaseFile));
    if (!QFileInfo(database).isFile()) {
        *c.err << backupFailureMessage(QStringLiteral("%1: file not found").arg(database)) << Qt::endl;
        return 2;
    }
    // The program's own folder follows the keeping rules; another folder is
    // the operator's, and nothing in it is removed.
    const bool own = to < 0;
    const QString folder = own ? dataFilePath(c.dataDirectory, QLatin1String(BackupFolder))
                               : QDir(c.args.at(to + 1)).absolutePath();
    const BackupResult r = makeBackup(database, folder, QDate::currentDate(), own);
    if (!r.path.isEmpty()) *c.out << r.path << Qt::endl;
    if (!r.status) {
        *c.err << backupFailureMessage(r.status.error) << Qt::endl;
        return 2;
    }
    return 0;
}

int cmdRestore(CliContext& c)
{
    if (c.args.size() != 2) {
        *c.err << "usage: lumo-cli [--data-dir DIR] restore FILE" << Qt::endl;
        return 2;
    }
    QString conninfo;
    const Status named = serverOf(c, &conninfo);
    if (!named || !conninfo.isEmpty()) {
        *c.err << (named ? serverRestoreRefusal(describeServer(conninfo)) : named.error) << Qt::endl;
        return 2;
    }
    const QString file = QFileInfo(c.args.at(1)).absoluteFilePath();
    if (!QFileInfo(file).isFile()) {
        *c.err << QStringLiteral("%1: file not found").arg(file) << Qt::endl;
        return 2;
    }
    const Status s = restoreBackup(file, c.dataDirectory);
    if (!s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    *c.out << QString::fromUtf8("已還原資料庫；原資料庫保留為 %1")
                  .arg(dataFilePath(c.dataDirectory, QLatin1String(BeforeRestoreFile)))
           << Qt::endl;
    return 0;
}

} // namespace lumo
