// lumo-cli report and demo.
#include "app/cli.h"

#include "analysis/charts.h"
#include "analysis/imagefile.h"
#include "analysis/reportinput.h"
#include "base/formats.h"
#include "instrument/hiddevice.h"
#include "instrument/simulator.h"
#include "instrument/stack.h"
#include "measurement/measuringrun.h"
#include "practice/audit.h"
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace lumo {
namespace {

QString option(const QStringList& args, const QString& name)
{
    const int i = int(args.indexOf(name));
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

// Loads a stored measurement with its subject into the shared state, as the browser does.
void loadMeasurement(SharedState& state, const MeasurementRow& m)
{
    if (auto s = SubjectStore(*state.MainDatabase).findByCustNo(m.CUSTNO))
        state.CurrentSubject = *s;
    else
        state.CurrentSubject.CUSTNO = m.CUSTNO;
    state.energy.Readings = m.ZU;
    state.energy.recompensate(state.compensation);
    state.energy.TakenAt = m.ZUDATE;
    state.energy.VoltageMode = m.ZUVOTA;
    state.energy.Memo = m.MEMO1.isEmpty() ? QStringList() : m.MEMO1.split(QStringLiteral("\r\n"));
    loadMeasurementExtras(*state.MainDatabase, m.MKEY, state.energy);
    state.CurrentMeasurementKey = m.MKEY;
    state.CurrentMeasurementVersion = m.ROWVER;
}

int writeReport(CliContext& c, SharedState& state, const QString& options, const QString& out)
{
    QString error;
    auto ctx = reportContext(state, options, state.energy.Memo.join(QStringLiteral("\r\n")), &error);
    if (!ctx) {
        *c.err << error << Qt::endl;
        return 2;
    }
    // A measurement the analysis refuses is printed as such; the reason goes to stderr as a note.
    if (!ctx->input.refusal.isEmpty()) *c.err << ctx->input.refusal << Qt::endl;
    if (!printReportToPdf(ctx->input, out, &error)) {
        *c.err << error << Qt::endl;
        return 2;
    }
    return 0;
}

// The subject number: "D" and the time to the second, with a two-digit
// suffix when a number of that second is taken; at most 15 characters, as the
// subject editor allows. The test and the append are one transaction, so two
// demonstrations in one data directory cannot take the same number.
Status appendDemoSubject(Database& db, SubjectRow& subject)
{
    Transaction t(db);
    if (!t.active()) return t.begun();
    SubjectStore store(db);
    const QString base =
        QStringLiteral("D") + QDateTime::currentDateTime().toString(QStringLiteral("yyMMddHHmmss"));
    subject.CUSTNO = base;
    for (int n = 1; store.findByCustNo(subject.CUSTNO); ++n) {
        if (n > 99)
            return Status::failure(QStringLiteral("no free demonstration subject number for %1").arg(base));
        subject.CUSTNO = base + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    }
    if (Status s = store.append(subject); !s) return s;
    return t.commit();
}

} // namespace

int cmdReport(CliContext& c)
{
    bool ok = false;
    const qint64 mkey = option(c.args, QStringLiteral("--mkey")).toLongLong(&ok);
    const QString out = option(c.args, QStringLiteral("--out"));
    if (!ok || out.isEmpty()) {
        *c.err << "usage: lumo-cli report --mkey N --out FILE.pdf [--options FLAGS]" << Qt::endl;
        return 2;
    }
    SharedState state;
    ScriptedMessages messages;
    if (!prepareState(c, state, messages)) return 2;
    auto row = MeasurementStore(*state.MainDatabase).get(mkey);
    if (!row) {
        *c.err << "no measurement has the key " << mkey << Qt::endl;
        return 2;
    }
    loadMeasurement(state, *row);
    const QString options = c.args.contains(QStringLiteral("--options"))
                                ? option(c.args, QStringLiteral("--options"))
                                : state.config.PrintOptions;
    for (QChar ch : options)
        if (ch != QLatin1Char('0') && ch != QLatin1Char('1')) {
            *c.err << "--options is a string of 0 and 1" << Qt::endl;
            return 2;
        }
    const int rc = writeReport(c, state, options, out);
    if (rc == 0) *c.out << QFileInfo(out).absoluteFilePath() << Qt::endl;
    return logOutcome(c, state, rc,
                      {QStringLiteral("pdf"), row->CUSTNO, mkey, QFileInfo(out).absoluteFilePath()});
}

// The eight analysis charts of the demonstration's measurement, one picture each.
int writeDemoCharts(CliContext& c, const SharedState& state, const SubjectRow& subject, const QString& outDir)
{
    QString error;
    auto analysis = ComputeEnergyAnalysis(state.energy, state.compensation, subject.SEX, &error);
    if (!analysis) {
        *c.err << error << Qt::endl;
        return 2;
    }
    for (int chart : {1, 2, 3, 4, 5, 6, 8, 9}) {
        const QString path = QDir(outDir).filePath(QStringLiteral("chart%1.png").arg(chart));
        if (const Status saved = saveImageAtomically(renderChart(chart, *analysis), path); !saved) {
            *c.err << saved.error << Qt::endl;
            return 2;
        }
        *c.out << QFileInfo(path).absoluteFilePath() << Qt::endl;
    }
    return 0;
}

int cmdDemo(CliContext& c)
{
    const QString outDir = option(c.args, QStringLiteral("--out"));
    if (outDir.isEmpty()) {
        *c.err << "usage: lumo-cli [--data-dir DIR] demo --out DIR" << Qt::endl;
        return 2;
    }
    // A data directory of its own only when none was named: a run killed
    // leaves an empty folder behind otherwise.
    std::unique_ptr<QTemporaryDir> fresh;
    if (!c.dataDirectorySet) {
        fresh = std::make_unique<QTemporaryDir>();
        c.dataDirectory = fresh->path() + QLatin1Char('/');
    }
    if (!QDir().mkpath(outDir)) {
        *c.err << outDir << ": cannot be created" << Qt::endl;
        return 2;
    }
    SharedState state;
    ScriptedMessages messages;
    messages.setDefaultAnswer(true);
    if (!prepareState(c, state, messages)) return 2;

    // The simulated instrument in virtual time: a whole run takes a few seconds.
    VirtualClock clock;
    SimulatedInstrument sim(clock);
    THidDeviceController controller(sim);
    Instrument instrument(controller, clock);
    followVirtualTime(clock, sim, controller);
    sim.setReplyDelayMs(4); // a 4 ms polling frame keeps the virtual run short in real time
    controller.enumerate(true);
    state.instrument = &instrument;

    SubjectRow subject;
    subject.NAME = QString::fromUtf8("示範受測者");
    subject.SEX = true;
    subject.DBIRTH = dayNumber(QDate(1975, 6, 15));
    subject.TEL = QStringLiteral("02-2345-6789");
    subject.ADDR = QString::fromUtf8("台北市中山路100號");
    Status st = appendDemoSubject(*state.MainDatabase, subject);
    if (!st) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    state.CurrentSubject = subject;
    *c.out << "measuring 24 points with the simulated probe (virtual time)..." << Qt::endl;
    MeasuringView view;
    MeasuringRun run(state, instrument, view);
    sim.probe().startAutomatic(clock.nowMs(), 2026);
    run.start();
    instrument.release();
    if (!state.energy.allMeasured()) {
        *c.err << "the demonstration run did not measure every point" << Qt::endl;
        return 2;
    }
    state.energy.Memo = {QString::fromUtf8("示範量測：自動探測棒，24 個測定點。")};
    MeasurementRow row;
    row.CUSTNO = subject.CUSTNO;
    row.ZUDATE = state.energy.TakenAt;
    row.ZUVOTA = state.energy.VoltageMode;
    row.MEMO1 = state.energy.Memo.join(QStringLiteral("\r\n"));
    row.ZU = state.energy.Readings;
    st = appendMeasurementWithExtras(*state.MainDatabase, row, state.energy);
    if (!st) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    state.CurrentMeasurementKey = row.MKEY;
    state.CurrentMeasurementVersion = row.ROWVER;

    const QString report = QDir(outDir).filePath(QStringLiteral("report.pdf"));
    if (int rc = writeReport(c, state, QStringLiteral("11111111111111111111"), report)) return rc;
    *c.out << QFileInfo(report).absoluteFilePath() << Qt::endl;
    // In a practice's data directory the demonstration's records are records
    // like any other: who made them, and the report written of them, are logged.
    for (const AuditEntry& e : {AuditEntry{QStringLiteral("subject.add"), subject.CUSTNO, 0, subject.NAME},
                                AuditEntry{QStringLiteral("measurement.add"), subject.CUSTNO, row.MKEY, {}}})
        if (const int rc = logOutcome(c, state, 0, e)) return rc;
    const int rc = logOutcome(
        c, state, 0, {QStringLiteral("pdf"), subject.CUSTNO, row.MKEY, QFileInfo(report).absoluteFilePath()});
    return rc != 0 ? rc : writeDemoCharts(c, state, subject, outDir);
}

} // namespace lumo
