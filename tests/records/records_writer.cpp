// Helper for the concurrency tests: a second workstation appending measurements.
//   records_writer DBFILE|CONNINFO COUNT TAG [--hold]
// A connection string (it holds "=") names a database on a server.
// With --hold it appends COUNT rows, prints "ready", keeps the database open
// until a line arrives on stdin, then appends COUNT rows more: the second
// batch shows whether a rename meanwhile cut the workstation off its file.
#include "records/measurements.h"

#include <QCoreApplication>
#include <cstdio>

using namespace lumo;

namespace {

int append(Database& db, int count, const QString& tag)
{
    MeasurementStore store(db);
    for (int i = 0; i < count; ++i) {
        MeasurementRow r;
        r.CUSTNO = tag;
        r.ZU[0] = i;
        Transaction t(db);
        if (!t.active()) return 5;
        if (!store.append(r)) return 3;
        if (!t.commit()) return 4;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4) return 1;
    Status st;
    auto db = a[1].contains(QLatin1Char('='))
                  ? Database::connect({a[1], {}}, &st)
                  : Database::open(a[1], FileKind::Main, Database::Access::ReadWrite, &st);
    if (!db) return 2;
    const int count = a[2].toInt();
    if (int rc = append(*db, count, a[3])) return rc;
    if (!a.contains(QStringLiteral("--hold"))) return 0;
    std::printf("ready\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) return 6;
    return append(*db, count, a[3]);
}
