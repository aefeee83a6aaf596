#include "app/cli.h"

#include "shell/configuration.h"
#include "shell/datadir.h"
#include "base/json.h"
#include "shell/sharedstate.h"
#include "shell/startupcheck.h"
#include "instrument/protocol.h"
#include "instrument/stack.h"

#include <variant>

namespace lumo {
namespace {

const char* kUsage =
    "usage: lumo-cli [--data-dir DIR] COMMAND\n"
    "commands:\n"
    "  init           prepare the data directory as the program does at start\n"
    "  config dump    print the configuration as JSON\n"
    "  instrument     identify the instrument (--simulate: the simulated one)\n"
    "  analyse [--female] V1..V24\n"
    "  chart N --out FILE.png [--width W --height H] [--female] V1..V24\n"
    "  match --db FILE [--female] [--birth YYYY-MM-DD] [--today YYYY-MM-DD] V1..V24\n"
    "  decipher [--bytes] HEXTEXT\n"
    "  encipher [--first HH] TEXT\n"
    "  report --mkey N --out FILE.pdf [--options FLAGS]\n"
    "  demo --out DIR   measure a demonstration subject and print its report\n"
    "  compare [--multi] --mkey K1 [--mkey K2 ...] [--band B | --select N] --out FILE.png|.pdf\n"
    "  trend --custno NUMBER --out FILE.csv|.png|.pdf\n";

// The creation steps without a window; messages go to stderr.
int prepare(CliContext& c, SharedState& state)
{
    state.DataDirectory = c.dataDirectory;
    ScriptedMessages quiet;
    state.messages = &quiet;
    StartupOutcome o = runStartupFileSteps(state, c.deliveredDir);
    state.messages = nullptr;
    if (o.templateMissing) {
        *c.err << templateMissingMessage() << Qt::endl;
        return 2;
    }
    if (!o.databases) {
        *c.err << o.databases.error << Qt::endl;
        return 2;
    }
    if (!o.configuration) {
        *c.err << o.configuration.error << Qt::endl;
        return 2;
    }
    return 0;
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
        return 1;
    }
    SharedState state;
    if (int rc = prepare(c, state)) return rc;
    JsonWriter w;
    w.beginObject();
    for (int line = 1; line <= ConfigurationLineCount; ++line) {
        w.key(QString::fromLatin1(settingName(line)));
        SettingRef ref = settingRef(state.config, line);
        if (auto* i = std::get_if<int*>(&ref)) w.value(**i);
        else if (auto* d = std::get_if<double*>(&ref)) w.value(**d);
        else if (auto* b = std::get_if<bool*>(&ref)) w.value(**b);
        else if (auto* s = std::get_if<QString*>(&ref)) w.value(**s);
    }
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    return 0;
}

// The start-up identification without a window, for support staff.
int cmdInstrument(CliContext& c)
{
    InstrumentStack stack(c.simulate ? InstrumentStack::Kind::Simulated : InstrumentStack::Kind::Real, nullptr,
                          c.tracePath);
    if (!c.tracePath.isEmpty() && !stack.traceOpen()) {
        *c.err << c.tracePath << ": cannot be written" << Qt::endl;
        return 2;
    }
    stack.start();
    StartupCheck check(&stack.instrument(), stack.clock());
    const StartupStatus s = check.identify();
    const bool attached = stack.instrument().attached();
    const qint64 counter = s.ready ? stack.instrument().ReadUsageCounter() : 0;
    if (s.ready) stack.instrument().EndMeasuring();
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("attached")).value(attached);
    w.key(QStringLiteral("model")).value(s.model);
    w.key(QStringLiteral("modelName")).value(protocol::modelName(s.model));
    w.key(QStringLiteral("serial")).value(s.serial.isEmpty() ? QStringLiteral("None!") : s.serial);
    w.key(QStringLiteral("hardware")).value(s.hardware);
    w.key(QStringLiteral("counter")).value(counter);
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    if (!s.ready) *c.err << s.message << Qt::endl;
    return s.ready ? 0 : 2;
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
                return 1;
            }
            c.dataDirectory = arguments.at(++i);
            c.dataDirectorySet = true;
            if (!c.dataDirectory.endsWith(QLatin1Char('/'))) c.dataDirectory += QLatin1Char('/');
        } else if (a == QLatin1String("--simulate")) {
            c.simulate = true;
        } else if (a == QLatin1String("--trace-instrument")) {
            if (i + 1 >= arguments.size()) {
                err << "--trace-instrument needs a file\n";
                return 1;
            }
            c.tracePath = arguments.at(++i);
        } else {
            rest << a;
        }
    }
    c.args = rest;
    const QString command = rest.value(0);
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
    if (command == QLatin1String("compare")) return cmdCompare(c);
    if (command == QLatin1String("trend")) return cmdTrend(c);
    err << kUsage;
    return 1;
}

} // namespace lumo
