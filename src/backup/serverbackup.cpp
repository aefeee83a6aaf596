#include "backup/serverbackup.h"

#include "backup/encryptedbackup.h"
#include "backup/manifest.h"
#include "practice/auditlog.h"
#include "records/database.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <libpq-fe.h>

namespace lumo {

QString serverBackupNotice(const QString& server)
{
    return QString::fromUtf8(
               "主資料庫在資料庫伺服器上（%1）：此處以 pg_dump 備份一份；伺服器本身的定期備份仍請照常進行。")
        .arg(server);
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

namespace {

// The log's end before the dump starts: every row committed by then is in
// pg_dump's snapshot, so the hash names a row the dump holds.
Status serverAuditEnd(const QString& conninfo, const QString& password, QString* hash)
{
    Status s;
    std::unique_ptr<Database> db = Database::connect({conninfo, password}, &s);
    return db ? lastAuditHash(*db, hash) : s;
}

} // namespace

// The connection string without its password (which would show in ps as
// pg_dump's argument), and that password.
QString withoutPassword(const QString& conninfo, QString* password)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return conninfo;
    }
    QStringList kept;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val) continue;
        QString value = QString::fromUtf8(o->val);
        if (qstrcmp(o->keyword, "password") == 0) {
            *password = value;
            continue;
        }
        value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('\''), QStringLiteral("\\'"));
        kept << QStringLiteral("%1='%2'").arg(QLatin1String(o->keyword), value);
    }
    PQconninfoFree(options);
    return kept.join(QLatin1Char(' '));
}

namespace {

// What pg_dump is given of this process's environment: where to find
// programs, its language, libpq's own settings; never the operator's
// password or the backup passphrase.
QProcessEnvironment dumpEnvironment()
{
    const QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment env;
    for (const QString& name : all.keys())
        if (name == QLatin1String("PATH") || name == QLatin1String("HOME") || name == QLatin1String("LANG") ||
            name.startsWith(QLatin1String("LC_")) || name == QLatin1String("TZ") ||
            (name.startsWith(QLatin1String("PG")) && name != QLatin1String("PGPASSWORD")))
            env.insert(name, all.value(name));
    return env;
}

Status runPgDump(const QString& conninfo, const QString& password, const QString& part)
{
    QFile::remove(part);
    QString secret = password;
    const QString target = withoutPassword(conninfo, &secret);
    QProcess dump;
    dump.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment env = dumpEnvironment();
    // The password through a passfile of the user's alone, removed when the dump ends.
    QTemporaryFile passfile(QDir::tempPath() + QStringLiteral("/lumo-pgpass-XXXXXX"));
    if (!secret.isEmpty()) {
        if (!passfile.open())
            return Status::failure(QStringLiteral("%1: %2").arg(passfile.fileName(), passfile.errorString()));
        passfile.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QString escaped = secret;
        escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char(':'), QStringLiteral("\\:"));
        passfile.write(QStringLiteral("*:*:*:*:%1\n").arg(escaped).toUtf8());
        passfile.flush();
        env.insert(QStringLiteral("PGPASSFILE"), passfile.fileName());
    }
    dump.setProcessEnvironment(env);
    // The connection string as pg_dump's database name: every libpq option passes through.
    dump.start(pgDumpProgram(), {QStringLiteral("--format=custom"), QStringLiteral("--file=") + part,
                                 QStringLiteral("--dbname=") + target});
    const bool finished = dump.waitForStarted() && dump.waitForFinished(-1);
    if (finished && dump.exitStatus() == QProcess::NormalExit && dump.exitCode() == 0)
        return Status::success();
    QFile::remove(part);
    const QString why = QString::fromLocal8Bit(dump.readAllStandardError()).trimmed();
    return Status::failure(QStringLiteral("pg_dump: %1").arg(why.isEmpty() ? dump.errorString() : why));
}

} // namespace

Status dumpServer(const ServerDump& d, QString* path)
{
    if (pgDumpProgram().isEmpty())
        return Status::failure(QString::fromUtf8("找不到 pg_dump，這次沒有備份任何資料。"));
    if (!QDir().mkpath(d.folder))
        return Status::failure(QStringLiteral("%1: cannot be created").arg(d.folder));
    const QString name = QStringLiteral("lumo4-%1.dump").arg(d.day.toString(QStringLiteral("yyyyMMdd")));
    const QString file = QDir(d.folder).filePath(d.passphrase ? encryptedBackupName(name) : name);
    // The clear dump of an encrypted copy stays on this machine, never in a folder that may leave.
    const QString part = d.passphrase ? QDir(d.clearFolder).filePath(QStringLiteral("lumo4_encrypting.dump"))
                                      : file + QStringLiteral(".part");
    QString auditEnd;
    Status s = serverAuditEnd(d.conninfo, d.password, &auditEnd);
    if (s) s = runPgDump(d.conninfo, d.password, part);
    if (!s) return s;
    // The manifest of today's earlier dump would describe another file.
    QFile::remove(manifestPath(file));
    if (d.passphrase) {
        s = encryptBackupFile(part, file, *d.passphrase);
        QFile::remove(part);
        if (!s) return s;
    } else {
        QFile::remove(file); // today's earlier dump
        if (!QFile::rename(part, file)) {
            QFile::remove(part);
            return Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(part, file));
        }
    }
    *path = file;
    // The rows of a dump are pg_dump's to count; the manifest carries the file's hash and the log's end.
    return writeManifest(file, {}, QDateTime::currentDateTime(), d.passphrase != nullptr, auditEnd);
}

} // namespace lumo
