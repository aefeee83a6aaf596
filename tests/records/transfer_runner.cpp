// Helper for the tests of two operations at once: one import or export of the
// screen's steps that stops at a step until it is told to go on.
//   transfer_runner DATADIR import|export FOLDER STEP
// At STEP ("copied in", "built") it prints the step, then waits for a line on
// stdin. Exit 0 when the operation succeeded, 2 otherwise (its messages on stderr).
#include "records/transferflow.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

using namespace lumo;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 5) return 1;
    const QString dataDir = QDir(a[1]).absolutePath() + QLatin1Char('/');
    Status st;
    auto main = Database::open(dataDir + QStringLiteral("lumo4.mdb"), FileKind::Main,
                               Database::Access::ReadWrite, &st);
    if (!main) {
        std::fprintf(stderr, "%s\n", qPrintable(st.error));
        return 2;
    }
    ScriptedMessages yes;
    yes.setDefaultAnswer(true);
    const QByteArray wanted = a[4].toUtf8();
    TransferHooks hooks{&yes, {}, {}, {}, [&wanted](const char* step) {
                            if (wanted != step) return;
                            std::printf("%s\n", step);
                            std::fflush(stdout);
                            char line[16];
                            if (!std::fgets(line, sizeof line, stdin)) std::exit(3);
                        }};
    TransferFlow flow(*main, dataDir, hooks);
    const TransferGroups both{true, true};
    const TransferOutcome outcome = a[2] == QLatin1String("import")
                                        ? flow.runImport(ImportRequest{a[3], both, false})
                                        : flow.runExport(ExportRequest{a[3], both, false, false});
    for (const auto& shown : yes.shown())
        std::fprintf(stderr, "%s\n", qPrintable(shown.text));
    return outcome == TransferOutcome::Done ? 0 : 2;
}
