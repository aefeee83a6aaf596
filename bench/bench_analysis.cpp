// Analysis engine benchmark: the energy analysis per call, matching 10,000
// programs of 5 conditions each from one SQLite file, and each chart painted
// into a 757 x 393 image.

#include "analysis/charts.h"
#include "records/programs.h"
#include "treatment/matching.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

using namespace lumo;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> value(15, 90);
    std::array<double, 24> v{};
    for (double& x : v) x = value(rng);

    const int calls = 200000;
    QElapsedTimer t;
    t.start();
    double sink = 0;
    for (int i = 0; i < calls; ++i) {
        v[size_t(i % 24)] += 1e-9;
        sink += analyseCompensated(v, i % 2 == 0)->BodyEnergy;
    }
    const double perCall = double(t.nsecsElapsed()) / 1000.0 / calls;
    std::printf("ComputeEnergyAnalysis per call      %8.3f us   (target 2 us)%s\n", perCall, perCall <= 2 ? "" : "  OVER");

    QTemporaryDir dir;
    Status st;
    {
        auto db = Database::create(dir.filePath(QStringLiteral("programs.mdb")), FileKind::Master, &st);
        Transaction tr(*db);
        if (!tr.active()) return 1;
        ProgramStore store(*db);
        std::uniform_int_distribution<int> pos(1, 22), code(1, 3);
        for (int p = 0; p < 10000; ++p) {
            ProgramRow row;
            row.ProNo = QStringLiteral("P%1").arg(p, 5, 10, QLatin1Char('0'));
            row.ProName = QStringLiteral("Program %1").arg(p);
            row.ProData = QStringLiteral("description of program %1").arg(p);
            store.append(row);
            for (int c = 0; c < 5; ++c) {
                ConditionRow cond;
                cond.ProNo = row.ProNo;
                QString s(24, QLatin1Char('0'));
                s[pos(rng) - 1] = QLatin1Char(char('0' + code(rng)));
                cond.ProCond = s;
                cond.ProFlg = c == 0 && p % 3 == 0;
                store.appendCondition(cond);
            }
        }
        tr.commit();
    }
    auto db = Database::open(dir.filePath(QStringLiteral("programs.mdb")), FileKind::Master, Database::Access::ReadOnly, &st);
    const auto a = *analyseCompensated(v, true);
    t.restart();
    const int runs = 5;
    int matched = 0;
    for (int i = 0; i < runs; ++i) matched = int(MatchPrograms(*db, a, 45, true).size());
    const double matchMs = double(t.nsecsElapsed()) / 1e6 / runs;
    std::printf("MatchPrograms, 10,000 x 5 conditions %8.2f ms   (target 50 ms, %d matched)%s\n", matchMs, matched,
                matchMs <= 50 ? "" : "  OVER");

    for (int chart : {1, 2, 3, 4, 5, 6, 8, 9}) {
        renderChart(chart, a); // fonts warmed
        t.restart();
        const int n = 50;
        for (int i = 0; i < n; ++i) renderChart(chart, a);
        const double ms = double(t.nsecsElapsed()) / 1e6 / n;
        std::printf("chart %d painted at 757 x 393         %8.2f ms   (target 5 ms)%s\n", chart, ms, ms <= 5 ? "" : "  OVER");
    }
    return sink > 0 ? 0 : 1;
}
