#include "measurement/catalogue.h"
#include "measurement/missingpoints.h"

#include <QtTest>

using namespace lumo;

class TestCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void points_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("meridian");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("position");
        QTest::newRow("1 left lung") << 1 << int(Meridian::Lung) << 1 << 1 << "PLh1.bmp" << "左  手";
        QTest::newRow("7 right lung") << 7 << int(Meridian::Lung) << 1 << 2 << "PRh1.bmp" << "右  手";
        QTest::newRow("12 right large intestine") << 12 << int(Meridian::LargeIntestine) << 6 << 2 << "PRh6.bmp" << "右  手";
        QTest::newRow("13 left spleen") << 13 << int(Meridian::Spleen) << 7 << 1 << "PLf1.bmp" << "左  腳";
        QTest::newRow("18 left stomach") << 18 << int(Meridian::Stomach) << 12 << 1 << "PLf6.bmp" << "左  腳";
        QTest::newRow("19 right spleen") << 19 << int(Meridian::Spleen) << 7 << 2 << "PRf1.bmp" << "右  腳";
        QTest::newRow("24 right stomach") << 24 << int(Meridian::Stomach) << 12 << 2 << "PRf6.bmp" << "右  腳";
    }
    void points()
    {
        QFETCH(int, point);
        QFETCH(int, meridian);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(QString, picture);
        QFETCH(QString, position);
        QCOMPARE(int(meridianOfPoint(point)), meridian);
        QCOMPARE(gridCellOfPoint(point), (GridCell{column, row}));
        QCOMPARE(pointOfGridCell(column, row), point);
        QCOMPARE(pictureFileName(point, 1), picture);
        QCOMPARE(positionText(point), position);
    }

    void mappingsAreInverse()
    {
        QSet<QString> pictures;
        for (int p = 1; p <= PointCount; ++p) {
            GridCell c = gridCellOfPoint(p);
            QCOMPARE(pointOfGridCell(c.column, c.row), p);
            // each meridian owns exactly its left and right point
            Meridian m = meridianOfPoint(p);
            QVERIFY(p == leftPointOf(m) || p == rightPointOf(m));
            QCOMPARE(sideOfPoint(p) == Side::Left, p == leftPointOf(m));
            for (int style = 1; style <= 3; ++style) pictures.insert(pictureFileName(p, style));
        }
        QCOMPARE(pictures.size(), 72);
        QCOMPARE(pictureFileName(24, 3), QStringLiteral("CRf6.bmp"));
        QCOMPARE(pictureFileName(5, 2), QStringLiteral("GLh5.bmp"));
        QCOMPARE(pointOfGridCell(0, 1), 0);
        QCOMPARE(pointOfGridCell(13, 1), 0);
    }

    void compensation_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<double>("reading");
        QTest::addColumn<double>("expected");
        QTest::newRow("8 right pericardium") << 8 << 100.0 << 93.18;
        QTest::newRow("14 left liver") << 14 << 100.0 << 124.24;
        QTest::newRow("13 left spleen") << 13 << 100.0 << 100.0;
        QTest::newRow("3 left heart") << 3 << 50.0 << 55.405;
        QTest::newRow("zero") << 22 << 0.0 << 0.0;
    }
    void compensation()
    {
        QFETCH(int, point);
        QFETCH(double, reading);
        QFETCH(double, expected);
        QVERIFY(qFuzzyCompare(1.0 + compensate(point, reading), 1.0 + expected));
        EnergySet e;
        e.setReading(point, reading);
        QCOMPARE(e.Readings[size_t(point - 1)], reading);
        QVERIFY(qFuzzyCompare(1.0 + e.Compensated[size_t(point - 1)], 1.0 + expected));
    }

    void names()
    {
        QCOMPARE(shortName(Meridian::Lung), QString::fromUtf8("肺  經"));
        QCOMPARE(chartName(Meridian::Lung), QString::fromUtf8(" 肺  經"));
        QCOMPARE(chartName(Meridian::Pericardium), QString::fromUtf8("心包經"));
        QCOMPARE(fullWidthName(Meridian::Lung), QString::fromUtf8("肺　經"));
        QCOMPARE(fullWidthName(Meridian::Bladder), QString::fromUtf8("膀胱經"));
        QCOMPARE(channelName(Meridian::Lung), QString::fromUtf8("手太陰 肺  經"));
        QCOMPARE(sourcePoint(Meridian::Bladder), QString::fromUtf8("束骨 BL65"));
        QCOMPARE(elementLabel(Meridian::Spleen), QString::fromUtf8("  土"));
        QCOMPARE(pairedMeridian(Meridian::Lung), Meridian::LargeIntestine);
        QCOMPARE(pairedMeridian(Meridian::Heart), Meridian::SmallIntestine);
        QCOMPARE(pairedMeridian(Meridian::Kidney), Meridian::Bladder);
        QCOMPARE(pairedMeridian(Meridian::Spleen), Meridian::Stomach);
        for (int m = 0; m < MeridianCount; ++m) {
            // Partners share the element and have opposite organs.
            QCOMPARE(elementLabel(pairedMeridian(Meridian(m))), elementLabel(Meridian(m)));
            QVERIFY(meridianInfo(pairedMeridian(Meridian(m))).organ != meridianInfo(m).organ);
            QCOMPARE(toCp950Width(elementLabel(Meridian(m))), 4);
        }
    }

    void energySetFlags()
    {
        EnergySet e;
        QVERIFY(!e.hasData());
        QVERIFY(!e.allMeasured());
        e.setReading(5, 12.0);
        QVERIFY(e.hasData());
        for (int p = 1; p <= 24; ++p) e.setReading(p, 10);
        QVERIFY(e.allMeasured());
        e.clearReadings();
        QVERIFY(!e.hasData());
    }

    // What the measuring screen says after a run that left points out: a few
    // named (with the source point when there are very few), more counted;
    // nothing when all are measured or none.
    void missingPointsSaid_data()
    {
        QTest::addColumn<QList<int>>("missing");
        QTest::addColumn<QStringList>("said");    // texts the line holds
        QTest::addColumn<QStringList>("notSaid"); // texts it must not hold
        const QString fail = QString::fromUtf8("能量分析及能量比對需要 24 點全部測量");
        QTest::newRow("none missing") << QList<int>{} << QStringList{} << QStringList{fail};
        QTest::newRow("nothing measured") << QList<int>{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                                        13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}
                                          << QStringList{} << QStringList{fail};
        QTest::newRow("one: place and source point")
            << QList<int>{3}
            << QStringList{QString::fromUtf8("缺少 1 個測量點"), QString::fromUtf8("左手心經 神門 HT7"), fail}
            << QStringList{};
        QTest::newRow("right foot stomach")
            << QList<int>{24} << QStringList{QString::fromUtf8("右腳胃經")} << QStringList{};
        QTest::newRow("five: places only") << QList<int>{1, 7, 13, 19, 20}
                                           << QStringList{QString::fromUtf8("缺少 5 個測量點"),
                                                          QString::fromUtf8("左手肺經、右手肺經、左腳脾經")}
                                           << QStringList{QString::fromUtf8("太淵")};
        QTest::newRow("ten: counted, the grid shows them")
            << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}
            << QStringList{QString::fromUtf8("缺少 10 個測量點（表格中標示的空格）")}
            << QStringList{QString::fromUtf8("左手肺經")};
    }
    void missingPointsSaid()
    {
        QFETCH(QList<int>, missing);
        QFETCH(QStringList, said);
        QFETCH(QStringList, notSaid);
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            if (!missing.contains(p)) e.setReading(p, 20);
        QCOMPARE(missingPoints(e), QVector<int>(missing.begin(), missing.end()));
        const QString text = missingPointsText(e);
        QCOMPARE(text.isEmpty(), said.isEmpty());
        for (const QString& t : said)
            QVERIFY2(text.contains(t), qPrintable(text));
        for (const QString& t : notSaid)
            QVERIFY2(!text.contains(t), qPrintable(text));
    }

private:
    // Element labels are four bytes wide in the code page (two blanks + one character, or two characters).
    static int toCp950Width(const QString& s)
    {
        int w = 0;
        for (QChar c : s) w += c.unicode() < 0x80 ? 1 : 2;
        return w;
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
