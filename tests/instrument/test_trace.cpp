// The trace file: its format, what the recording writes, and how a replay
// answers the program (delays, refusals, late replies, leaving the trace).

#include "instrument/instrument.h"
#include "instrument/protocol.h"
#include "instrument/replay.h"
#include "instrument/stack.h"
#include "instrument/traceformat.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

using Kind = TraceRecord::Kind;

QByteArray report(const QByteArray& text)
{
    return QByteArray(1, '\0') + text.leftJustified(8, ' ');
}

TraceRecord rec(qint64 ms, Kind kind, const QByteArray& bytes)
{
    TraceRecord r;
    r.ms = ms;
    r.kind = kind;
    r.bytes = bytes;
    if (kind == Kind::String) r.stringIndex = 3;
    return r;
}

// A trace as text, one record per entry, as the writer puts it.
QByteArray traceText(const QVector<TraceRecord>& records)
{
    QByteArray text = traceFileHeader();
    for (const TraceRecord& r : records)
        text += formatTraceRecord(r);
    return text;
}

// The instrument on a replayed trace in virtual time.
struct ReplayStack
{
    QTemporaryDir dir;
    VirtualClock clock;
    std::unique_ptr<InstrumentStack> stack;
    QStringList mismatches;
    explicit ReplayStack(const QVector<TraceRecord>& records)
    {
        const QString path = dir.filePath(QStringLiteral("session.trace"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(traceText(records));
        f.close();
        stack = std::make_unique<InstrumentStack>(InstrumentStack::Kind::Replay, &clock, QString(), path);
        if (stack->replay()) stack->replay()->setOnMismatch([this](const QString& m) { mismatches << m; });
        stack->start();
        if (!stack->replayError().isEmpty()) qWarning("%s", qPrintable(stack->replayError()));
    }
    Instrument& instrument() { return stack->instrument(); }
    ReplayBackend& replay() { return *stack->replay(); }
};

} // namespace

class TestTrace : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("error");
        QTest::newRow("a report and its reply")
            << QByteArray("0 > 00 50 30\n3 < 00 50 30 43  # \"P0C\"\n") << 2 << QString();
        QTest::newRow("comments and blank lines")
            << QByteArray("# header\n\n  \n5 ! 00 41 # refused\n") << 1 << QString();
        QTest::newRow("lower-case hexadecimal") << QByteArray("0 < 00 4a ff\n") << 1 << QString();
        QTest::newRow("a string that could not be read") << QByteArray("0 s3\n") << 1 << QString();
        QTest::newRow("no final newline") << QByteArray("0 > 00 58") << 1 << QString();
        QTest::newRow("a file of comments only") << QByteArray("# nothing\n") << 0 << QString();
        QTest::newRow("time not a number")
            << QByteArray("0 > 00\nabc > 00\n") << 0 << "line 2: the time is not a number of milliseconds";
        QTest::newRow("negative time")
            << QByteArray("-1 > 00\n") << 0 << "line 1: the time is not a number of milliseconds";
        QTest::newRow("time going back")
            << QByteArray("5 > 00\n4 < 00\n") << 0 << "line 2: the time goes back";
        QTest::newRow("unknown direction")
            << QByteArray("0 = 00\n") << 0 << "line 1: the direction is not >, !, < or sN";
        QTest::newRow("string index 0")
            << QByteArray("0 s0 41 00\n") << 0 << "line 1: the direction is not >, !, < or sN";
        QTest::newRow("no direction")
            << QByteArray("12\n") << 0 << "line 1: the direction is not >, !, < or sN";
        QTest::newRow("three hex digits")
            << QByteArray("0 > 005\n") << 0 << "line 1: \"005\" is not a hexadecimal byte";
        QTest::newRow("not hexadecimal")
            << QByteArray("0 > 0G\n") << 0 << "line 1: \"0G\" is not a hexadecimal byte";
        QTest::newRow("a report without bytes")
            << QByteArray("0 <\n") << 0 << "line 1: a report without bytes";
        QTest::newRow("half a UTF-16 unit")
            << QByteArray("0 s3 41\n") << 0 << "line 1: a string of an odd number of bytes";
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, records);
        QFETCH(QString, error);
        const ParsedTrace t = parseTrace(text);
        QCOMPARE(t.error, error);
        QCOMPARE(t.records.size(), records);
    }

    void parsedFields()
    {
        const ParsedTrace t = parseTrace("# x\n7 > 00 58 20\n\n9 < 00 4A\n12 s3 41 00 08 8A\n");
        QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
        QCOMPARE(t.records.size(), 3);
        QCOMPARE(t.records[0].ms, 7);
        QCOMPARE(t.records[0].kind, Kind::Output);
        QCOMPARE(t.records[0].bytes, QByteArray("\0X ", 3));
        QCOMPARE(t.records[1].line, 4);
        QCOMPARE(t.records[1].bytes, QByteArray("\0J", 2));
        QCOMPARE(t.records[2].stringIndex, 3);
        QCOMPARE(traceStringText(t.records[2].bytes), QString::fromUtf8("A計"));
    }

    // Whatever a report or a string holds, its line reads back as the same record.
    void writtenLinesReadBack_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("command") << int(Kind::Output) << report("D000000");
        QTest::newRow("reply with every byte value") << int(Kind::Input) << [] {
            QByteArray b;
            for (int i = 0; i < 256; ++i)
                b += char(i);
            return b;
        }();
        QTest::newRow("a '#' in the report") << int(Kind::Refused) << report("#000000");
        QTest::newRow("a string with a line break")
            << int(Kind::String) << traceStringBytes(QString::fromUtf8("HW\n2.1 版"));
        QTest::newRow("a string that could not be read") << int(Kind::String) << QByteArray();
    }
    void writtenLinesReadBack()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, bytes);
        const TraceRecord r = rec(1234, Kind(kind), bytes);
        const ParsedTrace t = parseTrace(traceFileHeader() + formatTraceRecord(r));
        QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
        QCOMPARE(t.records.size(), 1);
        QCOMPARE(t.records[0].ms, 1234);
        QCOMPARE(int(t.records[0].kind), kind);
        QCOMPARE(t.records[0].bytes, bytes);
    }

    // Recording the simulated instrument: one line per report, timed from its command.
    void recordingWritesEveryReport()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.trace"));
        VirtualClock clock;
        {
            InstrumentStack stack(InstrumentStack::Kind::Simulated, &clock, path);
            QVERIFY(stack.traceOpen());
            stack.simulator()->setReplyDelayMs(4);
            stack.simulator()->setHardwareString(QString::fromUtf8("HW 2.1 測"));
            stack.start();
            clock.advance(50);
            QCOMPARE(stack.instrument().hardwareVersion(), QString::fromUtf8("HW 2.1 測"));
            stack.simulator()->failNextWrites(1);
            QVERIFY(stack.instrument().SendCommand("P000000"));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const ParsedTrace t = parseTrace(f.readAll());
        QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
        QCOMPARE(t.records.size(), 4);
        QCOMPARE(t.records[0].kind, Kind::String);
        QCOMPARE(t.records[0].ms, 50);
        QCOMPARE(traceStringText(t.records[0].bytes), QString::fromUtf8("HW 2.1 測"));
        QCOMPARE(t.records[1].kind, Kind::Refused);
        QCOMPARE(t.records[2].kind, Kind::Output);
        QCOMPARE(t.records[2].bytes, protocol::outputReport("P000000", 9));
        QCOMPARE(t.records[2].ms - t.records[1].ms, 100); // the pause after a refused write
        QCOMPARE(t.records[3].kind, Kind::Input);
        QCOMPARE(t.records[3].bytes, QByteArray(1, '\0') + "P0CV0A11");
        QCOMPARE(t.records[3].ms - t.records[2].ms, 4); // the simulated instrument's reply delay
    }

    // A recorded session replays only if virtual time is the same each time:
    // every exchange lasts exactly its reply delay, never a millisecond more
    // when the reply happens to be handled inside the waiting pass.
    void virtualExchangesLastTheirReplyDelay()
    {
        VirtualClock clock;
        InstrumentStack stack(InstrumentStack::Kind::Simulated, &clock);
        stack.simulator()->setReplyDelayMs(20);
        stack.start();
        const qint64 start = clock.nowMs();
        for (int i = 0; i < 200; ++i)
            QVERIFY(stack.instrument().SendCommand("D000000"));
        QCOMPARE(clock.nowMs() - start, qint64(200 * 20));
    }

    void traceThatCannotBeWritten()
    {
        VirtualClock clock;
        InstrumentStack stack(InstrumentStack::Kind::Simulated, &clock,
                              QStringLiteral("/nonexistent/dir/x.trace"));
        QVERIFY(!stack.traceOpen());
    }

    void replayTimesEachReplyFromItsCommand_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<bool>("answered");
        QTest::newRow("same millisecond") << 0 << true;
        QTest::newRow("next frame") << 1 << true;
        QTest::newRow("slow") << 120 << true;
        QTest::newRow("just within the wait") << 349 << true;
        QTest::newRow("too late") << 400 << false;
    }
    void replayTimesEachReplyFromItsCommand()
    {
        QFETCH(int, delay);
        QFETCH(bool, answered);
        ReplayStack s(
            {rec(10, Kind::Output, report("D000000")), rec(10 + delay, Kind::Input, report("D00007FF"))});
        QVERIFY(s.instrument().attached());
        const qint64 start = s.clock.nowMs();
        const int reading = s.instrument().ReadProbe();
        QCOMPARE(s.instrument().replyFlag(), answered);
        QCOMPARE(reading, answered ? 0x7FF : 0);
        // The command left at the trace's 10 ms; its reply came its delay after.
        if (answered) QCOMPARE(s.clock.nowMs() - start, qint64(10 + delay));
        QVERIFY(s.mismatches.isEmpty());
        QCOMPARE(s.replay().remaining(), 0);
    }

    // A reply the instrument sent after the program stopped waiting answers the
    // next command, in the replay as in the session.
    void lateReplyAnswersTheNextCommand()
    {
        ReplayStack s({rec(0, Kind::Output, report("P000000")), rec(350, Kind::Output, report("D000000")),
                       rec(400, Kind::Input, report("P0CV0A11")), rec(401, Kind::Input, report("D0000100"))});
        QCOMPARE(s.instrument().QueryModel(), QByteArray());
        QVERIFY(s.instrument().SendCommand("D000000"));
        QCOMPARE(s.instrument().InstrumentReply(), QByteArray("P0CV0A11"));
        QVERIFY(s.mismatches.isEmpty());
    }

    void refusedWritesAreRefusedAgain()
    {
        ReplayStack s({rec(0, Kind::Refused, report("X000000")), rec(100, Kind::Refused, report("X000000")),
                       rec(200, Kind::Output, report("X000000")), rec(201, Kind::Input, report("X000000"))});
        QVERIFY(s.instrument().SendCommand("X000000"));
        QCOMPARE(s.instrument().replyBudgetMs(), 150); // two refusals take 100 ms each off the wait
        QVERIFY(s.mismatches.isEmpty());
    }

    void replayedString()
    {
        ReplayStack s({rec(0, Kind::String, traceStringBytes(QStringLiteral("LUMO HID 3.2")))});
        QVERIFY(s.instrument().attached());
        QCOMPARE(s.replay().mismatch(), QString());
        QCOMPARE(s.instrument().hardwareVersion(), QStringLiteral("LUMO HID 3.2"));
        QVERIFY(s.mismatches.isEmpty());
    }

    void anEmptyTraceHasNoInstrument()
    {
        ReplayStack s({});
        QVERIFY(!s.instrument().attached());
    }

    void leavingTheTrace_data()
    {
        QTest::addColumn<QString>("step"); // what the program does after the trace's first exchange
        QTest::addColumn<QString>("message");
        QTest::newRow("another command") << "command"
                                         << "line 4: the trace expected > 00 50 30 30 30 30 30 30 20 "
                                            "\"P000000 \"; the program sent > 00 44 "
                                            "30 30 30 30 30 30 20 \"D000000 \"";
        QTest::newRow("a string read where a command was recorded")
            << "string"
            << "line 4: the trace expected > 00 50 30 30 30 30 30 30 20 \"P000000 \"; the program sent a "
               "read "
               "of string descriptor 3";
        QTest::newRow("a command after the end")
            << "twice"
            << "after the end of the trace the program sent > 00 58 30 30 30 30 30 30 20 \"X000000 \"";
    }
    void leavingTheTrace()
    {
        QFETCH(QString, step);
        QFETCH(QString, message);
        QVector<TraceRecord> records{rec(0, Kind::Output, report("X000000")),
                                     rec(1, Kind::Input, report("X000000"))};
        if (step != QLatin1String("twice"))
            records << rec(2, Kind::Output, report("P000000")) << rec(3, Kind::Input, report("P0CV0A11"));
        ReplayStack s(records);
        QVERIFY(s.instrument().SendCommand("X000000"));
        if (step == QLatin1String("command")) QVERIFY(!s.instrument().SendCommand("D000000"));
        if (step == QLatin1String("string")) QCOMPARE(s.instrument().hardwareVersion(), QString());
        if (step == QLatin1String("twice")) QVERIFY(!s.instrument().SendCommand("X000000"));
        QCOMPARE(s.replay().mismatch(), message);
        // Reported once; from then on the instrument is silent, even to what the trace holds.
        QVERIFY(!s.instrument().SendCommand("P000000"));
        QCOMPARE(s.mismatches, QStringList{message});
    }

    void unreadableReplayFile()
    {
        VirtualClock clock;
        InstrumentStack stack(InstrumentStack::Kind::Replay, &clock, QString(),
                              QStringLiteral("/nonexistent.trace"));
        QCOMPARE(stack.replayError(), QStringLiteral("/nonexistent.trace: cannot be read"));
        stack.start();
        QVERIFY(!stack.instrument().attached());
    }
};

QTEST_GUILESS_MAIN(TestTrace)
#include "test_trace.moc"
