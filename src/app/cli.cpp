#include "app/cli.h"

#include "base/json.h"
#include "instrument/protocol.h"
#include "instrument/replay.h"
#include "instrument/stack.h"
#include "practice/passwordhash.h"
#include "records/database.h"
#include "shell/commandline.h"
#include "shell/configuration.h"
#include "shell/datadir.h"
#include "shell/identificationreport.h"
#include "shell/sharedstate.h"
#include "shell/startupcheck.h"

#include <QFileInfo>
#include <variant>

namespace lumo {

namespace {
QString refusedMessage(const QString& reason)
{
    return QString::fromUtf8("資料目錄無法寫入，命令未執行：") + reason;
}
} // namespace

bool refusedReadOnly(CliContext& c, const StartupOutcome& o)
{
    if (!c.writesDatabase || o.writable) return false;
    *c.err << refusedMessage(o.writable.error) << Qt::endl;
    return true;
}

// The creation steps without a window; every failure goes to stderr. A file
// step that did not do its work (a delivered file not copied, a swap refused)
// fails the command too: the data directory is not what the program expects.
bool prepareState(CliContext& c, SharedState& state, ScriptedMessages& messages)
{
    state.DataDirectory = c.dataDirectory;
    state.databaseOption = c.database;
    state.messages = &messages;
    StartupOutcome o = runStartupFileSteps(state, c.deliveredDir);
    bool ok = true;
    auto report = [&](const Status& s) {
        if (s) return;
        *c.err << s.error << Qt::endl;
        ok = false;
    };
    if (o.templateMissing) {
        *c.err << templateMissingMessage() << Qt::endl;
        ok = false;
    }
    // Not a failure: the commands work, but the practice should hear it.
    if (o.networkFolder) *c.err << networkFolderMessage() << Qt::endl;
    report(o.copies);
    report(o.swap);
    report(o.databases);
    report(o.configuration);
    // The defaults stand in for a practice's bounds that cannot be read: said, not a failure.
    if (!o.qualityThresholds) *c.err << o.qualityThresholds.error << Qt::endl;
    if (refusedReadOnly(c, o)) ok = false;
    if (state.MainDatabase && state.MainDatabase->auditGuardRecreated())
        *c.err << auditGuardRecreatedMessage() << Qt::endl;
    startSession(c, state);
    return ok;
}

namespace {

// The folder a command writes into, empty for a command that writes nothing
// there; and whether it changes the main database.
QString folderWrittenBy(const CliContext& c, const QString& command)
{
    static const QStringList intoDataDirectory = {QStringLiteral("init"), QStringLiteral("calibrate"),
                                                  QStringLiteral("import"), QStringLiteral("export"),
                                                  QStringLiteral("restore")};
    if (intoDataDirectory.contains(command)) return c.dataDirectory;
    if (command == QLatin1String("backup-passphrase")) return c.dataDirectory; // its verifier
    // A measurement stored under a subject goes into the main database.
    if (command == QLatin1String("measure") && c.args.contains(QStringLiteral("--store")))
        return c.dataDirectory;
    // Without --data-dir the demonstration works in a folder of its own.
    if (command == QLatin1String("demo")) return c.dataDirectorySet ? c.dataDirectory : QString();
    if (command == QLatin1String("backup")) {
        const int to = int(c.args.indexOf(QStringLiteral("--to")));
        return to >= 0 ? c.args.value(to + 1) : c.dataDirectory;
    }
    return {};
}

bool changesDatabase(const QString& command)
{
    return QStringList{QStringLiteral("init"), QStringLiteral("calibrate"), QStringLiteral("import"),
                       QStringLiteral("demo")}
        .contains(command);
}

// A command that writes is refused before it does anything when its folder
// takes nothing (read-only, or a full disk); the database itself is tried by
// the start-up steps (prepareState). A folder that is not there yet is made
// by the command, which reports a failure to make it.
bool refusedForWriting(CliContext& c, const QString& command)
{
    c.writesDatabase = changesDatabase(command) ||
                       (command == QLatin1String("measure") && c.args.contains(QStringLiteral("--store")));
    const QString folder = folderWrittenBy(c, command);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
    const Status s = checkFolderWritable(folder);
    if (s) return false;
    *c.err << refusedMessage(s.error) << Qt::endl;
    return true;
}

int prepare(CliContext& c, SharedState& state)
{
    ScriptedMessages quiet;
    const bool ok = prepareState(c, state, quiet);
    state.messages = nullptr;
    return ok ? 0 : 2;
}

int cmdInit(CliContext& c)
{
    SharedState state;
    return prepare(c, state);
}

int cmdConfigDump(CliContext& c)
{
    SharedState state;
    if (int rc = prepare(c, state)) return rc;
    JsonWriter w;
    w.beginObject();
    for (int line = 1; line <= ConfigurationLineCount; ++line) {
        w.key(QString::fromLatin1(settingName(line)));
        SettingRef ref = settingRef(state.config, line);
        if (auto* i = std::get_if<int*>(&ref))
            w.value(**i);
        else if (auto* d = std::get_if<double*>(&ref))
            w.value(**d);
        else if (auto* b = std::get_if<bool*>(&ref))
            w.value(**b);
        else if (auto* s = std::get_if<QString*>(&ref))
            w.value(**s);
    }
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    return 0;
}

// The start-up identification without a window, for support staff.
int cmdInstrument(CliContext& c)
{
    const auto kind = !c.replayPath.isEmpty() ? InstrumentStack::Kind::Replay
                      : c.simulate            ? InstrumentStack::Kind::Simulated
                                              : InstrumentStack::Kind::Real;
    InstrumentStack stack(kind, nullptr, c.tracePath, c.replayPath);
    if (!c.tracePath.isEmpty() && !stack.traceOpen()) {
        *c.err << c.tracePath << ": cannot be written" << Qt::endl;
        return 2;
    }
    if (!stack.replayError().isEmpty()) {
        *c.err << stack.replayError() << Qt::endl;
        return 2;
    }
    stack.start();
    StartupCheck check(&stack.instrument(), stack.clock());
    const StartupStatus s = check.identify();
    const bool attached = stack.instrument().attached();
    const qint64 counter = s.ready ? stack.instrument().ReadUsageCounter() : 0;
    if (s.ready) stack.instrument().EndMeasuring();
    const IdentificationReport report = identificationReport(s, attached, counter);
    *c.out << QString::fromUtf8(report.json) << Qt::endl;
    for (const QString& m : report.messages)
        *c.err << m << Qt::endl;
    if (ReplayBackend* replay = stack.replay(); replay && !replay->mismatch().isEmpty()) {
        *c.err << c.replayPath << ": " << replay->mismatch() << Qt::endl;
        return 2;
    }
    return s.ready ? 0 : 2;
}

// The command's exit code; -1 for a command that does not exist.
int runCommand(CliContext& c, const QString& command)
{
    if (command == QLatin1String("init")) return cmdInit(c);
    if (command == QLatin1String("config")) return cmdConfigDump(c);
    if (command == QLatin1String("instrument")) return cmdInstrument(c);
    if (command == QLatin1String("analyse")) return cmdAnalyse(c);
    if (command == QLatin1String("chart")) return cmdChart(c);
    if (command == QLatin1String("match")) return cmdMatch(c);
    if (command == QLatin1String("decipher")) return cmdDecipher(c);
    if (command == QLatin1String("encipher")) return cmdEncipher(c);
    if (command == QLatin1String("report")) return cmdReport(c);
    if (command == QLatin1String("demo")) return cmdDemo(c);
    if (command == QLatin1String("calibrate")) return cmdCalibrate(c);
    if (command == QLatin1String("compare")) return cmdCompare(c);
    if (command == QLatin1String("trend")) return cmdTrend(c);
    if (command == QLatin1String("export")) return cmdExport(c);
    if (command == QLatin1String("import")) return cmdImport(c);
    if (command == QLatin1String("export-csv")) return cmdExportCsv(c);
    if (command == QLatin1String("export-subject")) return cmdExportSubject(c);
    if (command == QLatin1String("import-subjects")) return cmdImportSubjects(c);
    if (command == QLatin1String("legacy-dump")) return cmdLegacyDump(c);
    if (command == QLatin1String("backup")) return cmdBackup(c);
    if (command == QLatin1String("restore")) return cmdRestore(c);
    if (command == QLatin1String("backup-passphrase")) return cmdBackupPassphrase(c);
    if (command == QLatin1String("decrypt-backup")) return cmdDecryptBackup(c);
    if (command == QLatin1String("migrate")) return cmdMigrate(c);
    if (command == QLatin1String("measure")) return cmdMeasure(c);
    if (command == QLatin1String("noise")) return cmdNoise(c);
    if (command == QLatin1String("operator")) return cmdOperator(c);
    if (command == QLatin1String("audit")) return cmdAudit(c);
    if (command == QLatin1String("server-grant")) return cmdServerGrant(c);
    return -1;
}

} // namespace

namespace {

// The common and instrument options given, into the context; false after
// saying why a value cannot be taken.
bool takeShared(CliContext& c, const CommandLine& line)
{
    for (const auto& [name, value] : line.shared) {
        if (name == QLatin1String("--data-dir")) {
            // Relative to the current directory, as the window takes it; never empty, never the root.
            const Status s = resolveDataDirectory(value, &c.dataDirectory);
            if (!s) {
                *c.err << s.error << Qt::endl;
                return false;
            }
            c.dataDirectorySet = true;
        } else if ((name == QLatin1String("--database") || name == QLatin1String("--operator")) &&
                   value.trimmed().isEmpty()) {
            *c.err << name << " needs a value that is not blank" << Qt::endl;
            return false;
        }
        if (name == QLatin1String("--database")) c.database = value;
        if (name == QLatin1String("--operator")) c.operatorName = value;
        if (name == QLatin1String("--simulate")) c.simulate = true;
        if (name == QLatin1String("--short-counts")) c.shortCounts = value;
        if (name == QLatin1String("--probe-script")) c.probeScript = value;
        if (name == QLatin1String("--trace-instrument")) c.tracePath = value;
        if (name == QLatin1String("--replay-instrument")) c.replayPath = value;
    }
    return true;
}

} // namespace

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    // The whole line is checked before anything is read or written: a
    // mistyped option must not let a command run without what it asked for.
    const CommandLine line = parseCliLine(arguments);
    if (!line.error.isEmpty()) {
        err << line.error << '\n';
        if (line.command.isEmpty()) err << '\n' << cliOverview();
        return 2;
    }
    if (line.help) {
        out << (line.command.isEmpty() ? cliOverview() : commandHelp(line.specs));
        return 0;
    }
    CliContext c;
    c.out = &out;
    c.err = &err;
    c.dataDirectory = defaultDataDirectory();
    c.deliveredDir = deliveredDirectory();
    if (!takeShared(c, line)) return 2;
    c.args = line.args;
    const QString& command = line.command;
    // The login checks a hash at the program's cost and remakes a weaker one.
    if (QFileInfo(c.dataDirectory).isDir()) loadPasswordCost(c.dataDirectory);
    if (const int gate = gateCommand(c, command); gate >= 0) return gate;
    if (refusedForWriting(c, command)) return 2;
    const int code = runCommand(c, command);
    // Every command of the table has its function; a missing one is this program's fault.
    if (code < 0) err << "lumo-cli: " << command << " is described but not built" << Qt::endl;
    return code < 0 ? 2 : code;
}

} // namespace lumo
