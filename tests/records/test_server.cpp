// What only a server has: the connection string and its file, the password
// asked for and kept in memory, the start-up on a server, a session that the
// server ends in the middle of a change, and a database that is not (or not
// yet) this program's.
#include "records/databasewatch.h"
#include "records/measurements.h"
#include "records/pgengine.h"
#include "records/serverlogin.h"
#include "records/subjects.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const kSecret = "lumo-test-secret";

// The backend processes of a database other than the admin's own connection.
QString endSessionsOf(const QString& conninfo)
{
    const QString name = conninfo.section(QStringLiteral("dbname="), 1).section(QLatin1Char(' '), 0, 0);
    return test::adminRun(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                         "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                              .arg(name));
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void connectionStrings_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("error");    // part of the message; empty: accepted
        QTest::addColumn<QString>("contains"); // part of the normalized string
        QTest::newRow("keywords") << "host=clinic-server dbname=lumo user=room1"
                                  << ""
                                  << "dbname='lumo'";
        QTest::newRow("URI") << "postgresql://room1@clinic-server:5433/lumo?sslmode=verify-full"
                             << ""
                             << "sslmode='verify-full'";
        QTest::newRow("quoted blank") << "host=x dbname='my lumo'"
                                      << ""
                                      << "dbname='my lumo'";
        QTest::newRow("empty") << "  " << u("是空的") << "";
        QTest::newRow("semicolon") << "host=x;dbname=y" << u("分號") << "";
        QTest::newRow("unknown option") << "host=x colour=blue" << u("無法解讀") << "";
        QTest::newRow("open quote") << "host='x" << u("無法解讀") << "";
    }
    void connectionStrings()
    {
        QFETCH(QString, conninfo);
        QFETCH(QString, error);
        QFETCH(QString, contains);
        QString normalized;
        const Status st = checkConninfo(conninfo, &normalized);
        QCOMPARE(st.ok, error.isEmpty());
        if (!st) QVERIFY2(st.error.contains(error), qPrintable(st.error));
        if (st) QVERIFY2(normalized.contains(contains), qPrintable(normalized));
        // A password never shows in what the messages name.
        QVERIFY(
            !describeServer(conninfo + QStringLiteral(" password=hidden")).contains(QLatin1String("hidden")));
    }

    void serverConfigFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // "-": no file
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<bool>("ok");
        QTest::newRow("no file") << QByteArray("-") << "" << true;
        QTest::newRow("one line") << QByteArray("host=server dbname=lumo\n") << "host=server dbname=lumo"
                                  << true;
        QTest::newRow("comments and lines")
            << QByteArray("# the practice's server\nhost=server\r\n\n  port=5433\n")
            << "host=server port=5433" << true;
        QTest::newRow("only comments") << QByteArray("# nothing yet\n\n") << "" << false;
        QTest::newRow("empty") << QByteArray() << "" << false;
        QTest::newRow("not a connection string") << QByteArray("clinic-server\n") << "clinic-server" << false;
    }
    void serverConfigFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, conninfo);
        QFETCH(bool, ok);
        QTemporaryDir dir;
        if (content != "-") {
            QFile f(dir.filePath(QStringLiteral("LUMO-Server.conf"))); // names compare without regard to case
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QString read;
        const Status st = readServerConfig(dir.path(), &read);
        QCOMPARE(st.ok, ok);
        if (ok) QCOMPARE(read, conninfo);
        if (!ok)
            QVERIFY2(st.error.contains(QLatin1String(ServerConfigFile), Qt::CaseInsensitive),
                     qPrintable(st.error));
    }

    // The question comes only when the server wants a password libpq lacks;
    // a refused one is asked for again; declining ends the attempt.
    void passwordAskedOnlyWhenNeeded_data()
    {
        QTest::addColumn<QStringList>("answers"); // "-": the operator declines
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QVector<bool>>("again"); // what each question was told
        QTest::newRow("right at once") << QStringList{kSecret} << true << QVector<bool>{false};
        QTest::newRow("wrong, then right")
            << QStringList{"guess", kSecret} << true << QVector<bool>{false, true};
        QTest::newRow("declined") << QStringList{"-"} << false << QVector<bool>{false};
        QTest::newRow("wrong three times")
            << QStringList{"a", "b", "c"} << false << QVector<bool>{false, true, true};
    }
    void passwordAskedOnlyWhenNeeded()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, connected);
        QFETCH(QVector<bool>, again);
        const QString conninfo = test::newServerDatabase(QStringLiteral("lumo_password"));
        QVERIFY(!conninfo.isEmpty());
        QVector<bool> told;
        PasswordQuestion ask = [&](const QString& server, bool refused) -> std::optional<QString> {
            told << refused;
            if (!server.contains(QLatin1String("lumo_password"))) return std::nullopt;
            const QString a = answers.value(int(told.size()) - 1, QStringLiteral("-"));
            if (a == QLatin1String("-")) return std::nullopt;
            return a;
        };
        ServerLogin login{conninfo, {}};
        Status st;
        auto db = connectWithLogin(&login, ask, &st);
        QCOMPARE(bool(db), connected);
        QCOMPARE(told, again);
        if (connected) QCOMPARE(login.password, QString::fromLatin1(kSecret));
        if (!connected) QVERIFY2(st.error.contains(QLatin1String("password")), qPrintable(st.error));
        // Without a question (a command) the trusted superuser needs none.
        ServerLogin trusted{test::newServerDatabase(), {}};
        QVERIFY(connectWithLogin(&trusted, {}, &st));
    }

    // lumo-server.conf (or --database) puts the main database on the server:
    // no lumo4.mdb is made, the password typed stays in memory only.
    void startUpOnTheServer_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("lumo-server.conf") << true;
        QTest::newRow("--database") << false;
    }
    void startUpOnTheServer()
    {
        QFETCH(bool, fromFile);
        const QString conninfo = test::newServerDatabase(QStringLiteral("lumo_password"));
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(data));
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        state.DataDirectory = data + QLatin1Char('/');
        if (fromFile) {
            QFile f(QDir(data).filePath(QLatin1String(ServerConfigFile)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(conninfo.toUtf8());
        } else {
            state.databaseOption = conninfo;
        }
        int asked = 0;
        state.askPassword = [&](const QString&, bool) -> std::optional<QString> {
            ++asked;
            return QString::fromLatin1(kSecret);
        };
        const StartupOutcome o = runStartupFileSteps(state, QStringLiteral(LUMO_SHARE_DIR));
        QVERIFY2(o.databases.ok, qPrintable(o.databases.error));
        QVERIFY(o.onServer && state.MainDatabase && state.MainDatabase->onServer());
        QCOMPARE(asked, 1);
        QVERIFY(!dataFileExists(data, QLatin1String(MainDatabaseFile)));
        SubjectRow s;
        s.CUSTNO = QStringLiteral("S1");
        QVERIFY(SubjectStore(*state.MainDatabase).append(s).ok);
        for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(!f.readAll().contains(kSecret),
                     qPrintable(f.fileName() + QStringLiteral(" holds the password")));
        }
    }

    void unreachableServerStopsTheStart()
    {
        QTemporaryDir dir;
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        state.DataDirectory = dir.path() + QLatin1Char('/');
        state.databaseOption =
            QStringLiteral("host=%1 dbname=lumo user=postgres").arg(dir.filePath("nosocket"));
        const StartupOutcome o = runStartupFileSteps(state, QStringLiteral(LUMO_SHARE_DIR));
        QVERIFY(!o.databases.ok);
        QVERIFY(o.databases.error.startsWith(u("LUMO 資料庫啟動錯誤！")));
        QVERIFY2(o.databases.error.contains(QLatin1String("nosocket")),
                 qPrintable(o.databases.error)); // the driver's text
        QVERIFY(!state.MainDatabase);
    }

    // The server ends the session between the two deletes of a subject with
    // its measurements: nothing is written, the error says the connection
    // went, and the next operation connects again.
    void sessionEndedInTheMiddleOfAChange()
    {
        const QString conninfo = test::newServerDatabase();
        Status st;
        auto db = Database::connect({conninfo, {}}, &st);
        QVERIFY2(db, qPrintable(st.error));
        SubjectRow s;
        s.CUSTNO = QStringLiteral("K1");
        QVERIFY(SubjectStore(*db).append(s).ok);
        for (int i = 0; i < 3; ++i) {
            MeasurementRow m;
            m.CUSTNO = QStringLiteral("k1");
            QVERIFY(MeasurementStore(*db).append(m).ok);
        }
        const QString name = conninfo.section(QStringLiteral("dbname="), 1).section(QLatin1Char(' '), 0, 0);
        QCOMPARE(test::adminRun(QStringLiteral("CREATE FUNCTION die() RETURNS trigger LANGUAGE plpgsql AS "
                                               "$$ BEGIN PERFORM pg_terminate_backend(pg_backend_pid()); "
                                               "RETURN OLD; END $$"),
                                name),
                 QString());
        QCOMPARE(test::adminRun(QStringLiteral("CREATE TRIGGER die BEFORE DELETE ON ZUCUST FOR EACH ROW "
                                               "EXECUTE FUNCTION die()"),
                                name),
                 QString());
        st = SubjectStore(*db).removeWithMeasurements(s.MKEY);
        QVERIFY(!st.ok);
        QVERIFY2(st.error.startsWith(serverConnectionLostMessage(QString())), qPrintable(st.error));
        QCOMPARE(test::adminRun(QStringLiteral("DROP TRIGGER die ON ZUCUST"), name), QString());
        // The next operation connects again and finds everything as it was.
        QCOMPARE(MeasurementStore(*db).countForSubject(QStringLiteral("K1")), 3);
        QCOMPARE(SubjectStore(*db).count(), 1);
        QVERIFY(SubjectStore(*db).removeWithMeasurements(s.MKEY).ok);
        QCOMPARE(MeasurementStore(*db).countAll(), 0);
    }

    // Sessions ended by the server (as at a restart): the watch listens again
    // and every list reads again; the next operation works without an error.
    void sessionsEndedAreTakenUpAgain()
    {
        const QString conninfo = test::newServerDatabase();
        Status st;
        auto db = Database::connect({conninfo, {}}, &st);
        QVERIFY2(db, qPrintable(st.error));
        DatabaseWatch& watch = db->watch();
        QVERIFY(watch.listening());
        QSignalSpy changed(&watch, &DatabaseWatch::changed);
        QCOMPARE(endSessionsOf(conninfo), QString());
        QVERIFY(changed.wait(5000));
        QCOMPARE(changed.first().value(0).toString(), QString()); // every table
        QVERIFY(watch.listening());
        SubjectRow s;
        s.CUSTNO = QStringLiteral("after");
        const Status appended = SubjectStore(*db).append(s);
        QVERIFY2(appended.ok, qPrintable(appended.error));
        QVERIFY(SubjectStore(*db).findByCustNo(QStringLiteral("AFTER")));
    }

    void otherDatabasesAreLeftAlone_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("newer version") << "UPDATE LUMOVERSION SET VERSION = 99" << u("比本程式所用的版本");
        QTest::newRow("another program's table") << "DROP TABLE LUMOVERSION" << u("不是本系統建立的資料表");
        QTest::newRow("a column missing") << "ALTER TABLE ZUCUST DROP COLUMN TEL2" << u("缺少欄位 TEL2");
    }
    void otherDatabasesAreLeftAlone()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        const QString conninfo = test::newServerDatabase();
        Status st;
        QVERIFY(Database::connect({conninfo, {}}, &st));
        const QString name = conninfo.section(QStringLiteral("dbname="), 1).section(QLatin1Char(' '), 0, 0);
        QCOMPARE(test::adminRun(setup, name), QString());
        QVERIFY(!Database::connect({conninfo, {}}, &st));
        QVERIFY2(st.error.contains(message), qPrintable(st.error));
        // Nothing was created or changed: LUMOCOUNT is still the only trace of the program's counts.
        if (setup.startsWith(QLatin1String("DROP TABLE")))
            QVERIFY(!test::adminRun(QStringLiteral("SELECT 1 FROM LUMOVERSION"), name).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "test_server.moc"
