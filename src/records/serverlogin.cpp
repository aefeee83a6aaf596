#include "records/serverlogin.h"

#include "records/pgengine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <libpq-fe.h>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

constexpr int kPasswordTries = 3;
// A connection string is a line or a few, never a file of any size.
constexpr qint64 kLongestConfig = 64 * 1024;

// The libpq options of the string, with the password typed at start-up.
QByteArray withPassword(const ServerLogin& login)
{
    QByteArray s = login.conninfo.toUtf8();
    if (login.password.isEmpty()) return s;
    QByteArray quoted = login.password.toUtf8();
    quoted.replace("\\", "\\\\").replace("'", "\\'");
    return s + " password='" + quoted + "'";
}

} // namespace

Status readServerConfig(const QString& dataDir, QString* conninfo)
{
    conninfo->clear();
    QDir dir(dataDir);
    QString path;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        if (name.compare(QLatin1String(ServerConfigFile), Qt::CaseInsensitive) == 0)
            path = dir.filePath(name);
    if (path.isEmpty()) return Status::success();
    QFile f(path);
    if (QFileInfo(path).size() > kLongestConfig || !f.open(QIODevice::ReadOnly))
        return Status::failure(u("%1 無法讀取：%2").arg(path, f.errorString()));
    QStringList parts;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) parts << line;
    }
    *conninfo = parts.join(QLatin1Char(' '));
    if (conninfo->isEmpty()) return Status::failure(u("%1 沒有資料庫伺服器的連線字串").arg(path));
    const Status st = checkConninfo(*conninfo);
    if (!st) return Status::failure(QStringLiteral("%1: %2").arg(path, st.error));
    return st;
}

Status checkConninfo(const QString& conninfo, QString* normalized)
{
    if (conninfo.trimmed().isEmpty()) return Status::failure(u("資料庫伺服器的連線字串是空的"));
    if (conninfo.contains(QLatin1Char(';')))
        return Status::failure(
            u("資料庫伺服器的連線字串不可含有分號（;）：%1").arg(describeServer(conninfo)));
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    const QString why = error ? QString::fromUtf8(error).trimmed() : QString();
    PQfreemem(error);
    if (!options) return Status::failure(u("資料庫伺服器的連線字串無法解讀：%1").arg(why));
    // keyword='value' pairs: a URI becomes the form the driver appends its
    // own options to, and every value is quoted as libpq reads it.
    QStringList pairs;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val) continue;
        QString value = QString::fromUtf8(o->val);
        value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('\''), QStringLiteral("\\'"));
        pairs << QStringLiteral("%1='%2'").arg(QString::fromUtf8(o->keyword), value);
    }
    PQconninfoFree(options);
    if (normalized) *normalized = pairs.join(QLatin1Char(' '));
    return Status::success();
}

LoginProblem loginProblem(const ServerLogin& login)
{
    PGconn* conn = PQconnectdb(withPassword(login).constData());
    LoginProblem problem = LoginProblem::None;
    if (PQstatus(conn) == CONNECTION_BAD) {
        if (PQconnectionNeedsPassword(conn))
            problem = LoginProblem::NeedsPassword;
        else if (PQconnectionUsedPassword(conn))
            problem = LoginProblem::WrongPassword;
    }
    PQfinish(conn);
    return problem;
}

std::unique_ptr<Database> connectWithLogin(ServerLogin* login, const PasswordQuestion& ask, Status* status)
{
    *status = checkConninfo(login->conninfo, &login->conninfo);
    if (!*status) return nullptr;
    for (int tries = 0;; ++tries) {
        auto db = Database::connect(*login, status);
        if (db || !ask || tries >= kPasswordTries) return db;
        // Only a password libpq lacks, or one the server refused, is asked for.
        const LoginProblem problem = loginProblem(*login);
        if (problem == LoginProblem::None) return db;
        const std::optional<QString> typed =
            ask(describeServer(login->conninfo), problem == LoginProblem::WrongPassword);
        if (!typed) return db;
        login->password = *typed;
    }
}

} // namespace lumo
