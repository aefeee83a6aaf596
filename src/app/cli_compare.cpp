// lumo-cli compare and trend: the comparison charts, pages and the trend of a
// subject, written to a file whose ending says what it holds.
#include "app/cli.h"

#include "base/atomicfile.h"
#include "base/json.h"
#include "comparison/changejudgement.h"
#include "comparison/multirecord.h"
#include "comparison/trendchart.h"
#include "comparison/trendprint.h"
#include "comparison/tworecord.h"
#include "practice/audit.h"
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"

#include <QBuffer>
#include <QFileInfo>

namespace lumo {
namespace {

const char* kCompareUsage = "usage: lumo-cli [--data-dir DIR] compare --mkey K1 [--mkey K2] [--band "
                            "base|comparison|hidden] --out FILE\n"
                            "       lumo-cli [--data-dir DIR] compare --mkey K1 --mkey K2 --json\n"
                            "       lumo-cli [--data-dir DIR] compare --multi --mkey K1 [--mkey K2 ... up to "
                            "six] [--select N] --out FILE\n"
                            "       FILE ends in .png or .pdf\n";
const char* kTrendUsage =
    "usage: lumo-cli [--data-dir DIR] trend --custno NUMBER --out FILE (.csv, .png or .pdf)\n";

enum class Output
{
    None,
    Png,
    Pdf,
    Csv
};

Output outputOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) return Output::Png;
    if (suffix == QLatin1String("pdf")) return Output::Pdf;
    if (suffix == QLatin1String("csv")) return Output::Csv;
    return Output::None;
}

// The arguments after the command: options with one value each, --multi alone.
struct Arguments
{
    QStringList mkeys;
    QString band, select, custno, out;
    bool multi = false;
    bool json = false; // the answer of the two-record comparison as JSON
    QString error;
};

Arguments parse(const QStringList& args)
{
    Arguments a;
    for (int i = 1; i < args.size(); ++i) {
        const QString& name = args.at(i);
        if (name == QLatin1String("--multi") || name == QLatin1String("--json")) {
            (name == QLatin1String("--json") ? a.json : a.multi) = true;
            continue;
        }
        QString* target = name == QLatin1String("--band")     ? &a.band
                          : name == QLatin1String("--select") ? &a.select
                          : name == QLatin1String("--custno") ? &a.custno
                          : name == QLatin1String("--out")    ? &a.out
                                                              : nullptr;
        if (target == nullptr && name != QLatin1String("--mkey")) {
            a.error = QStringLiteral("unknown argument %1").arg(name);
            return a;
        }
        if (i + 1 >= args.size()) {
            a.error = QStringLiteral("%1 needs a value").arg(name);
            return a;
        }
        if (target)
            *target = args.at(++i);
        else
            a.mkeys << args.at(++i);
    }
    return a;
}

bool prepared(CliContext& c, SharedState& state, ScriptedMessages& messages)
{
    state.DataDirectory = c.dataDirectory;
    state.messages = &messages;
    const StartupOutcome o = runStartupFileSteps(state, c.deliveredDir);
    if (o.templateMissing) {
        *c.err << templateMissingMessage() << Qt::endl;
        return false;
    }
    if (!o.databases) {
        *c.err << o.databases.error << Qt::endl;
        return false;
    }
    // In practice mode the views and the PDFs are logged under the operator.
    startSession(c, state);
    return true;
}

struct Loaded
{
    SubjectRow subject;
    MeasurementRow row;
};

// A stored measurement with its subject (only the number when the subject row is gone).
std::optional<Loaded> loadMeasurement(SharedState& state, const QString& key, QString* error)
{
    bool ok = false;
    const qint64 mkey = key.toLongLong(&ok);
    std::optional<MeasurementRow> row;
    if (ok) row = MeasurementStore(*state.MainDatabase).get(mkey);
    if (!row) {
        *error = QStringLiteral("no measurement has the key %1").arg(key);
        return std::nullopt;
    }
    Loaded l;
    l.row = *row;
    if (auto s = SubjectStore(*state.MainDatabase).findByCustNo(row->CUSTNO))
        l.subject = *s;
    else
        l.subject.CUSTNO = row->CUSTNO;
    return l;
}

Status writeImage(const QImage& image, const QString& path)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return Status::failure(QStringLiteral("%1: the picture could not be made").arg(path));
    return writeFileAtomically(path, buffer.data());
}

int finish(CliContext& c, const Status& st, const QString& path)
{
    if (!st) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    *c.out << QFileInfo(path).absoluteFilePath() << Qt::endl;
    return 0;
}

int fail(CliContext& c, const QString& message, const char* usage = nullptr)
{
    *c.err << message << Qt::endl;
    if (usage) *c.err << usage;
    return 2;
}

int compareTwo(CliContext& c, SharedState& state, const Arguments& a, Output output)
{
    if (a.mkeys.size() > 2)
        return fail(c, QStringLiteral("the two-record comparison takes at most two measurements"));
    if (!a.select.isEmpty()) return fail(c, QStringLiteral("--select belongs to compare --multi"));
    const QString band = a.band.isEmpty() ? QStringLiteral("hidden") : a.band;
    if (band != QLatin1String("base") && band != QLatin1String("comparison") &&
        band != QLatin1String("hidden"))
        return fail(c, QStringLiteral("--band is base, comparison or hidden"));
    if (band == QLatin1String("comparison") && a.mkeys.size() < 2)
        return fail(c, QStringLiteral("--band comparison needs a second measurement (--mkey K2)"));
    QString error;
    auto base = loadMeasurement(state, a.mkeys[0], &error);
    if (!base) return fail(c, error);
    std::optional<Loaded> second;
    if (a.mkeys.size() == 2) {
        second = loadMeasurement(state, a.mkeys[1], &error);
        if (!second) return fail(c, error);
    }
    EnergySet energy;
    energy.Readings = base->row.ZU;
    energy.recompensate(state.compensation);
    energy.TakenAt = base->row.ZUDATE;
    energy.VoltageMode = base->row.ZUVOTA;
    loadMeasurementExtras(*state.MainDatabase, base->row.MKEY, energy);
    TwoRecordComparison cmp(base->subject, energy);
    cmp.setNoise(practiceNoise(*state.MainDatabase, state.compensation));
    if (second)
        cmp.load(comparisonRecordOf(second->subject, second->row, state.compensation),
                 readMeasurementExtras(*state.MainDatabase, second->row.MKEY));
    cmp.choose(band == QLatin1String("base")         ? BandChoice::Base
               : band == QLatin1String("comparison") ? BandChoice::Comparison
                                                     : BandChoice::Hidden);
    if (output == Output::Png)
        return finish(c, writeImage(renderComparisonChart(cmp.chart(), TwoRecordBox), a.out), a.out);
    const TwoRecordPage page = cmp.page(state.config);
    return finish(c,
                  printToPdfFile(a.out, twoRecordJobTitle(),
                                 [&](ReportPage& p) { return printTwoRecordPage(p, page); }),
                  a.out);
}

int compareMulti(CliContext& c, SharedState& state, const Arguments& a, Output output)
{
    if (!a.band.isEmpty())
        return fail(c, QStringLiteral("--band belongs to the two-record comparison; use --select"));
    QString error;
    for (const QString& key : a.mkeys) {
        auto m = loadMeasurement(state, key, &error);
        if (!m) return fail(c, error);
        const PickOutcome o =
            addPicked(state.PickedRecords, pickedRecordOf(m->subject, m->row, state.compensation));
        if (o == PickOutcome::Full)
            return fail(c, QStringLiteral("at most six measurements can be compared"));
        if (o == PickOutcome::Duplicate)
            return fail(c, QStringLiteral(
                               "measurement %1 is already compared (the same subject number, date and time)")
                               .arg(key));
    }
    MultiRecordComparison cmp(state.PickedRecords);
    if (!a.select.isEmpty()) {
        bool ok = false;
        const int n = a.select.toInt(&ok);
        if (!ok || n < 1 || n > state.PickedRecords.size())
            return fail(c,
                        QStringLiteral("--select is an entry from 1 to %1").arg(state.PickedRecords.size()));
        cmp.selectItem(n - 1);
    }
    if (output == Output::Png)
        return finish(c, writeImage(renderComparisonChart(cmp.chart(), MultiBox), a.out), a.out);
    const MultiRecordPage page = cmp.page(state.config);
    return finish(c,
                  printToPdfFile(a.out, multiRecordJobTitle(),
                                 [&](ReportPage& p) { return printMultiRecordPage(p, page); }),
                  a.out);
}

void writePoints(JsonWriter& w, const char* key, const QVector<int>& points)
{
    w.key(QLatin1String(key)).beginArray();
    for (int p : points)
        w.value(p);
    w.endArray();
}

// The judgement of the second measurement against the first, as JSON.
int compareJson(CliContext& c, SharedState& state, const Arguments& a)
{
    QString error;
    ChangeInput in[2];
    for (int i = 0; i < 2; ++i) {
        const auto m = loadMeasurement(state, a.mkeys[i], &error);
        if (!m) return fail(c, error);
        std::array<double, 24> values{};
        for (int p = 1; p <= 24; ++p)
            values[size_t(p - 1)] = compensate(p, m->row.ZU[size_t(p - 1)], state.compensation);
        in[i] = changeInputOf(values, m->row.ZU,
                              readMeasurementExtras(*state.MainDatabase, m->row.MKEY).quality, m->row.ZUDATE);
    }
    const NoiseFigures noise = practiceNoise(*state.MainDatabase, state.compensation);
    const ChangeJudgement j = judgeChange(in[0], in[1], noise);
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("base")).value(a.mkeys[0].toLongLong());
    w.key(QStringLiteral("comparison")).value(a.mkeys[1].toLongLong());
    w.key(QStringLiteral("figure")).value(noiseKindKey(j.kind));
    w.key(QStringLiteral("judged")).value(j.judged);
    w.key(QStringLiteral("shift_pct")).value(j.shiftPct);
    w.key(QStringLiteral("shift_mdc_pct")).value(j.shiftMdcPct);
    w.key(QStringLiteral("shift_changed")).value(j.shiftChanged);
    writePoints(w, "changed_points", j.changedPoints);
    writePoints(w, "outside_band", j.outsideBand);
    writePoints(w, "not_judged", j.notJudged);
    w.key(QStringLiteral("expected_by_chance")).value(j.expectedByChance);
    w.key(QStringLiteral("text")).beginArray();
    for (const QString& line : judgementText(j, noise))
        w.value(line);
    w.endArray();
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    return 0;
}

} // namespace

int cmdCompare(CliContext& c)
{
    const Arguments a = parse(c.args);
    if (!a.error.isEmpty()) return fail(c, a.error, kCompareUsage);
    if (a.json) {
        if (a.mkeys.size() != 2 || a.multi || !a.out.isEmpty() || !a.band.isEmpty() || !a.select.isEmpty() ||
            !a.custno.isEmpty())
            return fail(c,
                        QStringLiteral("compare --json takes two measurements (--mkey K1 --mkey K2) alone"),
                        kCompareUsage);
        SharedState state;
        ScriptedMessages messages;
        if (!prepared(c, state, messages)) return 2;
        const int rc = compareJson(c, state, a);
        for (const QString& key : a.mkeys) {
            const auto row = MeasurementStore(*state.MainDatabase).get(key.toLongLong());
            if (const int logged =
                    logOutcome(c, state, rc,
                               {QStringLiteral("comparison.view"), row ? row->CUSTNO : QString(),
                                key.toLongLong(), a.mkeys.join(QLatin1Char(','))});
                logged != 0)
                return logged;
        }
        return rc;
    }
    if (a.mkeys.isEmpty() || a.out.isEmpty() || !a.custno.isEmpty())
        return fail(c, QStringLiteral("compare needs --mkey and --out"), kCompareUsage);
    const Output output = outputOf(a.out);
    if (output != Output::Png && output != Output::Pdf)
        return fail(c, QStringLiteral("%1: unknown file ending (use .png or .pdf)").arg(a.out));
    SharedState state;
    ScriptedMessages messages;
    if (!prepared(c, state, messages)) return 2;
    const int rc = a.multi ? compareMulti(c, state, a, output) : compareTwo(c, state, a, output);
    // One row per compared measurement, under its own subject: a subject's
    // history (audit --custno) shows every comparison it was part of.
    const QString detail = a.mkeys.join(QLatin1Char(',')) + QStringLiteral(" → ") + a.out;
    for (const QString& key : a.mkeys) {
        const qint64 mkey = key.toLongLong();
        const auto row = MeasurementStore(*state.MainDatabase).get(mkey);
        const int logged =
            logOutcome(c, state, rc,
                       {output == Output::Pdf ? QStringLiteral("pdf") : QStringLiteral("comparison.view"),
                        row ? row->CUSTNO : QString(), mkey, detail});
        if (logged != 0) return logged;
    }
    return rc;
}

int cmdTrend(CliContext& c)
{
    const Arguments a = parse(c.args);
    if (!a.error.isEmpty()) return fail(c, a.error, kTrendUsage);
    if (a.custno.isEmpty() || a.out.isEmpty() || a.multi || a.json || !a.mkeys.isEmpty() ||
        !a.band.isEmpty() || !a.select.isEmpty())
        return fail(c, QStringLiteral("trend takes --custno and --out"), kTrendUsage);
    const Output output = outputOf(a.out);
    if (output == Output::None)
        return fail(c, QStringLiteral("%1: unknown file ending (use .csv, .png or .pdf)").arg(a.out));
    SharedState state;
    ScriptedMessages messages;
    if (!prepared(c, state, messages)) return 2;
    const auto subject = SubjectStore(*state.MainDatabase).findByCustNo(a.custno);
    if (!subject) return fail(c, QStringLiteral("no subject has the number %1").arg(a.custno));
    // Logged before the file is written: the subject's records were read either way.
    if (const Status logged =
            audit(state, {output == Output::Pdf ? QStringLiteral("pdf") : QStringLiteral("trend.view"),
                          subject->CUSTNO, 0, a.out});
        !logged)
        return fail(c, logged.error);
    const QVector<MeasurementRow> measured =
        MeasurementStore(*state.MainDatabase).listForSubject(subject->CUSTNO);
    const QVector<TrendRow> rows = buildTrend(measured, state.compensation, subject->SEX);
    if (output == Output::Csv) return finish(c, writeFileAtomically(a.out, trendCsv(rows)), a.out);
    const NoiseFigures noise = practiceNoise(*state.MainDatabase, state.compensation);
    if (output == Output::Png)
        return finish(
            c, writeImage(renderTrendChart(rows, subject->SEX, QSize(1000, 600), -1, &noise), a.out), a.out);
    TrendPage page{&state.config, *subject, rows};
    page.noise = &noise;
    QVector<qint64> keys;
    for (const MeasurementRow& m : measured)
        keys << m.MKEY;
    page.notes = trendNotes(rows, measured, readMeasurementExtras(*state.MainDatabase, keys));
    page.notes << noise.sourceTextOver(rows);
    return finish(c,
                  printToPdfFile(
                      a.out, trendJobTitle(), [&](ReportPage& p) { return printTrendPage(p, page); }, nullptr,
                      TrendReportSize),
                  a.out);
}

} // namespace lumo
