#pragma once
// lumo-cli: headless commands over the program's libraries.

#include "base/status.h"
#include "practice/session.h"

#include <QStringList>
#include <QTextStream>

#include "base/status.h"

namespace lumo {

class Database;

struct SharedState;
class ScriptedMessages;

struct CliContext
{
    QString dataDirectory; // --data-dir, or the default
    bool dataDirectorySet = false;
    QString database; // --database: the main database on a server (wins over lumo-server.conf)
    QString deliveredDir;
    QStringList args;            // the command and its arguments
    bool simulate = false;       // --simulate
    QString tracePath;           // --trace-instrument
    QString replayPath;          // --replay-instrument
    QString shortCounts;         // --short-counts N[,M]: the simulated tip on the handle
    QString probeScript;         // --probe-script FILE: the simulated operator's hand at each point
    bool writesDatabase = false; // the command changes the main database: refused when it cannot
    QString operatorName;        // --operator: who logs in, in practice mode
    OperatorSession session;     // the operator logged in (practice mode), for the commands' log entries
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
};

int cmdAnalyse(CliContext& c);
int cmdChart(CliContext& c);
int cmdMatch(CliContext& c);
int cmdDecipher(CliContext& c);
int cmdEncipher(CliContext& c);
int cmdReport(CliContext& c);
int cmdDemo(CliContext& c);
int cmdCalibrate(CliContext& c);
int cmdCompare(CliContext& c); // cli_compare.cpp
int cmdTrend(CliContext& c);
int cmdExport(CliContext& c);
int cmdImport(CliContext& c);
int cmdExportCsv(CliContext& c);
int cmdLegacyDump(CliContext& c);
int cmdExportSubject(CliContext& c); // cli_travel.cpp
int cmdImportSubjects(CliContext& c);
int cmdBackup(CliContext& c); // cli_backup.cpp
int cmdRestore(CliContext& c);
int cmdBackupPassphrase(CliContext& c); // cli_passphrase.cpp
int cmdDecryptBackup(CliContext& c);
// The backup passphrase from LUMO_BACKUP_PASSPHRASE or standard input (asked
// twice on a terminal when twice); a failure says why there is none.
Status readBackupPassphrase(CliContext& c, bool twice, QByteArray* passphrase);
int cmdMigrate(CliContext& c); // cli_migrate.cpp
int cmdMeasure(CliContext& c); // cli_quality.cpp
int cmdNoise(CliContext& c);
int cmdOperator(CliContext& c); // cli_operator.cpp

// In practice mode, before a command touches anything: the login of
// --operator (password from LUMO_PASSWORD or standard input) and the role's
// right to the command. -1 when the command may run, else its exit code.
int gateCommand(CliContext& c, const QString& command); // cli_login.cpp
// A password from standard input: without echo after a prompt on a terminal,
// one line from a pipe. False at the end of the input.
bool readSecret(CliContext& c, const QString& prompt, QString* secret);

// audit --verify's checks and their report (cli_auditverify.cpp).
int verifyAuditLog(CliContext& c, Database& db);
int cmdAudit(CliContext& c);       // cli_audit.cpp
int cmdServerGrant(CliContext& c); // cli_server.cpp

// The command's session in the state: c.session, practice mode when the main
// database holds an operator, and this machine's name (prepareState calls it).
void startSession(CliContext& c, SharedState& state);
// The audit log's entry of a command that runs without the start-up steps:
// the main database (file or server) opened for it alone.
Status auditCommand(CliContext& c, const struct AuditEntry& entry);
// rc, or after a command that succeeded (rc 0) its entry in the log: 2 with
// the message when the log did not take it.
int logOutcome(CliContext& c, SharedState& state, int rc, const AuditEntry& entry);

// The start-up file steps of the window, for a command: false (messages on
// stderr) when any of them failed.
bool prepareState(CliContext& c, SharedState& state, ScriptedMessages& messages);
// A command that changes the main database, when the start-up found that
// nothing can be written: the message on stderr, and true.
bool refusedReadOnly(CliContext& c, const struct StartupOutcome& o);

// The external commands an import or a restore brings, one marked line each
// (describeCommands), and whether they were taken (--with-commands) or dropped.
void printCommands(QTextStream& err, const QStringList& lines, bool taken);

// Exit codes: 0 success, 2 a failure or a usage error, with its message on stderr.
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace lumo
