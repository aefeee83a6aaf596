#include "instrument/protocol.h"
#include "simfixture.h"

#include <QtTest>

using namespace lumo;
using namespace lumo::test;

class TestInstrument : public QObject
{
    Q_OBJECT
private slots:
    void outputReport()
    {
        const QByteArray r = protocol::outputReport("D000000", 9);
        QCOMPARE(r, QByteArray("\0D000000 ", 9));
        QCOMPARE(protocol::outputReport("ABCDEFGHIJ", 5), QByteArray("\0ABCD", 5));
        QCOMPARE(protocol::outputReport("X000000", 65).size(), 65);
    }

    void replyFields_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("probe");
        QTest::addColumn<QString>("reg");
        QTest::newRow("blank 7 F") << QByteArray("D0000 7F") << 127 << "0 ";
        QTest::newRow("ZZZ") << QByteArray("D0000ZZZ") << 0 << "0Z";
        QTest::newRow("full scale") << QByteArray("D0000FFF") << 4095 << "0F";
        QTest::newRow("register reply") << QByteArray("R0300A00") << 0xA00 << "0A";
        QTest::newRow("lower case") << QByteArray("D00001a3") << 0x1a3 << "01";
        QTest::newRow("short") << QByteArray("D00") << 0 << "";
        QTest::newRow("empty") << QByteArray() << 0 << "";
        QTest::newRow("six characters") << QByteArray("R0401A") << 0xA << "1A";
    }
    void replyFields()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, probe);
        QFETCH(QString, reg);
        QCOMPARE(protocol::probeReading(reply), probe);
        QCOMPARE(protocol::registerValue(reply), reg);
    }

    void counter_data()
    {
        QTest::addColumn<QString>("r6");
        QTest::addColumn<QString>("r7");
        QTest::addColumn<QString>("r8");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QStringList>("next");
        QTest::newRow("FFFFFE") << "FF" << "FF" << "FE" << qint64(0xFFFFFE) << QStringList{"FF", "FF", "FF"};
        QTest::newRow("0001A3") << "00" << "01" << "A3" << qint64(0x1A3) << QStringList{"00", "01", "A4"};
        QTest::newRow("not hex") << "0G" << "01" << "A3" << qint64(0) << QStringList{"00", "00", "01"};
        QTest::newRow("empty") << "" << "" << "" << qint64(0) << QStringList{"00", "00", "01"};
    }
    void counter()
    {
        QFETCH(QString, r6);
        QFETCH(QString, r7);
        QFETCH(QString, r8);
        QFETCH(qint64, value);
        QFETCH(QStringList, next);
        QCOMPARE(protocol::usageCounter(r6, r7, r8), value);
        const auto regs = protocol::incrementedCounterRegisters(value);
        QCOMPARE((QStringList{regs[0], regs[1], regs[2]}), next);
    }

    void tones()
    {
        QCOMPARE(protocol::toneCommands(2), (QList<QByteArray>{"S1E0F00", "S1E1A00"}));
        QCOMPARE(protocol::toneCommands(6), (QList<QByteArray>{"S193400", "S162F00"}));
        QVERIFY(protocol::toneCommands(0).isEmpty());
        QVERIFY(protocol::toneCommands(13).isEmpty());
    }

    void exchangesWithTheSimulator()
    {
        SimStack s;
        QVERIFY(s.instrument.attached());
        s.sim.probe().touch(50.0, s.clock.nowMs());
        s.sim.probe().setNoise(0);
        QCOMPARE(s.instrument.ReadProbe(), 1000);
        QCOMPARE(s.instrument.ReadSerialText(), QStringLiteral("123456789ABC"));
        QCOMPARE(s.instrument.ReadUsageCounter(), qint64(0x1A3));
        s.instrument.IncrementUsageCounter();
        QCOMPARE(s.sim.registerValue(8), QStringLiteral("A4"));
        QCOMPARE(s.instrument.ReadUsageCounter(), qint64(0x1A4));
        QCOMPARE(protocol::modelNumberOfCode(s.instrument.QueryModel()), 1);
        QCOMPARE(s.instrument.hardwareVersion(), QStringLiteral("LUMO USB HW 2.1"));
        s.sim.clearLog();
        s.instrument.PlayTone(6);
        s.instrument.SetPotential(true);
        QCOMPARE(s.sim.log(), (QList<QByteArray>{"S193400", "S162F00", "H000000"}));
    }

    void writeFailuresShortenTheBudget_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("budget");
        QTest::newRow("0") << 0 << 350;
        QTest::newRow("1") << 1 << 250;
        QTest::newRow("2") << 2 << 150;
        QTest::newRow("3") << 3 << 50;
    }
    void writeFailuresShortenTheBudget()
    {
        QFETCH(int, failures);
        QFETCH(int, budget);
        SimStack s;
        s.sim.setNoReply(true);
        s.sim.failNextWrites(failures);
        const qint64 t0 = s.clock.nowMs();
        QVERIFY(!s.instrument.SendCommand("D000000"));
        QCOMPARE(s.instrument.replyBudgetMs(), budget);
        // each failed attempt waits 100 ms, a written report takes its 1 ms frame, then the budget runs out
        QCOMPARE(s.clock.nowMs() - t0, qint64(failures * 100 + (failures < 3 ? 1 : 0) + budget));
        QCOMPARE(s.sim.log().size(), failures == 3 ? 0 : 1);
    }

    void noReplyGivesTheSpecifiedResults()
    {
        SimStack s;
        s.sim.setNoReply(true);
        QCOMPARE(s.instrument.ReadProbe(), 0);
        QCOMPARE(s.instrument.ReadRegister(3), QString());
        QCOMPARE(s.instrument.ReadUsageCounter(), qint64(0));
        QVERIFY(s.instrument.InstrumentReply().isEmpty());
    }

    void shortRepliesReadAsZero()
    {
        SimStack s;
        s.sim.probe().touch(80, s.clock.nowMs());
        s.sim.setShortReplies(true);
        QVERIFY(s.instrument.SendCommand("D000000"));
        QCOMPARE(s.instrument.ReadProbe(), 0);
        QCOMPARE(s.instrument.ReadRegister(0), QString());
    }

    void lateReplyAnswersTheNextCommand()
    {
        SimStack s;
        s.sim.setReplyDelayMs(400); // beyond the 350 ms budget
        QVERIFY(!s.instrument.SendCommand("R000000"));
        s.sim.setReplyDelayMs(100); // the new reply comes after the late one
        QVERIFY(s.instrument.SendCommand("R050000"));
        // The late reply of register 0 arrives first and is taken as this one's.
        QCOMPARE(protocol::registerValue(s.instrument.InstrumentReply()), QStringLiteral("12"));
    }

    void withoutInstrumentNothingIsSent()
    {
        SimStack s;
        s.sim.probe().touch(30, s.clock.nowMs());
        s.sim.probe().setNoise(0);
        QCOMPARE(s.instrument.ReadProbe(), 600);
        s.sim.unplug();
        QVERIFY(!s.instrument.attached());
        s.sim.clearLog();
        // The last reply stays and parses again.
        QCOMPARE(s.instrument.ReadProbe(), 600);
        QVERIFY(s.sim.log().isEmpty());
    }

    void plugging()
    {
        SimStack s;
        QVERIFY(s.instrument.attached());
        QCOMPARE(s.controller.attachedCount(), 1);
        s.sim.addDevice(protocol::VendorId, protocol::ProductId); // a second instrument
        QCOMPARE(s.controller.freeCount(), 1);
        THidDevice* first = s.instrument.device();
        s.sim.unplug();
        QVERIFY(!s.instrument.attached());
        // the second instrument is attached by the device-change pass
        QVERIFY(s.instrument.device() != first || !s.instrument.attached());
    }

    void replugAttachesAgain()
    {
        SimStack s;
        s.sim.unplug();
        QVERIFY(!s.instrument.attached());
        QCOMPARE(s.controller.devices().size(), 0);
        s.sim.plug();
        QVERIFY(s.instrument.attached());
        QVERIFY(s.instrument.SendCommand("X000000"));
    }

    void otherProductIsNotAttached()
    {
        SimStack s;
        s.sim.unplug();
        s.sim.addDevice(protocol::VendorId, 0x1234);
        QVERIFY(!s.instrument.attached());
        QCOMPARE(s.controller.freeCount(), 1);
    }

    void sleepTimeLimits_data()
    {
        QTest::addColumn<int>("ms");
        QTest::addColumn<int>("expected");
        QTest::newRow("5 ignored") << 5 << 100;
        QTest::newRow("20000 ignored") << 20000 << 100;
        QTest::newRow("10 taken") << 10 << 10;
        QTest::newRow("10000 taken") << 10000 << 10000;
    }
    void sleepTimeLimits()
    {
        QFETCH(int, ms);
        QFETCH(int, expected);
        SimStack s;
        s.instrument.device()->setThreadSleepMs(ms);
        QCOMPARE(s.instrument.device()->threadSleepMs(), expected);
    }

    void releaseWhileAHandlerCallWaits()
    {
        SimStack s;
        // A reply is queued and its handler call waits for this thread; releasing
        // must process it rather than wait for the read thread forever.
        s.instrument.device()->writeReport(protocol::outputReport("X000000", 9));
        QTRY_VERIFY_WITH_TIMEOUT(s.controller.anyDeliveryPending() || !s.sim.replyReady(), 2000);
        s.instrument.release();
        QVERIFY(!s.instrument.attached());
    }
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "test_instrument.moc"
