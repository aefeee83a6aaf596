// The analysis screen opened on a measurement with 10,000 user programs, and the
// detailed report with every section printed to PDF. With `--grab DIR` it also
// saves a picture of each page of the screen there, to look at.

#include "analysis/reportinput.h"
#include "analysis/ui/tzuany.h"
#include "shell/datadir.h"
#include "records/programs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

using namespace lumo;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SharedState state;
    ScriptedMessages messages;
    state.messages = &messages;
    state.DataDirectory = dir.path() + QLatin1Char('/');
    runStartupFileSteps(state, deliveredDirectory());
    {
        Transaction t(*state.MainDatabase);
        if (!t.active()) return 1;
        ProgramStore store(*state.MainDatabase);
        std::mt19937 rng(9);
        for (int p = 0; p < 10000; ++p) {
            ProgramRow row;
            row.ProNo = QStringLiteral("U%1").arg(p, 5, 10, QLatin1Char('0'));
            row.ProName = QStringLiteral("User program %1").arg(p);
            row.ProData = QString::fromUtf8("療程說明 %1").arg(p);
            store.append(row);
            for (int c = 0; c < 5; ++c) {
                ConditionRow cond;
                cond.ProNo = row.ProNo;
                QString s(24, QLatin1Char('0'));
                s[int(rng() % 22)] = QLatin1Char(char('1' + rng() % 3));
                cond.ProCond = s;
                store.appendCondition(cond);
            }
        }
        t.commit();
    }
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> v(20, 80);
    for (int p = 1; p <= 24; ++p) state.energy.setReading(p, v(rng));

    QElapsedTimer t;
    t.start();
    {
        TZuany screen(state);
        screen.show();
        screen.repaint();
        QApplication::processEvents();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        std::printf("open the analysis screen, painted (10,000 user programs) %8.1f ms   (target 150 ms)%s\n", ms,
                    ms <= 150 ? "" : "  OVER");
        const int grab = QApplication::arguments().indexOf(QStringLiteral("--grab"));
        if (grab > 0 && grab + 1 < QApplication::arguments().size()) {
            const QDir out(QApplication::arguments().at(grab + 1));
            screen.analysisClicked(0);
            for (int page = 0; page < screen.pages()->count(); ++page) {
                screen.pages()->setCurrentIndex(page);
                QApplication::processEvents();
                screen.grab().save(out.filePath(QStringLiteral("analysis-page%1.png").arg(page)));
            }
        }
        screen.hide();
    }
    QString error;
    auto ctx = reportContext(state, QStringLiteral("11111111111111111111"), QStringLiteral("record"), &error);
    t.restart();
    const bool ok = printReportToPdf(ctx->input, dir.filePath(QStringLiteral("r.pdf")), &error);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("detailed report, every section, to PDF                   %8.1f ms   (target 2000 ms)%s\n", ms,
                ms <= 2000 ? "" : "  OVER");
    return ok ? 0 : 1;
}
