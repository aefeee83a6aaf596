// lumo-cli measure and noise: a whole guided run against a scripted probe in
// virtual time, with the grade of every point; and the practice's own figures
// of how large a change must be to be real.
#include "app/cli.h"

#include "base/json.h"
#include "comparison/noise.h"
#include "instrument/hiddevice.h"
#include "instrument/simulator.h"
#include "instrument/stack.h"
#include "measurement/measuringrun.h"
#include "practice/audit.h"
#include "records/measurementextras.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"

namespace lumo {
namespace {

// A script whose hand never reaches the contact threshold would wait for ever:
// the run gives up when no point was stored for this much instrument time (a
// point takes about 4 s, an early lift and the second touch a few more).
constexpr qint64 PointLimitMs = 60 * 1000;

// Notes when a point was stored last.
struct ProgressView : MeasuringView
{
    qint64 lastStored = 0;
    Clock* clock = nullptr;
    void pointStored(int) override { lastStored = clock->nowMs(); }
};

QString option(const QStringList& args, const QString& name)
{
    const int i = int(args.indexOf(name));
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

void writePoint(JsonWriter& w, int point, double value, const PointGrade& g)
{
    w.beginObject();
    w.key(QStringLiteral("point")).value(point);
    w.key(QStringLiteral("value")).value(value);
    w.key(QStringLiteral("grade")).value(g.graded() ? QString(QChar(char(g.grade))) : QString());
    w.key(QStringLiteral("reason")).value(qualityReason(g));
    w.key(QStringLiteral("samples")).value(g.figures.samples);
    w.key(QStringLiteral("slope_pct_per_s")).value(g.figures.slopePct);
    w.key(QStringLiteral("spread_pct")).value(g.figures.spreadPct);
    w.key(QStringLiteral("step_pct")).value(g.figures.stepPct);
    w.key(QStringLiteral("tick_diff_pct")).value(g.figures.tickDiffPct);
    w.endObject();
}

void printRun(CliContext& c, const EnergySet& e, qint64 mkey)
{
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("readings")).numbers(e.Readings);
    w.key(QStringLiteral("grades")).beginArray();
    for (const PointGrade& g : e.Quality.grades)
        w.value(g.graded() ? QString(QChar(char(g.grade))) : QString());
    w.endArray();
    w.key(QStringLiteral("reasons")).beginArray();
    for (const PointGrade& g : e.Quality.grades)
        w.value(qualityReason(g));
    w.endArray();
    w.key(QStringLiteral("points")).beginArray();
    for (int p = 1; p <= 24; ++p)
        writePoint(w, p, e.Readings[size_t(p - 1)], e.Quality.grades[size_t(p - 1)]);
    w.endArray();
    w.key(QStringLiteral("summary")).value(gradeSummary(countGrades(e.Quality, e.Readings)));
    if (mkey > 0) w.key(QStringLiteral("MKEY")).value(mkey);
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
}

void writeFigure(JsonWriter& w, const QString& name, const QString& label, const NoiseFigure& f)
{
    w.beginObject();
    w.key(QStringLiteral("name")).value(name);
    w.key(QStringLiteral("label")).value(label);
    w.key(QStringLiteral("differences")).value(f.differences);
    w.key(QStringLiteral("sem_pct")).value(f.semPct);
    w.key(QStringLiteral("mdc_pct")).value(f.mdcPct);
    w.endObject();
}

} // namespace

int cmdMeasure(CliContext& c)
{
    if (!c.simulate) {
        *c.err << "measure runs against the simulated instrument only: add --simulate" << Qt::endl;
        return 2;
    }
    HandScript hands;
    if (!c.probeScript.isEmpty()) {
        if (Status s = readHandScript(c.probeScript, hands); !s) {
            *c.err << s.error << Qt::endl;
            return 2;
        }
    }
    const bool store = c.args.contains(QStringLiteral("--store"));
    const QString custNo = option(c.args, QStringLiteral("--store")).trimmed();
    if (store && custNo.isEmpty()) {
        *c.err << "--store needs a subject number" << Qt::endl;
        return 2;
    }
    SharedState state;
    ScriptedMessages messages;
    messages.setDefaultAnswer(true); // the potential question and the long-hold questions: 是
    if (!prepareState(c, state, messages)) return 2;
    std::optional<SubjectRow> subject;
    if (store && !(subject = SubjectStore(*state.MainDatabase).findByCustNo(custNo))) {
        *c.err << QString::fromUtf8("沒有編號為 %1 的受測者：沒有量測，也沒有儲存").arg(custNo) << Qt::endl;
        return 2;
    }
    state.config.HighPotential = c.args.contains(QStringLiteral("--high")); // for this run; not saved

    VirtualClock clock;
    SimulatedInstrument sim(clock);
    THidDeviceController controller(sim);
    Instrument instrument(controller, clock);
    followVirtualTime(clock, sim, controller);
    sim.setReplyDelayMs(4); // a 4 ms polling frame keeps the virtual run short in real time
    controller.enumerate(true);
    state.instrument = &instrument;

    ProgressView view;
    view.clock = &clock;
    MeasuringRun run(state, instrument, view);
    const qint64 start = clock.nowMs();
    view.lastStored = start;
    clock.setTick([&](qint64 now) {
        sim.timeAdvanced(); // what followVirtualTime's own tick does: late replies become due
        if (now - view.lastStored > PointLimitMs) run.requestStop();
    });
    if (hands.isEmpty())
        sim.probe().startAutomatic(start, 2026);
    else
        sim.probe().startScripted(start, hands);
    run.start();
    instrument.release();
    if (!state.energy.allMeasured()) {
        *c.err << "the run stopped: no point was measured within 60 s of instrument time "
                  "(a value at or below the minimum response never makes contact)"
               << Qt::endl;
        return 2;
    }
    qint64 mkey = 0;
    if (subject) {
        MeasurementRow row;
        row.CUSTNO = subject->CUSTNO;
        row.ZUDATE = state.energy.TakenAt;
        row.ZUVOTA = state.energy.VoltageMode;
        row.ZU = state.energy.Readings;
        // The measurement and its log entry in one transaction.
        const Status s = auditedChange(
            state, {QStringLiteral("measurement.add"), row.CUSTNO, 0, subject->NAME}, [&](AuditEntry& e) {
                const Status added = appendMeasurementWithExtras(*state.MainDatabase, row, state.energy);
                e.mkey = row.MKEY;
                return added;
            });
        if (!s) {
            *c.err << s.error << Qt::endl;
            return 2;
        }
        mkey = row.MKEY;
    }
    printRun(c, state.energy, mkey);
    return 0;
}

int cmdNoise(CliContext& c)
{
    SharedState state;
    ScriptedMessages messages;
    if (!prepareState(c, state, messages)) return 2;
    const NoiseFigures f = practiceNoise(*state.MainDatabase, state.compensation);
    static const char* meridianNames[] = {"Lung",    "Pericardium",    "Heart",       "SmallIntestine",
                                          "Sanjiao", "LargeIntestine", "Spleen",      "Liver",
                                          "Kidney",  "Bladder",        "GallBladder", "Stomach"};
    static const char* indexNames[] = {"BodyEnergy", "UpperLowerRatio", "LeftRightRatio", "YinYangRatio",
                                       "AutonomicRatio"};
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("pairs")).value(f.pairs);
    w.key(QStringLiteral("pairs_needed")).value(PairsNeeded);
    w.key(QStringLiteral("source")).value(f.fromPractice ? "practice" : "published");
    w.key(QStringLiteral("source_text")).value(f.sourceText());
    w.key(QStringLiteral("meridians")).beginArray();
    for (int m = 0; m < MeridianCount; ++m)
        writeFigure(w, QLatin1String(meridianNames[m]), shortName(Meridian(m)), f.meridians[size_t(m)]);
    w.endArray();
    w.key(QStringLiteral("indices")).beginArray();
    for (int i = 0; i < NoiseIndexCount; ++i)
        writeFigure(w, QLatin1String(indexNames[i]), noiseIndexLabel(NoiseIndex(i)), f.indices[size_t(i)]);
    w.endArray();
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    return 0;
}

} // namespace lumo
