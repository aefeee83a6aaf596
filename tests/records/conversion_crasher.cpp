// Helper for the conversion test: converts the waiting lumo.mdb of a data
// directory and dies (SIGKILL, no clean-up of any kind) right after the
// converted rows are committed, before the old file is renamed.
//   conversion_crasher DATADIR
#include "records/conversion.h"
#include "shell/datadir.h"

#include <QCoreApplication>
#include <csignal>

using namespace lumo;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 2) return 1;
    Status st;
    auto main = Database::open(dataFilePath(a[1], QLatin1String(MainDatabaseFile)), FileKind::Main,
                               Database::Access::ReadWrite, &st);
    if (!main) return 2;
    ConversionHooks hooks;
    hooks.afterCommit = [] { std::raise(SIGKILL); };
    st = convertWaitingDatabase(*main, a[1], nullptr, hooks);
    return st ? 0 : 3; // reached only when the conversion failed before its commit
}
