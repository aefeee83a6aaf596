// Reading grades: what keeping and grading the samples costs.
//   - the measuring run in virtual time at a full-speed device's rate (a reply
//     every 1 ms frame, so every point has the readings a real one has), per
//     point, beside the bare exchanges of the same count; grading alone per
//     point and its share of the run;
//   - the database's growth per stored measurement with its quality and
//     conditions, beside the bare ZUDATA row.
// Prints "FIGURE <name> <value> <unit>" lines; exits 1 when a target is missed
// (grading under 1 % of the run's time per point, at most 2 KB per measurement).
//   bench_quality [--measurements N]

#include "instrument/simfixture.h"
#include "measurement/measuringrun.h"
#include "measurement/qualitycodec.h"
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "shell/sharedstate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace lumo;
using namespace lumo::test;

namespace {

void figure(const char* name, double value, const char* unit)
{
    std::printf("FIGURE %s %.4f %s\n", name, value, unit);
}

HandScript hands()
{
    HandScript h(24);
    for (int p = 0; p < 24; ++p) {
        h[p].value = 30 + p;
        h[p].noisePct = 0.5 + p % 6;           // from steady to noisy
        h[p].driftPctPerS = (p % 5 - 2) * 3.0; // up to 6 %/s either way
    }
    return h;
}

struct Runs
{
    double runMsPerPoint = 0, bareMsPerPoint = 0, gradeUsPerPoint = 0;
    EnergySet energy;
};

Runs measureRun(SharedState& state)
{
    Runs r;
    SimStack sim;
    sim.sim.setReplyDelayMs(1); // a full-speed HID device answers in the next 1 ms frame
    state.instrument = &sim.instrument;
    MeasuringView view;
    MeasuringRun run(state, sim.instrument, view);
    sim.sim.probe().startScripted(sim.clock.nowMs(), hands());
    const int before = int(sim.sim.log().size());
    QElapsedTimer t;
    t.start();
    run.start();
    r.runMsPerPoint = double(t.nsecsElapsed()) / 1e6 / 24;
    const int exchanges = int(sim.sim.log().size()) - before;

    // The bare work: the same number of exchanges, nothing kept, nothing graded.
    sim.sim.probe().touch(45, sim.clock.nowMs());
    t.restart();
    for (int i = 0; i < exchanges; ++i)
        sim.instrument.ReadProbe();
    r.bareMsPerPoint = double(t.nsecsElapsed()) / 1e6 / 24;
    sim.instrument.release();

    // Grading alone, on the samples each point kept.
    const int repeats = 200;
    t.restart();
    double sink = 0;
    for (int k = 0; k < repeats; ++k)
        for (size_t p = 0; p < 24; ++p)
            sink += gradePoint(state.energy.Quality.samples[p], 1, state.qualityThresholds).figures.mean;
    r.gradeUsPerPoint = double(t.nsecsElapsed()) / 1e3 / (24.0 * repeats) + sink * 0;
    r.energy = state.energy;
    return r;
}

qint64 fileBytes(Database& db)
{
    QSqlQuery q(db.sql());
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return QFileInfo(db.path()).size();
}

// Bytes per measurement: N rows appended, with and without their extras.
std::pair<double, double> storedBytes(SharedState& state, const EnergySet& e, int n)
{
    Database& db = *state.MainDatabase;
    MeasurementRow row;
    row.CUSTNO = QStringLiteral("B1");
    row.ZU = e.Readings;
    const qint64 start = fileBytes(db);
    {
        Transaction t(db);
        for (int i = 0; i < n; ++i)
            MeasurementStore(db).append(row);
        t.commit();
    }
    const qint64 bare = fileBytes(db);
    {
        Transaction t(db);
        for (int i = 0; i < n; ++i) {
            MeasurementStore(db).append(row);
            writeMeasurementExtras(db, row.MKEY, e.Quality, e.Conditions);
        }
        t.commit();
    }
    const qint64 with = fileBytes(db);
    return {double(bare - start) / n, double(with - bare) / n};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int n = 500;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i)
        if (a[i] == QLatin1String("--measurements")) n = a[++i].toInt();
    QTemporaryDir dir;
    SharedState state;
    ScriptedMessages messages;
    messages.setDefaultAnswer(true);
    state.DataDirectory = dir.path() + QLatin1Char('/');
    state.messages = &messages;
    runStartupFileSteps(state, QStringLiteral(LUMO_SHARE_DIR));
    if (!state.MainDatabase) {
        std::fprintf(stderr, "no database\n");
        return 2;
    }

    const Runs r = measureRun(state);
    if (!r.energy.allMeasured()) {
        std::fprintf(stderr, "the run did not measure every point\n");
        return 2;
    }
    const double share = r.gradeUsPerPoint / (r.runMsPerPoint * 1000) * 100;
    figure("run_ms_per_point", r.runMsPerPoint, "ms");
    figure("bare_exchanges_ms_per_point", r.bareMsPerPoint, "ms");
    figure("grading_us_per_point", r.gradeUsPerPoint, "us");
    figure("grading_share_of_run_pct", share, "%");
    figure("grading_share_of_instrument_time_pct", r.gradeUsPerPoint / (2400 * 1000.0) * 100, "%");

    MeasurementConditions c;
    c.restMinutes = 10;
    c.exercise = 1;
    c.roomTemperature = 24;
    EnergySet e = r.energy;
    e.Conditions = c;
    const auto [bare, extra] = storedBytes(state, e, n);
    figure("bare_zudata_bytes_per_measurement", bare, "B");
    figure("quality_and_conditions_bytes_per_measurement", extra, "B");
    figure("quality_blob_bytes", double(encodeQuality(e.Quality).size()), "B");
    const bool ok = share < 1 && extra <= 2048;
    if (!ok) std::printf("TARGET MISSED (grading under 1 %% of a point, at most 2048 B per measurement)\n");
    return ok ? 0 : 1;
}
