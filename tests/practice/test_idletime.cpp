// The screen lock's idle time as stored: what a file in the data directory
// gives (bounds, missing or foreign content), what saving keeps for the next
// start and tells the running lock, and a refused file changing nothing.
#include "base/clock.h"
#include "practice/idlelock.h"
#include "practice/idletime.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QString filePath(const QTemporaryDir& dir)
{
    return QDir(dir.path()).filePath(QLatin1String(IdleTimeFileName));
}

} // namespace

class TestIdleTime : public QObject
{
    Q_OBJECT
private slots:
    void readAtStart_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<int>("minutes");
        QTest::newRow("no file: the default") << QByteArray() << 10;
        QTest::newRow("empty file: the default") << QByteArray("") << 10;
        QTest::newRow("as saved") << QByteArray("45\n") << 45;
        QTest::newRow("blanks and CRLF") << QByteArray("  30 \r\n") << 30;
        QTest::newRow("lowest") << QByteArray("1\n") << 1;
        QTest::newRow("highest") << QByteArray("120\n") << 120;
        QTest::newRow("zero held to 1") << QByteArray("0\n") << 1;
        QTest::newRow("negative held to 1") << QByteArray("-5\n") << 1;
        QTest::newRow("above held to 120") << QByteArray("121\n") << 120;
        QTest::newRow("too many digits: the default") << QByteArray("99999999999999999999999\n") << 10;
        QTest::newRow("not a number: the default") << QByteArray("ten\n") << 10;
        QTest::newRow("only the first line") << QByteArray("7\n99\n") << 7;
        QTest::newRow("foreign long file: the default") << QByteArray(100000, '9') << 10;
    }
    void readAtStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, minutes);
        QTemporaryDir dir;
        if (!content.isNull()) {
            QFile f(filePath(dir));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        IdleTimeSetting setting;
        setting.load(dir.path());
        QCOMPARE(setting.minutes(), minutes);
    }

    // Saved: the running lock takes the value at once, and the next start reads it.
    void savedForNextStart_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("kept");
        QTest::newRow("lowest") << 1 << 1;
        QTest::newRow("half an hour") << 30 << 30;
        QTest::newRow("highest") << 120 << 120;
        QTest::newRow("zero held to 1") << 0 << 1;
        QTest::newRow("above held to 120") << 500 << 120;
    }
    void savedForNextStart()
    {
        QFETCH(int, set);
        QFETCH(int, kept);
        QTemporaryDir dir;
        IdleTimeSetting setting;
        setting.load(dir.path());
        VirtualClock clock;
        IdleLock lock(
            clock, [] { return true; }, [] { return false; });
        QObject::connect(&setting, &IdleTimeSetting::changed, &lock, &IdleLock::setLimitMinutes);
        QVERIFY(setting.setMinutes(set));
        QCOMPARE(lock.limitMinutes(), kept);
        IdleTimeSetting nextStart;
        nextStart.load(dir.path());
        QCOMPARE(nextStart.minutes(), kept);
    }

    // A file that cannot be written: the error comes back, and neither the
    // setting nor the running lock change.
    void refusedFileChangesNothing()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkdir(filePath(dir))); // a folder where the file belongs
        IdleTimeSetting setting;
        setting.load(dir.path());
        QSignalSpy changed(&setting, &IdleTimeSetting::changed);
        const Status s = setting.setMinutes(30);
        QVERIFY(!s);
        QVERIFY(!s.error.isEmpty());
        QCOMPARE(setting.minutes(), 10);
        QCOMPARE(changed.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestIdleTime)
#include "test_idletime.moc"
