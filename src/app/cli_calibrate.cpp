// lumo-cli calibrate: the probe calibration without a window, stored exactly as
// the calibration screen stores it (configuration and log).
#include "app/cli.h"

#include "base/formats.h"
#include "base/json.h"
#include "instrument/stack.h"
#include "measurement/calibrationrun.h"
#include "shell/sharedstate.h"

namespace lumo {
namespace {

// The operator has this long to put the tip on the handle (instrument time).
constexpr qint64 ContactLimitMs = 60000;

// "N" or "N,M" (M defaults to N), each a count of 0..4095.
bool parseShortCounts(const QString& text, int& standard, int& high)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() > 2) return false;
    bool ok1 = false, ok2 = true;
    standard = parts.at(0).trimmed().toInt(&ok1);
    high = parts.size() == 2 ? parts.at(1).trimmed().toInt(&ok2) : standard;
    return ok1 && ok2 && standard >= 0 && standard <= 4095 && high >= 0 && high <= 4095;
}

// The start-up file steps. The configuration must have been read: storing the
// calibration writes the whole file, and would otherwise replace every other
// setting by its default.
bool prepareCalibration(CliContext& c, SharedState& state, ScriptedMessages& messages)
{
    state.DataDirectory = c.dataDirectory;
    state.messages = &messages;
    const StartupOutcome o = runStartupFileSteps(state, c.deliveredDir);
    QString error;
    if (o.templateMissing)
        error = templateMissingMessage();
    else if (!o.databases)
        error = o.databases.error;
    else if (!o.configuration)
        error = o.configuration.error;
    if (!error.isEmpty()) *c.err << error << Qt::endl;
    return error.isEmpty() && !refusedReadOnly(c, o);
}

// Once the values are stored the simulated operator takes the tip off the
// handle, as the status line asks; a real operator does it by hand.
struct LiftingView : CalibrationView
{
    SimulatedInstrument* sim = nullptr;
    void calibrationStored() override
    {
        if (sim) sim->probe().handle().on = false;
    }
};

void printResult(CliContext& c, const CalibrationRun& run)
{
    JsonWriter w;
    w.beginObject();
    // This calibration's values; Applied says whether they are now the ones in use.
    w.key(QStringLiteral("CalibStandard")).value(run.standardValue());
    w.key(QStringLiteral("CalibHigh")).value(run.highValue());
    w.key(QStringLiteral("CalibDate")).value(shortDate(QDate::currentDate()));
    w.key(QStringLiteral("Success")).value(run.outcome() == CalibrationRun::Outcome::Succeeded);
    w.key(QStringLiteral("PreviousStandard")).value(run.previousStandard());
    w.key(QStringLiteral("PreviousHigh")).value(run.previousHigh());
    w.key(QStringLiteral("Applied")).value(run.valuesApplied());
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
}

} // namespace

int cmdCalibrate(CliContext& c)
{
    int standard = 4000, high = 4000;
    if (!c.shortCounts.isEmpty() && !c.simulate) {
        *c.err << "--short-counts needs --simulate" << Qt::endl;
        return 2;
    }
    if (!c.shortCounts.isEmpty() && !parseShortCounts(c.shortCounts, standard, high)) {
        *c.err << "--short-counts: " << c.shortCounts << " is not N or N,M with counts of 0 to 4095"
               << Qt::endl;
        return 2;
    }
    SharedState state;
    ScriptedMessages messages;
    // The question after a failure: without an operator to ask, the previous values stay.
    messages.setDefaultAnswer(c.args.contains(QStringLiteral("--keep-failed")));
    if (!prepareCalibration(c, state, messages)) return 2;

    // The simulated instrument runs in virtual time: the calibration takes a moment.
    VirtualClock virtualClock;
    InstrumentStack stack(c.simulate ? InstrumentStack::Kind::Simulated : InstrumentStack::Kind::Real,
                          c.simulate ? &virtualClock : nullptr, c.tracePath);
    if (!c.tracePath.isEmpty() && !stack.traceOpen()) {
        *c.err << c.tracePath << ": cannot be written" << Qt::endl;
        return 2;
    }
    stack.start();
    if (SimulatedInstrument* sim = stack.simulator()) {
        HandleContact& h = sim->probe().handle();
        h.on = true;
        h.standardCounts = standard;
        h.highCounts = high;
    }
    Instrument& instrument = stack.instrument();
    state.instrument = &instrument;
    if (!instrument.attached() || !instrument.SendCommand("X000000")) {
        *c.err << "no instrument answered: nothing stored" << Qt::endl;
        return 2;
    }
    if (!c.simulate) *c.err << "hold the probe's cotton tip on its metal handle..." << Qt::endl;

    LiftingView view;
    view.sim = stack.simulator();
    CalibrationRun run(state, instrument, view);
    run.setContactTimeoutMs(ContactLimitMs);
    const CalibrationRun::Outcome outcome = run.start();
    instrument.release();
    for (const auto& shown : messages.shown())
        *c.err << shown.text << Qt::endl;
    for (const QString& e : messages.errors())
        *c.err << e << Qt::endl;
    if (outcome != CalibrationRun::Outcome::Succeeded && outcome != CalibrationRun::Outcome::Failed) {
        *c.err << "the tip never closed the circuit within 60 s: nothing stored" << Qt::endl;
        return 2;
    }
    if (run.valuesApplied() && !run.configurationSaved()) {
        *c.err << "the calibration values could not be stored" << Qt::endl;
        return 2;
    }
    printResult(c, run);
    return outcome == CalibrationRun::Outcome::Succeeded ? 0 : 3;
}

} // namespace lumo
