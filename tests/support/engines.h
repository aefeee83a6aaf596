#pragma once
// The records tests run on both engines: each test function runs once on an
// SQLite file and once on the tests' PostgreSQL server (the throwaway cluster
// that ctest starts for them; scripts/pgcluster). Every server test gets a
// database of its own. There is no skipping: without the server the test fails.
#include "records/database.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace lumo::test {

// The connection string of the tests' cluster (its "postgres" database).
inline QString clusterConninfo()
{
    const QString state = qEnvironmentVariable("LUMO_PG_STATE");
    QFile f(state);
    if (state.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

// Runs a statement as the cluster's superuser, on the database named (its
// "postgres" database by default); the error when it fails.
inline QString adminRun(const QString& sql, const QString& database = QStringLiteral("postgres"))
{
    const QString cluster = clusterConninfo();
    if (cluster.isEmpty())
        return QStringLiteral("no test server: run the test through ctest (fixture pgcluster)");
    QString conninfo = cluster;
    conninfo.replace(QStringLiteral("dbname=postgres"), QStringLiteral("dbname=") + database);
    const QString admin = QStringLiteral("lumo-test-admin");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), admin);
        db.setConnectOptions(conninfo);
        QSqlQuery q(db);
        if (!db.open())
            error = db.lastError().text();
        else if (!q.exec(sql))
            error = q.lastError().text();
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(admin);
    return error;
}

// The connection string of a new, empty database on the tests' server (of
// the given owner, who then signs in to it; the superuser by default).
inline QString newServerDatabase(const QString& owner = {})
{
    static QAtomicInteger<int> counter;
    const QString name = QStringLiteral("lumo_t%1_%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(counter.fetchAndAddRelaxed(1));
    if (!adminRun(QStringLiteral("CREATE DATABASE %1%2")
                      .arg(name, owner.isEmpty() ? QString() : QStringLiteral(" OWNER ") + owner))
             .isEmpty())
        return {};
    QString conninfo = clusterConninfo();
    conninfo.replace(QStringLiteral("dbname=postgres"), QStringLiteral("dbname=") + name);
    if (!owner.isEmpty()) conninfo.replace(QStringLiteral("user=postgres"), QStringLiteral("user=") + owner);
    return conninfo;
}

enum class Engine
{
    Sqlite,
    Postgres
};

// The global data of a test class: every test function runs on both engines.
inline void bothEngines()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("sqlite") << Engine::Sqlite;
    QTest::newRow("postgres") << Engine::Postgres;
}

// A new, empty main database on the engine of the current global row; the
// SQLite file lies in dir. Null (with the reason in *why) when it cannot be made.
inline std::unique_ptr<Database> freshMain(Engine engine, const QTemporaryDir& dir, QString* why = nullptr)
{
    Status st;
    std::unique_ptr<Database> db;
    if (engine == Engine::Sqlite) {
        static QAtomicInteger<int> counter;
        const QString path = dir.filePath(QStringLiteral("lumo4-%1.mdb").arg(counter.fetchAndAddRelaxed(1)));
        // Opened again as the program opens its main file (in WAL mode), so
        // that other processes can write beside it.
        Database::create(path, FileKind::Main, &st).reset();
        if (st) db = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
    } else {
        const QString conninfo = newServerDatabase();
        if (conninfo.isEmpty())
            st = Status::failure(
                QStringLiteral("no test server: run the test through ctest (fixture pgcluster)"));
        else
            db = Database::connect({conninfo, {}}, &st);
    }
    if (why) *why = st.error;
    return db;
}

} // namespace lumo::test

Q_DECLARE_METATYPE(lumo::test::Engine)

// In a test function: a fresh main database on the current engine, or the test fails.
#define LUMO_FRESH_MAIN(var, dir)                                                                            \
    QFETCH_GLOBAL(lumo::test::Engine, engine);                                                               \
    QString var##Why;                                                                                        \
    auto var = lumo::test::freshMain(engine, dir, &var##Why);                                                \
    QVERIFY2(var, qPrintable(var##Why))
