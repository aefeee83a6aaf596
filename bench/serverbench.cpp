// The records benchmark on a PostgreSQL server: the practice file moved into
// an empty server database (as lumo-cli migrate --to moves it), then the same
// figures as on the file beside bare libpq doing the same statements, once
// directly (server_...) and once through tcpdelay, a proxy on 127.0.0.1 that
// adds 1 ms each way as a practice network does (proxied_...). There every
// figure is held to its target and to three times the bare figure.

#include "bareserver.h"
#include "benchfigures.h"
#include "records/enginemigration.h"
#include "records/subjects.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <libpq-fe.h>

using namespace lumo;
using namespace lumo::bench;

namespace {

QString argument(const QStringList& args, const char* name)
{
    const int i = int(args.indexOf(QLatin1String(name)));
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

// One option of a connection string ("" when it is not given).
QString option(const QString& conninfo, const char* keyword)
{
    QString value;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), nullptr);
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (qstrcmp(o->keyword, keyword) == 0 && o->val) value = QString::fromUtf8(o->val);
    PQconninfoFree(options);
    return value;
}

// --server: a database of the tests' cluster; the large practice keeps one
// database from run to run, as its file is kept.
QString serverDatabase(const QStringList& args)
{
    const QString given = argument(args, "--database");
    if (!given.isEmpty()) return given;
    QFile state(qEnvironmentVariable("LUMO_PG_STATE"));
    if (!state.open(QIODevice::ReadOnly)) return {};
    const QString cluster = QString::fromUtf8(state.readAll()).trimmed();
    const QString name = largePractice(args)
                             ? QStringLiteral("lumo_bench_large")
                             : QStringLiteral("lumo_bench_%1").arg(QCoreApplication::applicationPid());
    BareServer admin(cluster);
    admin.exec(QStringLiteral("CREATE DATABASE %1").arg(name).toUtf8().constData()); // there already: fine
    return QString(cluster).replace(QStringLiteral("dbname=postgres"), QStringLiteral("dbname=") + name);
}

// The practice on the server: moved from the file when the database is empty,
// then the planner's statistics gathered and the tables vacuumed (so that the
// counts along the indexes read the indexes only).
bool loadPractice(const QString& conninfo, const QString& practiceFile)
{
    Status st;
    auto db = Database::connect({conninfo, {}}, &st);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(st.error));
        return false;
    }
    if (SubjectStore(*db).count() > 0) return true;
    MovedRows moved;
    const double ms = timeMs([&] { st = migrateFileToServer(practiceFile, *db, &moved); });
    if (!st) {
        std::fprintf(stderr, "moving the practice to the server failed: %s\n", qPrintable(st.error));
        return false;
    }
    std::printf("moved the practice to the server in %.1f s (%s)\n", ms / 1000, qPrintable(moved.summary()));
    return BareServer(conninfo).exec("VACUUM ANALYZE");
}

struct Proxy
{
    QProcess process;
    QString conninfo;
    ~Proxy()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

// The server's Unix socket behind tcpdelay; the connection string through it.
bool startProxy(const QString& conninfo, Proxy& proxy)
{
    const QString host = option(conninfo, "host");
    const QString port =
        option(conninfo, "port").isEmpty() ? QStringLiteral("5432") : option(conninfo, "port");
    if (!host.startsWith(QLatin1Char('/'))) {
        std::fprintf(stderr, "the proxy needs a server on a Unix socket (host=/folder)\n");
        return false;
    }
    proxy.process.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tcpdelay")),
                        {QStringLiteral("%1/.s.PGSQL.%2").arg(host, port), QStringLiteral("1")});
    if (!proxy.process.waitForReadyRead(10000)) return false;
    const int listening = proxy.process.readLine().trimmed().toInt();
    proxy.conninfo = QStringLiteral("%1 host=127.0.0.1 port=%2").arg(conninfo).arg(listening);
    return listening > 0;
}

// Both passes, as on the file: the first reads the server's pages into its
// cache; the second is reported.
bool figures(const QString& conninfo, Figures& f, const Targets& targets)
{
    Status st;
    auto db = Database::connect({conninfo, {}}, &st);
    BareServer bare(conninfo);
    if (!db || !bare.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(st.error));
        return false;
    }
    Figures cold;
    std::printf("first pass:\n");
    listFigures(*db, bare, cold, targets);
    changeFigures(*db, bare, cold, targets);
    std::printf("second pass:\n");
    listFigures(*db, bare, f, targets);
    changeFigures(*db, bare, f, targets);
    return true;
}

} // namespace

bool onServer(const QStringList& args)
{
    return args.contains(QLatin1String("--database")) || args.contains(QLatin1String("--server"));
}

int runOnServer(const QStringList& args, const QString& practiceFile)
{
    const QString conninfo = serverDatabase(args);
    if (conninfo.isEmpty()) {
        std::fprintf(stderr, "no server: give --database CONNINFO, or --server with LUMO_PG_STATE\n");
        return 2;
    }
    if (!loadPractice(conninfo, practiceFile)) return 2;
    std::printf("on the server (%s):\n", qPrintable(option(conninfo, "dbname")));
    Figures direct;
    direct.prefix = "server_";
    if (!figures(conninfo, direct, Targets())) return 2;

    Proxy proxy;
    if (!startProxy(conninfo, proxy)) {
        std::fprintf(stderr, "tcpdelay did not start\n");
        return 2;
    }
    std::printf("through the proxy (1 ms each way):\n");
    Figures proxied;
    proxied.prefix = "proxied_";
    proxied.ratioLimit = 3;
    Targets network;
    network.open = 30;
    network.search = 20;
    network.sort = 50;
    network.measurements = 10;
    network.append = 15;
    network.remove = 30;
    if (!figures(proxy.conninfo, proxied, network)) return 2;
    direct.print();
    proxied.print();
    const double peak = peakMemoryMb();
    std::printf("FIGURE server_peak_mb %.1f MB\n", peak);
    return 0;
}
