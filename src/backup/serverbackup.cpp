#include "backup/serverbackup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace lumo {

QString serverBackupNotice(const QString& server)
{
    return QString::fromUtf8(
               "主資料庫在資料庫伺服器上（%1）：請以伺服器本身的工具備份它（例如 pg_dump -Fc）。")
        .arg(server);
}

QString serverEncryptionRefusal(const QString& option)
{
    return QString::fromUtf8("%1 只用於資料目錄中的 lumo4.mdb：伺服器的備份請用伺服器的加密方式。")
        .arg(option);
}

QString serverRestoreRefusal(const QString& server)
{
    return QString::fromUtf8("主資料庫在資料庫伺服器上（%1）：restore 只用於資料目錄中的 lumo4.mdb；"
                             "伺服器上的資料請以伺服器本身的工具還原（例如 pg_restore）。")
        .arg(server);
}

QString pgDumpProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("pg_dump"));
}

Status dumpServer(const QString& conninfo, const QString& folder, QDate day, QString* path,
                  const QString& password)
{
    const QString program = pgDumpProgram();
    if (program.isEmpty())
        return Status::failure(QString::fromUtf8("找不到 pg_dump，這次沒有備份任何資料。"));
    if (!QDir().mkpath(folder)) return Status::failure(QStringLiteral("%1: cannot be created").arg(folder));
    const QString file =
        QDir(folder).filePath(QStringLiteral("lumo4-%1.dump").arg(day.toString(QStringLiteral("yyyyMMdd"))));
    const QString part = file + QStringLiteral(".part");
    QFile::remove(part);
    QProcess dump;
    dump.setProcessChannelMode(QProcess::SeparateChannels);
    if (!password.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), password);
        dump.setProcessEnvironment(env);
    }
    // The connection string as pg_dump's database name: every libpq option passes through.
    dump.start(program, {QStringLiteral("--format=custom"), QStringLiteral("--file=") + part,
                         QStringLiteral("--dbname=") + conninfo});
    const bool finished = dump.waitForStarted() && dump.waitForFinished(-1);
    if (!finished || dump.exitStatus() != QProcess::NormalExit || dump.exitCode() != 0) {
        QFile::remove(part);
        const QString why = QString::fromLocal8Bit(dump.readAllStandardError()).trimmed();
        return Status::failure(QStringLiteral("pg_dump: %1").arg(why.isEmpty() ? dump.errorString() : why));
    }
    QFile::remove(file); // today's earlier dump
    if (!QFile::rename(part, file)) {
        QFile::remove(part);
        return Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(part, file));
    }
    *path = file;
    return Status::success();
}

} // namespace lumo
