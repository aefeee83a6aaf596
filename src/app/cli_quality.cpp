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

struct MeasureOptions
{
    bool store = false, high = false;
    QString custNo, repeatOf;
    MeasurementConditions conditions;
};

// --store CUSTNO, --high, every --condition NAME=VALUE in the order given, --repeat-of MKEY.
Status measureOptions(const QStringList& args, MeasureOptions& o)
{
    o.store = args.contains(QStringLiteral("--store"));
    o.custNo = option(args, QStringLiteral("--store")).trimmed();
    if (o.store && o.custNo.isEmpty())
        return Status::failure(QStringLiteral("--store needs a subject number"));
    o.high = args.contains(QStringLiteral("--high"));
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) != QLatin1String("--condition")) continue;
        if (i + 1 >= args.size()) return Status::failure(QStringLiteral("--condition needs NAME=VALUE"));
        if (Status s = parseConditionAssignment(args.at(++i), o.conditions); !s) return s;
    }
    o.repeatOf = option(args, QStringLiteral("--repeat-of"));
    if (args.contains(QStringLiteral("--repeat-of")) && (o.repeatOf.isEmpty() || !o.store))
        return Status::failure(
            QStringLiteral("--repeat-of needs a measurement key and --store with the same subject"));
    return Status::success();
}

// The measurement of the run under the subject, a repeat's key checked
// first, in one transaction, and its audit entry.
Status storeMeasured(SharedState& state, const SubjectRow& subject, const QString& repeatOf, qint64* mkey)
{
    EnergySet& e = state.energy;
    if (!repeatOf.isEmpty()) {
        QString why;
        e.Conditions.repeatOf = repeatSessionKey(*state.MainDatabase, repeatOf.toLongLong(), subject.CUSTNO,
                                                 e.VoltageMode, e.TakenAt, &why);
        if (e.Conditions.repeatOf == 0) return Status::failure(QStringLiteral("--repeat-of: ") + why);
    }
    MeasurementRow row;
    row.CUSTNO = subject.CUSTNO;
    row.ZUDATE = e.TakenAt;
    row.ZUVOTA = e.VoltageMode;
    row.ZU = e.Readings;
    // The measurement and its log entry in one transaction.
    const Status s = auditedChange(
        state, {QStringLiteral("measurement.add"), row.CUSTNO, 0, subject.NAME}, [&](AuditEntry& entry) {
            const Status added = appendMeasurementWithExtras(*state.MainDatabase, row, e);
            entry.mkey = row.MKEY;
            return added;
        });
    if (s) *mkey = row.MKEY;
    return s;
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
    w.key(QStringLiteral("se_pct")).value(g.figures.sePct);
    w.key(QStringLiteral("plateau_pct")).value(g.figures.plateauPct);
    w.key(QStringLiteral("tau_ms")).value(g.figures.tauMs);
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
    if (e.Conditions.repeatOf > 0) w.key(QStringLiteral("repeat_of")).value(e.Conditions.repeatOf);
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
}

void writeFigure(JsonWriter& w, const QString& name, const QString& label, const NoiseFigure& f)
{
    w.beginObject();
    if (!name.isEmpty()) w.key(QStringLiteral("name")).value(name);
    if (!label.isEmpty()) w.key(QStringLiteral("label")).value(label);
    w.key(QStringLiteral("differences")).value(f.differences);
    w.key(QStringLiteral("sem_pct")).value(f.semPct);
    w.key(QStringLiteral("mdc_pct")).value(f.mdcPct);
    w.key(QStringLiteral("mdc_low_pct")).value(f.mdcInterval.low);
    w.key(QStringLiteral("mdc_high_pct")).value(f.mdcInterval.high);
    w.endObject();
}

void writeSet(JsonWriter& w, const NoiseSet& s)
{
    static const char* meridianNames[] = {"Lung",    "Pericardium",    "Heart",       "SmallIntestine",
                                          "Sanjiao", "LargeIntestine", "Spleen",      "Liver",
                                          "Kidney",  "Bladder",        "GallBladder", "Stomach"};
    static const char* indexNames[] = {"BodyEnergy", "UpperLowerRatio", "LeftRightRatio", "YinYangRatio",
                                       "AutonomicRatio"};
    w.beginObject();
    w.key(QStringLiteral("pairs")).value(s.pairs);
    w.key(QStringLiteral("shift"));
    writeFigure(w, {}, {}, s.shift);
    for (const auto& [key, figures] :
         {std::pair{"meridians", &s.meridians}, std::pair{"patterns", &s.patterns}}) {
        w.key(QLatin1String(key)).beginArray();
        for (int m = 0; m < MeridianCount; ++m)
            writeFigure(w, QLatin1String(meridianNames[m]), shortName(Meridian(m)), (*figures)[size_t(m)]);
        w.endArray();
    }
    w.key(QStringLiteral("indices")).beginArray();
    for (int i = 0; i < NoiseIndexCount; ++i)
        writeFigure(w, QLatin1String(indexNames[i]), noiseIndexLabel(NoiseIndex(i)), s.indices[size_t(i)]);
    w.endArray();
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
    MeasureOptions o;
    if (Status s = measureOptions(c.args, o); !s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    const bool store = o.store, high = o.high;
    const QString custNo = o.custNo;
    SharedState state;
    ScriptedMessages messages;
    messages.setDefaultAnswer(true); // the potential question and the long-hold questions: 是
    if (!prepareState(c, state, messages)) return 2;
    std::optional<SubjectRow> subject;
    if (store && !(subject = SubjectStore(*state.MainDatabase).findByCustNo(custNo))) {
        *c.err << QString::fromUtf8("沒有編號為 %1 的受測者：沒有量測，也沒有儲存").arg(custNo) << Qt::endl;
        return 2;
    }
    state.config.HighPotential = high; // for this run; not saved

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
        if (!run.stopReason().isEmpty())
            *c.err << run.stopReason() << Qt::endl;
        else
            *c.err << "the run stopped: no point was measured within 60 s of instrument time "
                      "(a value at or below the minimum response never makes contact)"
                   << Qt::endl;
        return 2;
    }
    state.energy.Conditions = o.conditions;
    qint64 mkey = 0;
    if (subject) {
        if (Status s = storeMeasured(state, *subject, o.repeatOf, &mkey); !s) {
            *c.err << s.error << Qt::endl;
            return 2;
        }
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
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("pairs")).value(f.within.pairs);
    w.key(QStringLiteral("between_visit_pairs")).value(f.between.pairs);
    w.key(QStringLiteral("point_repeats")).value(f.pointRepeats);
    w.key(QStringLiteral("unkeyed_pairs")).value(f.unkeyedPairs);
    w.key(QStringLiteral("prior_sem_pct")).value(PublishedSemPct);
    w.key(QStringLiteral("prior_degrees_of_freedom")).value(PriorDegreesOfFreedom);
    w.key(QStringLiteral("floor_sem_pct")).value(FloorSemPct);
    w.key(QStringLiteral("source_text")).value(f.sourceText());
    w.key(QStringLiteral("within_session"));
    writeSet(w, f.within);
    w.key(QStringLiteral("between_visits"));
    writeSet(w, f.between);
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    return 0;
}

} // namespace lumo
