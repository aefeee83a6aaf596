// Records the traces of tests/instrument/traces/ from the simulated instrument:
//   record_traces --out tests/instrument/traces
// Each trace gets a .json beside it with what the simulated instrument was set
// to (its identity, the values its automatic probe touched the points with),
// which the replay test expects the program to read back.

#include "instrument/protocol.h"
#include "instrument/stack.h"
#include "sessions.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <cstdio>

using namespace lumo;

namespace {

// The start-up trace uses a model of lamp group 2 and an identity that is not
// the simulator's default, so a replay cannot pass on defaults.
constexpr int StartupModel = 4;
const char* const StartupHardware = "LUMO HID 3.2";
const char* const StartupSerial[6] = {"A1", "B2", "C3", "D4", "E5", "F6"};
// The automatic probe's seed and the polling frame of the measuring trace: a
// slower frame than a real instrument's keeps the file small.
constexpr unsigned MeasuringSeed = 2026;
constexpr int MeasuringFrameMs = 20;

bool writeJson(const QString& path, const QJsonObject& o)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(QJsonDocument(o).toJson()) > 0;
}

bool recordStartup(const QString& dir)
{
    const QString trace = dir + QStringLiteral("/startup.trace");
    VirtualClock clock;
    InstrumentStack stack(InstrumentStack::Kind::Simulated, &clock, trace);
    SimulatedInstrument& sim = *stack.simulator();
    sim.setModel(StartupModel);
    sim.setHardwareString(QString::fromLatin1(StartupHardware));
    QString serial;
    for (int n = 0; n < 6; ++n) {
        sim.setRegister(n, QString::fromLatin1(StartupSerial[n]));
        serial += QString::fromLatin1(StartupSerial[n]);
    }
    stack.start();
    SharedState state;
    test::startupSession(state, stack.instrument(), clock);
    return writeJson(test::expectationPath(trace), {{"hardware", sim.hardwareString()},
                                                    {"serial", serial},
                                                    {"modelName", protocol::modelName(StartupModel)}});
}

bool recordMeasuring(const QString& dir)
{
    const QString trace = dir + QStringLiteral("/measuring-run.trace");
    VirtualClock clock;
    InstrumentStack stack(InstrumentStack::Kind::Simulated, &clock, trace);
    SimulatedInstrument& sim = *stack.simulator();
    sim.setReplyDelayMs(MeasuringFrameMs);
    stack.start();
    SharedState state;
    state.InstrumentReady = true;
    sim.probe().startAutomatic(clock.nowMs(), MeasuringSeed);
    test::measuringSession(state, stack.instrument());
    QJsonArray touched;
    for (int p = 1; p <= 24; ++p)
        touched.append(sim.probe().automaticValue(p));
    // The run averages about 150 noisy readings of 0.05 uA steps per point.
    return writeJson(test::expectationPath(trace), {{"readings", touched}, {"tolerance", 0.2}});
}

// The command line's identification, recorded by the command line itself.
bool recordCli(const QString& dir)
{
    const QString trace = dir + QStringLiteral("/cli-instrument.trace");
    QProcess p;
    p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"),
            {"--simulate", "--trace-instrument", trace, "instrument"});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return false;
    VirtualClock clock;
    SimulatedInstrument sim(clock); // the identity lumo-cli --simulate has
    QString serial, counter;
    for (int n = 0; n < 6; ++n)
        serial += sim.registerValue(n);
    for (int n = 6; n < 9; ++n)
        counter += sim.registerValue(n);
    return writeJson(test::expectationPath(trace), {{"hardware", sim.hardwareString()},
                                                    {"serial", serial},
                                                    {"modelName", protocol::modelName(1)},
                                                    {"counter", counter.toInt(nullptr, 16)}});
}

} // namespace

int main(int argc, char** argv)
{
    // The start-up window is created but never shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int at = int(args.indexOf(QStringLiteral("--out")));
    if (at < 0 || at + 1 >= args.size()) {
        std::fprintf(stderr, "usage: record_traces --out DIR\n");
        return 1;
    }
    const QString dir = args.at(at + 1);
    QDir().mkpath(dir);
    bool ok = true;
    for (auto [name, record] :
         {std::pair{"startup", &recordStartup}, std::pair{"measuring-run", &recordMeasuring},
          std::pair{"cli-instrument", &recordCli}}) {
        const bool done = record(dir);
        std::fprintf(stderr, "%s: %s\n", name, done ? "recorded" : "FAILED");
        ok = ok && done;
    }
    return ok ? 0 : 2;
}
