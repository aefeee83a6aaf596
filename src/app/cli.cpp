#include "app/cli.h"

#include "base/json.h"
#include "instrument/protocol.h"
#include "instrument/replay.h"
#include "instrument/stack.h"
#include "practice/passwordhash.h"
#include "records/database.h"
#include "shell/configuration.h"
#include "shell/datadir.h"
#include "shell/identificationreport.h"
#include "shell/sharedstate.h"
#include "shell/startupcheck.h"

#include <QFileInfo>
#include <variant>

namespace lumo {
namespace {

const char* kUsage =
    "usage: lumo-cli [--data-dir DIR] [--database CONNINFO] COMMAND\n"
    "  --database CONNINFO  the main database on a PostgreSQL server (a libpq connection string;\n"
    "                 wins over lumo-server.conf in the data directory)\n"
    "commands:\n"
    "  init           prepare the data directory as the program does at start (on a server:\n"
    "                 create or upgrade its schema)\n"
    "  config dump    print the configuration as JSON\n"
    "  instrument     identify the instrument (--simulate: the simulated one;\n"
    "                 --trace-instrument FILE records the traffic, --replay-instrument FILE replays it)\n"
    "  analyse [--female] V1..V24\n"
    "  chart N --out FILE.png [--width W --height H] [--female] V1..V24\n"
    "  match --db FILE [--female] [--birth YYYY-MM-DD] [--today YYYY-MM-DD] V1..V24\n"
    "  decipher [--bytes] HEXTEXT\n"
    "  encipher [--first HH] TEXT\n"
    "  report --mkey N --out FILE.pdf [--options FLAGS]\n"
    "  demo --out DIR   measure a demonstration subject and print its report\n"
    "  calibrate [--keep-failed]   calibrate the probe (--simulate [--short-counts N[,M]]: the simulated "
    "one;\n"
    "                 a failed calibration's values are used only with --keep-failed)\n"
    "  compare [--multi] --mkey K1 [--mkey K2 ...] [--band B | --select N] --out FILE.png|.pdf\n"
    "  compare --mkey K1 --mkey K2 --json   whether K2 changed from K1 beyond chance, as JSON\n"
    "  trend --custno NUMBER --out FILE.csv|.png|.pdf\n"
    "  export --to DEST [--programs] [--records]\n"
    "  import --from SRC [--programs] [--records] [--replace] [--with-commands]\n"
    "  export-csv --to DEST [--anonymous] [--custno NUMBER]\n"
    "  export-subject --custno NUMBER --to DIR2   the subject's records as a folder (FHIR, CSV, reports)\n"
    "  import-subjects --csv FILE [--map FIELD=COLUMN ...] [--skip-existing] [--dry-run]\n"
    "  legacy-dump FILE [TABLE]   the tables of an old file, or the rows of TABLE as JSON lines\n"
    "  backup [--to DIR2 [--encrypt]]   a checked copy of the main database now (in Backup/ of the data\n"
    "                 directory); --encrypt: encrypted with the backup passphrase\n"
    "  backup-passphrase set   the passphrase of encrypted backups; backup --encrypt and restore of an\n"
    "                 encrypted copy read it from LUMO_BACKUP_PASSPHRASE or standard input\n"
    "  decrypt-backup FILE --to OUT   an encrypted copy (a server's dump too) back in clear, for\n"
    "                 restore or pg_restore; the passphrase as for backup --encrypt\n"
    "  restore FILE [--with-commands]   put a checked copy in place of the main database, kept as\n"
    "                 lumo4_before_restore.mdb (its programs' external commands only with --with-commands)\n"
    "  migrate --to CONNINFO     copy the data directory's lumo4.mdb to an empty database on a server\n"
    "  migrate --from CONNINFO   copy a server's main database into a new lumo4.mdb (none may be there)\n"
    "  measure [--store CUSTNO] [--high] [--condition NAME=VALUE ...] [--repeat-of MKEY]\n"
    "                 a guided run against the simulated probe in virtual time (--simulate\n"
    "                 [--probe-script FILE]): the readings and their grades as JSON; --repeat-of: a\n"
    "                 repeat of that measurement of the same subject, taken the same way\n"
    "  noise          the practice's repeat pairs, each MDC with its 95 % interval, as JSON\n"
    "  operator add --name NAME --role admin|practitioner|assistant   a new operator (password from\n"
    "                 standard input); the first one, an admin, turns practice mode on\n"
    "  operator list | operator passwd --name NAME | operator disable --name NAME\n"
    "  --operator NAME  in practice mode every command logs in (password from LUMO_PASSWORD or standard "
    "input)\n"
    "  audit [--custno X] [--from DATE] [--to DATE]   the audit log's rows as JSON lines\n"
    "  audit --verify   check the audit log's chain (exit 2 naming the first broken row)\n"
    "  server-grant --role ROLE   as the server schema's owner: the workstation login ROLE may read and\n"
    "                 write the records and only read and append the audit log\n";

} // namespace

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
    if (c.args.value(1) != QLatin1String("dump")) {
        *c.err << kUsage;
        return 2;
    }
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

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    CliContext c;
    c.out = &out;
    c.err = &err;
    c.dataDirectory = defaultDataDirectory();
    c.deliveredDir = deliveredDirectory();
    QStringList rest;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--data-dir")) {
            if (i + 1 >= arguments.size()) {
                err << "--data-dir needs a directory\n";
                return 2;
            }
            // Relative to the current directory, as the window takes it; never empty, never the root.
            const Status s = resolveDataDirectory(arguments.at(++i), &c.dataDirectory);
            if (!s) {
                err << s.error << Qt::endl;
                return 2;
            }
            c.dataDirectorySet = true;
        } else if (a == QLatin1String("--database")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).trimmed().isEmpty()) {
                err << "--database needs a connection string\n";
                return 2;
            }
            c.database = arguments.at(++i);
        } else if (a == QLatin1String("--operator")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).trimmed().isEmpty()) {
                err << "--operator needs a name\n";
                return 2;
            }
            c.operatorName = arguments.at(++i);
        } else if (a == QLatin1String("--simulate")) {
            c.simulate = true;
        } else if (a == QLatin1String("--short-counts")) {
            if (i + 1 >= arguments.size()) {
                err << "--short-counts needs N or N,M\n";
                return 1;
            }
            c.shortCounts = arguments.at(++i);
        } else if (a == QLatin1String("--probe-script")) {
            if (i + 1 >= arguments.size()) {
                err << "--probe-script needs a file\n";
                return 2;
            }
            c.probeScript = arguments.at(++i);
        } else if (a == QLatin1String("--trace-instrument")) {
            if (i + 1 >= arguments.size()) {
                err << "--trace-instrument needs a file\n";
                return 2;
            }
            c.tracePath = arguments.at(++i);
        } else if (a == QLatin1String("--replay-instrument")) {
            if (i + 1 >= arguments.size()) {
                err << "--replay-instrument needs a file\n";
                return 1;
            }
            c.replayPath = arguments.at(++i);
        } else {
            rest << a;
        }
    }
    c.args = rest;
    const QString command = rest.value(0);
    // The login checks a hash at the program's cost and remakes a weaker one.
    if (QFileInfo(c.dataDirectory).isDir()) loadPasswordCost(c.dataDirectory);
    if (const int gate = gateCommand(c, command); gate >= 0) return gate;
    if (refusedForWriting(c, command)) return 2;
    const int code = runCommand(c, command);
    if (code < 0) err << kUsage;
    return code < 0 ? 2 : code;
}

} // namespace lumo
