// The recorded sessions of tests/instrument/traces/, replayed: the program
// must send exactly what the trace holds and read back what the recorded
// instrument was (its .json beside the trace).

#include "instrument/protocol.h"
#include "instrument/replay.h"
#include "instrument/stack.h"
#include "sessions.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QString tracePath(const char* name)
{
    return QStringLiteral(LUMO_TRACE_DIR "/") + QLatin1String(name);
}

QJsonObject expectation(const QString& trace)
{
    QFile f(test::expectationPath(trace));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

// The trace's instrument in virtual time: a 90 s run replays in about a second.
struct Replayed
{
    VirtualClock clock;
    InstrumentStack stack;
    explicit Replayed(const QString& path) : stack(InstrumentStack::Kind::Replay, &clock, QString(), path)
    {
        stack.start();
    }
    // Every record used and none left over: the program did what the session did.
    void verifyFollowed()
    {
        QCOMPARE(stack.replayError(), QString());
        QCOMPARE(stack.replay()->mismatch(), QString());
        QCOMPARE(stack.replay()->remaining(), 0);
    }
};

struct CliRun
{
    int exitCode = -1;
    QJsonObject json;
    QString err;
};

CliRun runCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), args);
    CliRun r;
    if (!p.waitForFinished(60000)) return r;
    r.exitCode = p.exitCode();
    r.json = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestReplay : public QObject
{
    Q_OBJECT
private slots:
    void startupIdentification()
    {
        const QString trace = tracePath("startup.trace");
        const QJsonObject expected = expectation(trace);
        QVERIFY(!expected.isEmpty());
        Replayed r(trace);
        SharedState state;
        const StartupStatus s = test::startupSession(state, r.stack.instrument(), r.clock);
        QVERIFY(state.InstrumentReady);
        QCOMPARE(s.hardware, expected.value("hardware").toString());
        QCOMPARE(state.SerialText, expected.value("serial").toString());
        QCOMPARE(protocol::modelName(s.model), expected.value("modelName").toString());
        r.verifyFollowed();
    }

    void measuringRun()
    {
        const QString trace = tracePath("measuring-run.trace");
        const QJsonObject expected = expectation(trace);
        const QJsonArray readings = expected.value("readings").toArray();
        QCOMPARE(readings.size(), 24);
        const double tolerance = expected.value("tolerance").toDouble();
        Replayed r(trace);
        SharedState state;
        state.InstrumentReady = true;
        test::measuringSession(state, r.stack.instrument());
        for (int p = 1; p <= 24; ++p) {
            const double got = state.energy.Readings[size_t(p - 1)];
            const double want = readings.at(p - 1).toDouble();
            QVERIFY2(std::fabs(got - want) <= tolerance,
                     qPrintable(QStringLiteral("point %1: %2, recorded %3").arg(p).arg(got).arg(want)));
        }
        QCOMPARE(state.PointsSinceAnalysis, 24);
        r.verifyFollowed();
    }

    // Support replays a customer's trace through the command line.
    void commandLinePrintsTheRecordedIdentity()
    {
        const QString trace = tracePath("cli-instrument.trace");
        const QJsonObject expected = expectation(trace);
        const CliRun run = runCli({"--replay-instrument", trace, "instrument"});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.json.value("attached").toBool(), true);
        for (const char* key : {"hardware", "serial", "modelName", "counter"})
            QCOMPARE(run.json.value(QLatin1String(key)), expected.value(QLatin1String(key)));
        QVERIFY(!run.json.contains("error"));
    }

    void commandLineReportsWhereTheProgramLeftTheTrace()
    {
        QFile original(tracePath("cli-instrument.trace"));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QByteArray text = original.readAll();
        // The recorded instrument was asked for its model by another command.
        const QByteArray query = protocol::outputReport("P000000", 9).toHex(' ').toUpper();
        QVERIFY(text.contains(query));
        text.replace(query, protocol::outputReport("Q000000", 9).toHex(' ').toUpper());
        QTemporaryDir dir;
        const QString changed = dir.filePath(QStringLiteral("changed.trace"));
        QFile f(changed);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        const CliRun run = runCli({"--replay-instrument", changed, "instrument"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(changed + QStringLiteral(": line ")), qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("\"Q000000 \"; the program sent > 00 50")),
                 qPrintable(run.err));
    }

    void commandLineRefusesAFileThatIsNoTrace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("notes.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("call the customer back\n");
        f.close();
        const CliRun run = runCli({"--replay-instrument", path, "instrument"});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.trimmed(),
                 path + QStringLiteral(": line 1: the time is not a number of milliseconds"));
    }
};

QTEST_MAIN(TestReplay)
#include "test_replay.moc"
