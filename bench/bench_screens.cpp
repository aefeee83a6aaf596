// The save screen and the record browser on a busy practice, driven offscreen
// through their own models and actions.
//   bench_screens [--db FILE]

#include "shell/sharedstate.h"
#include "practice.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuread.h"
#include "records/ui/tzusave.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

using namespace lumo;

namespace {
template <typename F>
double timeMs(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}
void line(const char* what, double ms, double target)
{
    std::printf("%-48s %9.2f ms   (target %5.0f ms)%s\n", what, ms, target, ms <= target ? "" : "  OVER");
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dbPath;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i)
        if (a[i] == QLatin1String("--db")) dbPath = a[++i];
    QTemporaryDir dir;
    if (dbPath.isEmpty()) dbPath = dir.filePath(QStringLiteral("lumo4.mdb"));
    if (!QFileInfo::exists(dbPath) && !bench::generatePractice(dbPath, {}).ok) return 2;

    SharedState state;
    ScriptedMessages messages;
    state.messages = &messages;
    Status st;
    state.MainDatabase = Database::open(dbPath, FileKind::Main, Database::Access::ReadWrite, &st);
    if (!state.MainDatabase) return 2;
    state.SubjectSortField = 2;

    std::unique_ptr<TZusave> save;
    line("open the save screen (sorted by name)", timeMs([&] {
             save = std::make_unique<TZusave>(state);
             save->show();
             QApplication::processEvents();
         }), 300);
    line("search keystroke moves the selection", timeMs([&] {
             save->picker()->searchBox()->setText(QString::fromUtf8("陳志"));
             QApplication::processEvents();
         }), 20);
    line("sort change (telephone, descending)", timeMs([&] {
             save->picker()->chooseSort(5, true);
             QApplication::processEvents();
         }), 300);
    QTableView* view = save->picker()->view();
    const int rows = save->picker()->list().size();
    double worst = 0;
    const double scroll = timeMs([&] {
        for (int r = 0; r < rows; r += rows / 200) {
            const double one = timeMs([&] {
                view->scrollTo(save->picker()->model().index(r, 1));
                view->viewport()->repaint();
            });
            worst = std::max(worst, one);
        }
    });
    std::printf("%-48s %9.2f ms   (200 screens, slowest %.2f ms)\n", "scroll the subject grid top to bottom", scroll, worst);
    save.reset();

    std::unique_ptr<TZuread> browser;
    line("open the record browser", timeMs([&] {
             browser = std::make_unique<TZuread>(state, TZuread::LoadMode::MeasurementScreen);
             browser->show();
             QApplication::processEvents();
         }), 300);
    line("search keystroke in the browser", timeMs([&] {
             browser->picker()->searchBox()->setText(QString::fromUtf8("林"));
             QApplication::processEvents();
         }), 20);
    messages.setDefaultAnswer(true);
    browser->picker()->selectPosition(rows / 2);
    browser->enterSubjectList();
    line("delete a subject with its measurements", timeMs([&] { browser->deleteSubject(); }), 50);
    std::printf("%-48s %9.1f MB\n", "peak memory", bench::peakMemoryMb());
    return 0;
}
