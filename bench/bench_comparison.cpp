// The comparison screens on stored data: the multi-record comparison with six
// entries opened and drawn, the trend of a subject with 500 measurements
// opened and painted, and the comparison pages written as PDF.
//   bench_comparison [--grab DIR]   also saves pictures of the screens there

#include "base/formats.h"
#include "comparison/changejudgement.h"
#include "comparison/multirecord.h"
#include "comparison/simsubject.h"
#include "comparison/trendprint.h"
#include "comparison/tworecord.h"
#include "comparison/ui/chartbox.h"
#include "comparison/ui/tzumut.h"
#include "comparison/ui/tzutrend.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace lumo;

namespace {

template <typename F> double timeMs(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

// The median of a few runs: the machine is shared, one run can be unlucky.
template <typename F> double medianMs(int runs, F&& f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i)
        t.push_back(timeMs(f));
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void line(const char* what, double ms, double target)
{
    std::printf("%-72s %9.2f ms   (target %5.0f ms)%s\n", what, ms, target, ms <= target ? "" : "  OVER");
}

// A subject with `count` measurements, one every three days, some of them empty.
SubjectRow storeSubject(SharedState& s, int count)
{
    SubjectRow subject;
    subject.CUSTNO = QStringLiteral("T500");
    subject.NAME = QString::fromUtf8("長期受測者");
    SubjectStore(*s.MainDatabase).append(subject);
    Transaction t(*s.MainDatabase);
    MeasurementStore store(*s.MainDatabase);
    std::mt19937 rng(15);
    std::uniform_real_distribution<double> v(15, 90);
    const QDateTime start(QDate(2020, 1, 6), QTime(9, 0));
    for (int i = 0; i < count; ++i) {
        MeasurementRow m;
        m.CUSTNO = subject.CUSTNO;
        m.ZUDATE = dayNumber(start.addDays(3 * i).addSecs(37 * i));
        m.ZUVOTA = i % 3 == 0;
        for (double& x : m.ZU)
            x = i % 50 == 7 ? 0 : v(rng);
        store.append(m);
    }
    t.commit();
    return subject;
}

// The comparison's test of two measurements (the shift, the 24 points and
// Holm's procedure) beside the bare work of 24 log ratios; and how often two
// repeats of an unchanged simulated subject are called changed (not timed).
bool judgementFigures()
{
    std::mt19937 rng(2026);
    NoiseAccumulator acc;
    for (int i = 0; i < 30; ++i) {
        const test::SimulatedSubject s(rng);
        acc.addPair(s.measure(rng), s.measure(rng));
    }
    NoiseFigures noise;
    noise.within = acc.figures();
    const test::SimulatedSubject subject(rng);
    ChangeInput a, b;
    a.values = subject.measure(rng);
    b.values = subject.measure(rng);
    constexpr int Runs = 2000;
    int changed = 0;
    const double ms = timeMs([&] {
                          for (int i = 0; i < Runs; ++i)
                              changed += judgeChange(a, b, noise).anyChange();
                      }) /
                      Runs;
    volatile double sink = 0;
    const double bare = timeMs([&] {
                            for (int i = 0; i < Runs; ++i)
                                for (size_t p = 0; p < 24; ++p)
                                    sink = sink + std::log(b.values[p] / a.values[p]);
                        }) /
                        Runs;
    int alarms = 0;
    for (int i = 0; i < 200; ++i) {
        const test::SimulatedSubject s(rng);
        ChangeInput x, y;
        x.values = s.measure(rng, &x.poor);
        y.values = s.measure(rng, &y.poor);
        alarms += judgeChange(x, y, noise).anyChange();
    }
    std::printf("FIGURE comparison_test_ms %.4f ms (target 5 ms)%s\n", ms, ms <= 5 ? "" : "  OVER");
    std::printf("FIGURE comparison_test_bare_ms %.4f ms\n", bare);
    std::printf("FIGURE comparison_false_alarm_pct %.1f %% of 200 unchanged repeats (target 5 %%)%s\n",
                alarms / 2.0, alarms <= 10 ? "" : "  OVER");
    return ms <= 5 && alarms <= 10 && changed >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString grab;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i)
        if (a[i] == QLatin1String("--grab")) grab = a[++i];
    QTemporaryDir dir;
    SharedState state;
    ScriptedMessages messages;
    state.messages = &messages;
    state.DataDirectory = dir.path() + QLatin1Char('/');
    runStartupFileSteps(state, deliveredDirectory());
    const SubjectRow subject = storeSubject(state, 500);
    const QVector<MeasurementRow> rows = MeasurementStore(*state.MainDatabase).listForSubject(subject.CUSTNO);
    for (int i = 0; i < 6; ++i)
        addPicked(state.PickedRecords, pickedRecordOf(subject, rows[i * 40 + 1], state.compensation));

    auto openMulti = [&](bool save) {
        TZumut screen(state);
        screen.show();
        screen.ListBox1Click(2);
        screen.chartBox()->repaint();
        QApplication::processEvents();
        if (save && !grab.isEmpty()) screen.grab().save(QDir(grab).filePath(QStringLiteral("tzumut.png")));
    };
    // The first window of a process also loads the font files; in the program
    // the main window has done that before any screen opens.
    line("multi-record comparison, first window of the process", timeMs([&] { openMulti(false); }), 1000);
    line("multi-record comparison, six entries: open and draw (median of 5)",
         medianMs(5, [&] { openMulti(false); }), 30);

    auto openTrend = [&](bool save) {
        TZuTrend screen(state, subject);
        screen.show();
        screen.repaint();
        QApplication::processEvents();
        if (save && !grab.isEmpty()) screen.grab().save(QDir(grab).filePath(QStringLiteral("tzutrend.png")));
    };
    const double trend = medianMs(3, [&] { openTrend(false); });
    if (!grab.isEmpty()) {
        openMulti(true);
        openTrend(true);
    }
    line("trend of a subject with 500 measurements: open and paint (median of 3)", trend, 150);

    EnergySet base;
    base.Readings = rows[3].ZU;
    base.recompensate(state.compensation);
    base.TakenAt = rows[3].ZUDATE;
    TwoRecordComparison two(subject, base);
    two.load(comparisonRecordOf(subject, rows[90], state.compensation));
    two.choose(BandChoice::Comparison);
    const TwoRecordPage twoPage = two.page(state.config);
    Status st;
    const double twoPdf = timeMs([&] {
        st = printToPdfFile(dir.filePath(QStringLiteral("two.pdf")), twoRecordJobTitle(),
                            [&](ReportPage& p) { return printTwoRecordPage(p, twoPage); });
    });
    line("two-record comparison page as PDF", twoPdf, 1000);
    MultiRecordComparison cmp(state.PickedRecords);
    cmp.selectItem(1);
    const MultiRecordPage multiPage = cmp.page(state.config);
    const double multiPdf = timeMs([&] {
        st = printToPdfFile(dir.filePath(QStringLiteral("multi.pdf")), multiRecordJobTitle(),
                            [&](ReportPage& p) { return printMultiRecordPage(p, multiPage); });
    });
    line("multi-record comparison page as PDF", multiPdf, 1000);
    const TrendPage trendPage{&state.config, subject, buildTrend(rows, state.compensation, subject.SEX)};
    const double trendPdf = timeMs([&] {
        st = printToPdfFile(
            dir.filePath(QStringLiteral("trend.pdf")), trendJobTitle(),
            [&](ReportPage& p) { return printTrendPage(p, trendPage); }, nullptr, TrendReportSize);
    });
    line("trend pages of 500 measurements as PDF", trendPdf, 2000);
    return st.ok && judgementFigures() ? 0 : 2;
}
