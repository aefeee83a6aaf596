// Transfer benchmark over a practice of 10,000 subjects with 100,000
// measurements (and 50 programs with pictures): the export of both groups,
// their import into another installation, and the research files; for the
// two transfers the longest time the progress bar stood still.
//   bench_transfer [--subjects N] [--each M]

#include "practice.h"
#include "records/programs.h"
#include "records/researchcsv.h"
#include "records/transferflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace lumo;

namespace {

struct Installation
{
    QString dir;
    std::unique_ptr<Database> main;
};

bool install(const QString& dir, bool generate, bench::PracticeSize size, Installation* out)
{
    QDir().mkpath(dir);
    Status st;
    Database::create(dir + QStringLiteral("/Zuspa.mdb"), FileKind::Main, &st).reset();
    const QString main = dir + QStringLiteral("/lumo4.mdb");
    st = generate ? bench::generatePractice(main, size) : Status::success();
    if (!generate) Database::create(main, FileKind::Main, &st).reset();
    if (st) out->main = Database::open(main, FileKind::Main, Database::Access::ReadWrite, &st);
    if (!st) std::fprintf(stderr, "%s\n", qPrintable(st.error));
    out->dir = dir + QLatin1Char('/');
    return st.ok;
}

bool addPrograms(Database& db)
{
    QByteArray picture(60000, '\0');
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char(i * 7);
    Transaction t(db);
    for (int i = 0; i < 50; ++i) {
        ProgramRow p;
        p.ProNo = QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0'));
        p.ProName = QString::fromUtf8("療程 %1").arg(i);
        p.ProPict = picture;
        if (!ProgramStore(db).append(p)) return false;
        for (int c = 0; c < 4; ++c) {
            ConditionRow r;
            r.ProNo = p.ProNo;
            r.ProCond = QStringLiteral("120000000000000000000000");
            if (!ProgramStore(db).appendCondition(r)) return false;
        }
    }
    return t.commit().ok;
}

struct Run
{
    double seconds = 0;
    double longestStillMs = 0;
    int moves = 0;
    bool done = false;
};

// Runs one operation, timing it and the gaps between the bar's moves
// (from the start to the first move and from the last to the end included).
template <typename Operation> Run timed(Operation&& operation, TransferHooks& hooks)
{
    Run run;
    QElapsedTimer clock;
    qint64 last = 0;
    hooks.progress = [&](int) {
        QCoreApplication::processEvents();
        const qint64 now = clock.nsecsElapsed();
        run.longestStillMs = std::max(run.longestStillMs, double(now - last) / 1e6);
        last = now;
        ++run.moves;
    };
    clock.start();
    run.done = operation();
    const qint64 end = clock.nsecsElapsed();
    run.longestStillMs = std::max(run.longestStillMs, double(end - last) / 1e6);
    run.seconds = double(end) / 1e9;
    return run;
}

void report(const char* what, const Run& r, double targetSeconds)
{
    std::printf("%-34s %8.2f s   (target %4.1f s)%s\n", what, r.seconds, targetSeconds,
                r.done ? (r.seconds <= targetSeconds ? "" : "  OVER") : "  FAILED");
    if (r.moves > 0)
        std::printf("%-34s %8.1f ms  (target  500 ms)%s   %d moves\n", "  longest the bar stood still",
                    r.longestStillMs, r.longestStillMs <= 500 ? "" : "  OVER", r.moves);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bench::PracticeSize size{10000, 10};
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == QLatin1String("--subjects"))
            size.subjects = a[++i].toInt();
        else if (a[i] == QLatin1String("--each"))
            size.measurementsEach = a[++i].toInt();
    }
    QTemporaryDir tmp;
    Installation from, to;
    if (!install(tmp.filePath(QStringLiteral("from")), true, size, &from) || !addPrograms(*from.main) ||
        !install(tmp.filePath(QStringLiteral("to")), false, size, &to))
        return 2;
    const QString stick = tmp.filePath(QStringLiteral("stick"));
    QDir().mkpath(stick);
    std::printf("practice: %d subjects, %d measurements, 50 programs with 200 conditions\n", size.subjects,
                size.subjects * size.measurementsEach);

    ScriptedMessages answers; // every question answered 是, the commands kept
    TransferHooks hooks{&answers, {}, {}, {}, {}};
    const Run exported = timed(
        [&] {
            return TransferFlow(*from.main, from.dir, hooks)
                       .runExport(ExportRequest{stick, {true, true}, false, false}) == TransferOutcome::Done;
        },
        hooks);
    report("export of both groups", exported, 10);
    std::printf("%-34s %8.1f MB\n", "  transfer file",
                double(QFileInfo(stick + QStringLiteral("/ZuTran.mdb")).size()) / 1048576.0);

    const Run imported = timed(
        [&] {
            return TransferFlow(*to.main, to.dir, hooks)
                       .runImport(ImportRequest{stick, {true, true}, false}) == TransferOutcome::Done;
        },
        hooks);
    report("import of both groups (append)", imported, 10);

    const Run csv = timed(
        [&] {
            ResearchCsv files;
            return buildResearchCsv(*from.main, {}, &files).ok && writeResearchCsv(stick, files).ok;
        },
        hooks);
    report("research CSV files", csv, 5);
    std::printf("%-34s %8.1f MB\n", "  lumo-measurements.csv",
                double(QFileInfo(stick + QStringLiteral("/lumo-measurements.csv")).size()) / 1048576.0);
    std::printf("%-34s %8.1f MB\n", "peak memory", bench::peakMemoryMb());
    for (const QString& shown : [&] {
             QStringList t;
             for (const auto& s : answers.shown())
                 t << s.text;
             return t;
         }())
        if (shown.contains(QString::fromUtf8("錯誤"))) std::fprintf(stderr, "%s\n", qPrintable(shown));
    return exported.done && imported.done && csv.done ? 0 : 1;
}
