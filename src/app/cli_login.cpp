// lumo-cli in practice mode: every command logs in first, and runs only when
// the operator's role allows it. The login happens before the command
// touches anything of the data directory.
#include "app/cli.h"

#include "practice/operators.h"
#include "practice/roles.h"
#include "records/serverlogin.h"
#include "records/serverroles.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QFileInfo>
#include <QSysInfo>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace lumo {
namespace {

// What a command needs; nullopt: only the login (any role).
std::optional<Permission> permissionOf(const CliContext& c, const QString& command)
{
    const auto has = [&c](const char* option) { return c.args.contains(QLatin1String(option)); };
    using P = Permission;
    static const QHash<QString, P> plain = {
        {QStringLiteral("config"), P::Settings},
        {QStringLiteral("analyse"), P::Analyse},
        {QStringLiteral("chart"), P::Analyse},
        {QStringLiteral("match"), P::Treatment},
        {QStringLiteral("decipher"), P::Knowledge},
        {QStringLiteral("encipher"), P::Knowledge},
        {QStringLiteral("report"), P::Print},
        {QStringLiteral("demo"), P::Print}, // it prints a report, and stores what it measured
        {QStringLiteral("calibrate"), P::Calibrate},
        {QStringLiteral("compare"), P::Compare},
        {QStringLiteral("trend"), P::Trend},
        {QStringLiteral("export"), P::ExportSubject},
        {QStringLiteral("export-csv"), P::ResearchExport},
        {QStringLiteral("export-subject"), P::ExportSubject},
        {QStringLiteral("import-subjects"), P::Import},
        {QStringLiteral("legacy-dump"), P::Import},
        {QStringLiteral("backup"), P::Backup},
        {QStringLiteral("restore"), P::Restore},
        {QStringLiteral("migrate"), P::Restore},
        // The whole database in clear, as a restore puts it in place: the admin's.
        {QStringLiteral("decrypt-backup"), P::Restore},
        {QStringLiteral("noise"), P::Analyse},
        {QStringLiteral("audit"), P::AuditLog},
        {QStringLiteral("operator"), P::Operators},
        // The backup passphrase is a credential, as the accounts are: the admin's.
        {QStringLiteral("backup-passphrase"), P::Operators},
        // Who may reach the records on the server at all: the admin's, as the accounts are.
        {QStringLiteral("server-grant"), P::Operators},
    };
    if (command == QLatin1String("import")) return has("--replace") ? P::ReplacingImport : P::Import;
    if (command == QLatin1String("measure")) return has("--store") ? P::Save : P::Measure;
    // Everyone may change their own password.
    if (command == QLatin1String("operator") && c.args.value(1) == QLatin1String("passwd")) {
        const int at = int(c.args.indexOf(QStringLiteral("--name")));
        if (at > 0 && c.args.value(at + 1).compare(c.session.name, Qt::CaseInsensitive) == 0)
            return std::nullopt;
    }
    const auto it = plain.find(command);
    if (it != plain.end()) return *it;
    return std::nullopt;
}

// Where the operator logs in: the main database the command works on, except
// for a move between engines, which logs in where the records come from (a
// move off a server may start from an empty folder, with no file to ask).
QString loginConninfo(const CliContext& c, const QString& command, Status* st)
{
    if (command == QLatin1String("migrate") && c.args.size() == 3) {
        if (c.args.at(1) == QLatin1String("--from")) {
            *st = checkConninfo(c.args.at(2));
            return c.args.at(2);
        }
        if (c.args.at(1) == QLatin1String("--to")) return QString(); // from the file
    }
    QString conninfo = c.database;
    *st = conninfo.isEmpty() ? readServerConfig(c.dataDirectory, &conninfo) : checkConninfo(conninfo);
    return conninfo;
}

// The main database as the login reads it: the server's, or the file when
// there is one (none yet: no operators, so no practice mode). A file is opened
// read-only: nothing of it is written, repaired or upgraded before an
// operator has given a name.
std::unique_ptr<Database> openForLogin(const CliContext& c, const QString& command, Status* st)
{
    const QString conninfo = loginConninfo(c, command, st);
    if (!*st) return nullptr;
    // Failures to open are said as the start-up says them: the command would
    // have met the same error.
    const auto said = [st](std::unique_ptr<Database> db) {
        if (!*st) *st = Status::failure(databaseStartupMessage(st->error));
        return db;
    };
    if (!conninfo.isEmpty()) return said(Database::connect({conninfo, {}}, st));
    const QString path = dataFilePath(c.dataDirectory, QLatin1String(MainDatabaseFile));
    if (!QFileInfo(path).isFile()) return nullptr;
    auto db = said(Database::open(path, FileKind::Main, Database::Access::ReadOnly, st));
    // A log without its accounts table is a practice whose accounts were taken away.
    if (!db || !(db->hasTable(QStringLiteral("LUMOOPER")) || db->hasTable(QStringLiteral("LUMOAUDIT"))))
        return nullptr;
    return db;
}

// The login writes the count of wrong passwords; a file read to find the
// operators is reopened for that once a name is given. A data directory that
// takes no writes still lets an operator in.
std::unique_ptr<Database> writableForLogin(std::unique_ptr<Database> db)
{
    if (db->onServer()) return db;
    Status writable;
    auto rw = Database::open(db->path(), FileKind::Main, Database::Access::ReadWrite, &writable);
    return rw ? std::move(rw) : std::move(db);
}

bool stdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

// A database without an enabled admin runs only its way back: on a file a
// restore, which brings the copy's accounts; on a server the schema owner's
// operator add (its function takes no other login's). Both are logged.
int lockedOut(CliContext& c, const QString& command, Database& db)
{
    bool owner = false;
    const bool wayBack = db.onServer() ? command == QLatin1String("operator") &&
                                             c.args.value(1) == QLatin1String("add") &&
                                             loginOwnsAuditLog(db, &owner) && owner
                                       : command == QLatin1String("restore");
    if (!wayBack) {
        *c.err << noEnabledAdminMessage(db.onServer()) << Qt::endl;
        return 2;
    }
    c.session.practiceMode = true;
    c.session.name = QString::fromUtf8("（復原）");
    c.session.role = Role::Admin;
    c.session.workstation = QSysInfo::machineHostName();
    return -1;
}

} // namespace

bool readSecret(CliContext& c, const QString& prompt, QString* secret)
{
    const bool terminal = stdinIsTerminal();
    termios saved{};
    if (terminal) {
        *c.err << prompt << Qt::flush;
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    const bool got = bool(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        *c.err << Qt::endl;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    *secret = QString::fromStdString(line);
    return got;
}

int gateCommand(CliContext& c, const QString& command)
{
    Status st;
    std::unique_ptr<Database> db = openForLogin(c, command, &st);
    if (!st) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    if (db && OperatorStore(*db).lockedOut(&st)) return lockedOut(c, command, *db);
    if (!st || !db || !db->hasTable(QStringLiteral("LUMOOPER")) || !OperatorStore(*db).practiceMode(&st)) {
        if (!st) {
            *c.err << st.error << Qt::endl;
            return 2;
        }
        return -1;
    }
    if (c.operatorName.isEmpty()) {
        *c.err << loginRequiredMessage() << Qt::endl;
        return 2;
    }
    QString password = qEnvironmentVariable("LUMO_PASSWORD");
    if (password.isEmpty() &&
        !readSecret(c, QString::fromUtf8("%1 的密碼：").arg(c.operatorName), &password)) {
        *c.err << loginRequiredMessage() << Qt::endl;
        return 2;
    }
    SharedState state;
    state.MainDatabase = writableForLogin(std::move(db));
    // Opened for writing, the file got back a guard it had lost (and logged it).
    if (state.MainDatabase->auditGuardRecreated()) *c.err << auditGuardRecreatedMessage() << Qt::endl;
    const LoginVerdict v = logIn(state, c.operatorName, password, QSysInfo::machineHostName());
    if (v.outcome != LoginVerdict::Accepted) {
        if (v.outcome == LoginVerdict::Failed)
            *c.err << v.status.error << Qt::endl;
        else if (v.outcome == LoginVerdict::Waiting)
            *c.err << waitMessage((v.waitUntil - wallClockMs() + 999) / 1000) << Qt::endl;
        else
            *c.err << wrongPasswordMessage() << Qt::endl;
        return 2;
    }
    c.session = state.Session;
    const std::optional<Permission> needed = permissionOf(c, command);
    if (needed && !allowed(c.session, *needed)) {
        *c.err << insufficientRightsMessage() << Qt::endl;
        return 2;
    }
    return -1;
}

} // namespace lumo
