// The rules of acupoint locating: the grading of a reading against the highest
// value, the bars, the balance meter and the segment meter's zones.
#include "measurement/locatingrun.h"

#include <QtTest>

using namespace lumo;

namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

class TestLocatingRules : public QObject
{
    Q_OBJECT
private slots:
    void grading_data()
    {
        QTest::addColumn<double>("reading");
        QTest::addColumn<int>("tone");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("lamp");
        const QColor black(0, 0, 0), olive(128, 128, 0), red(255, 0, 0), lightGreen(0, 255, 0),
            yellow(255, 255, 0);
        // With a highest value of 40.0 uA.
        QTest::newRow("30.0: exactly 75 %") << 30.0 << 10 << u("不在穴道位置") << black << lightGreen;
        QTest::newRow("30.1: above 75 %") << 30.1 << 11 << u("接近穴道位置") << olive << yellow;
        QTest::newRow("37.0") << 37.0 << 11 << u("接近穴道位置") << olive << yellow;
        QTest::newRow("38.0: exactly 95 %") << 38.0 << 11 << u("接近穴道位置") << olive << yellow;
        QTest::newRow("38.5") << 38.5 << 12 << u("正確穴道位置") << red << red;
        QTest::newRow("above the highest") << 45.0 << 12 << u("正確穴道位置") << red << red;
        QTest::newRow("nothing") << 0.0 << 10 << u("不在穴道位置") << black << lightGreen;
    }
    void grading()
    {
        QFETCH(double, reading);
        QFETCH(int, tone);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        QFETCH(QColor, lamp);
        const LocatingGrade g = gradeReading(reading, 40.0);
        QCOMPARE(g.tone, tone);
        QCOMPARE(g.text, text);
        QCOMPARE(g.textColor, colour);
        QCOMPARE(g.lampColor, lamp);
    }

    void displaysOfAReading_data()
    {
        QTest::addColumn<double>("reading");
        QTest::addColumn<double>("highest");
        QTest::addColumn<int>("bar");
        QTest::addColumn<double>("balance");
        QTest::newRow("35 below the highest") << 5.0 << 40.0 << 50 << -20.0;
        QTest::newRow("20 below") << 20.0 << 40.0 << 200 << -20.0;
        QTest::newRow("5 above") << 45.0 << 40.0 << 450 << 5.0;
        QTest::newRow("30 above") << 70.0 << 40.0 << 700 << 20.0;
        QTest::newRow("250 uA fills the bar") << 250.0 << 40.0 << 2000 << 20.0;
        QTest::newRow("200.04 rounds to 2000") << 200.04 << 200.0 << 2000 << 0.04;
        QTest::newRow("12.34") << 12.34 << 12.34 << 123 << 0.0;
    }
    void displaysOfAReading()
    {
        QFETCH(double, reading);
        QFETCH(double, highest);
        QFETCH(int, bar);
        QFETCH(double, balance);
        QCOMPARE(tenthsBar(reading), bar);
        QCOMPARE(balanceOf(reading, highest), balance);
    }

    void segmentZones_data()
    {
        QTest::addColumn<double>("highest");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("yellow");
        QTest::addColumn<int>("red");
        QTest::newRow("40.0") << 40.0 << 320 << 60 << 20;
        QTest::newRow("37.3") << 37.3 << 298 << 56 << 19;
        QTest::newRow("none") << 0.0 << 0 << 0 << 0;
    }
    void segmentZones()
    {
        QFETCH(double, highest);
        QFETCH(int, green);
        QFETCH(int, yellow);
        QFETCH(int, red);
        const SegmentZones z = lumo::segmentZones(highest);
        QCOMPARE(z.green, green);
        QCOMPARE(z.yellow, yellow);
        QCOMPARE(z.red, red);
    }
};

QTEST_MAIN(TestLocatingRules)
#include "test_locating_rules.moc"
