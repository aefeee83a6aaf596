// The segment meter and the analogue meter: which segments a value lights,
// where the needle points, and what lands on the pixels.
#include "widgets/analoguemeter.h"
#include "widgets/segmentmeter.h"

#include <QImage>
#include <QPainter>
#include <QtMath>
#include <QtTest>

using namespace lumo;

class TestMeters : public QObject
{
    Q_OBJECT
private slots:
    void litSegments_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("lit");
        // The zones of a highest value of 40.0 uA, in tenths: 320, 60, 20.
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("negative") << -5 << 0;
        QTest::newRow("half the green zone") << 160 << 33;
        QTest::newRow("one below the green end") << 319 << 66;
        QTest::newRow("the green end") << 320 << 67;
        QTest::newRow("half the yellow zone") << 350 << 77;
        QTest::newRow("the yellow end") << 380 << 87;
        QTest::newRow("half the red zone") << 390 << 97;
        QTest::newRow("one below the highest") << 399 << 106;
        QTest::newRow("the highest") << 400 << 107;
        QTest::newRow("above") << 900 << 107;
    }
    void litSegments()
    {
        QFETCH(int, value);
        QFETCH(int, lit);
        QCOMPARE(SegmentMeter::litSegments(value, 320, 60, 20), lit);
    }

    void noZonesLightNothing()
    {
        QCOMPARE(SegmentMeter::litSegments(500, 0, 0, 0), 0);
        QCOMPARE(SegmentMeter::Segments, 107);
    }

    // 67 green, 20 yellow, 20 red; lit bright, unlit dark.
    void segmentPixels()
    {
        QImage img(428, 20, QImage::Format_RGB32);
        QPainter p(&img);
        SegmentMeter::paint(p, img.rect(), 70);
        p.end();
        const double w = (428 - 2) / 107.0;
        auto at = [&](int segment) { return img.pixelColor(int(1 + (segment + 0.5) * w), 10); };
        QCOMPARE(at(0), QColor(0, 255, 0));
        QCOMPARE(at(66), QColor(0, 255, 0));
        QCOMPARE(at(69), QColor(255, 255, 0));
        QVERIFY(at(70).value() < 100 && at(70).red() > at(70).blue()); // dark yellow
        QVERIFY(at(100).value() < 100 && at(100).green() == 0);        // dark red
    }

    void needleAngle_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("angle");
        QTest::newRow("-20: the left end") << -20.0 << 140.0;
        QTest::newRow("-35 rests at the left end") << -35.0 << 140.0;
        QTest::newRow("0: upright") << 0.0 << 90.0;
        QTest::newRow("+10") << 10.0 << 65.0;
        QTest::newRow("+20: the right end") << 20.0 << 40.0;
        QTest::newRow("+25 rests at the right end") << 25.0 << 40.0;
    }
    void needleAngle()
    {
        QFETCH(double, value);
        QFETCH(double, angle);
        QCOMPARE(AnalogueMeter::needleAngle(value, -20, 20), angle);
    }

    // The needle is drawn where its angle says: at -20 it leans to the left.
    void needlePixels()
    {
        for (double v : {-20.0, 20.0}) {
            QImage img(200, 120, QImage::Format_RGB32);
            QPainter p(&img);
            AnalogueMeter::paint(p, img.rect(), v, -20, 20, QString());
            p.end();
            int redLeft = 0, redRight = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    if (c.red() > 150 && c.green() < 80 && c.blue() < 80) (x < 100 ? redLeft : redRight)++;
                }
            QVERIFY2(v < 0 ? redLeft > 20 && redRight < 3 : redRight > 20 && redLeft < 3,
                     qPrintable(QStringLiteral("%1: %2 / %3").arg(v).arg(redLeft).arg(redRight)));
        }
    }
};

QTEST_MAIN(TestMeters)
#include "test_meters.moc"
