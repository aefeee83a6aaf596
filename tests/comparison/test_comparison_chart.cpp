// The screen charts of the comparisons probed pixel by pixel: the picture the
// screen box, the printed page's source and the command line share.
#include "analysis/contrast.h"
#include "comparison/comparisonchart.h"
#include "measurement/catalogue.h"

#include <QGuiApplication>
#include <QtTest>

using namespace lumo;

namespace {

const QColor Black(0, 0, 0), Grey(128, 128, 128), Red(255, 0, 0), Olive(128, 128, 0), Aqua(0, 255, 255),
    Blue(0, 0, 255), White(255, 255, 255);

std::array<double, 24> all(double v)
{
    std::array<double, 24> a;
    a.fill(v);
    return a;
}

int countInRow(const QImage& img, int y, int x0, int x1, const QColor& c)
{
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += img.pixelColor(x, y) == c;
    return n;
}

int countInColumn(const QImage& img, int x, int y0, int y1, const QColor& c)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        n += img.pixelColor(x, y) == c;
    return n;
}

bool anyIn(const QImage& img, QRect r, const std::function<bool(QColor)>& f)
{
    for (int y = std::max(0, r.top()); y <= std::min(img.height() - 1, r.bottom()); ++y)
        for (int x = std::max(0, r.left()); x <= std::min(img.width() - 1, r.right()); ++x)
            if (f(img.pixelColor(x, y))) return true;
    return false;
}

// The screen geometry of a 600 x 417 box: W = 570, H = 387; position k of the
// meridian order sits at nearest(W / 24 k) + 42, value v at H - nearest(H / 180 v).
int slotX(int k)
{
    return int(std::nearbyint(570.0 / 24 * k)) + 42;
}

ComparisonChart twoCurves(double first, double second)
{
    ComparisonChart c;
    c.series << all(first) << all(second);
    return c;
}

} // namespace

class TestComparisonChart : public QObject
{
    Q_OBJECT
private slots:
    void axisIsThreePixelsWide()
    {
        const QImage img = renderComparisonChart(twoCurves(95, 60), TwoRecordBox);
        QCOMPARE(img.size(), QSize(600, 417));
        for (int y : {30, 200, 380})
            QCOMPARE(countInRow(img, y, 26, 34, Black), 3);
        QCOMPARE(countInRow(img, 200, 28, 32, Black), 3);
    }

    // Twelve dashed grey lines from H div 18 down, the hand/foot line doubled.
    void columnLines_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("width");
        QTest::newRow("1") << 78 << 1;  // nearest(47.5) + 30: a half goes to the even 48
        QTest::newRow("3") << 172 << 1; // nearest(142.5) = 142
        QTest::newRow("6") << 315 << 2;
        QTest::newRow("11") << 552 << 1; // nearest(522.5) = 522
    }
    void columnLines()
    {
        QFETCH(int, x);
        QFETCH(int, width);
        const QImage img = renderComparisonChart(twoCurves(95, 60), TwoRecordBox);
        // Dashed: most rows between 21 and 387 carry the line, none above 21.
        QVERIFY2(countInColumn(img, x, 21, 387, Grey) > 150,
                 qPrintable(QString::number(countInColumn(img, x, 21, 387, Grey))));
        QCOMPARE(countInColumn(img, x, 0, 20, Grey), 0);
        int dash = 21;
        while (img.pixelColor(x, dash) != Grey)
            ++dash;
        QCOMPARE(countInRow(img, dash, x - 4, x + 4, Grey), width);
    }

    // Ticks every 10 uA: H - nearest(H / 18 i), from the axis to W div 80 + 30
    // (a line ends before its last pixel).
    void ticks_data()
    {
        QTest::addColumn<int>("y");
        QTest::newRow("0") << 387;
        QTest::newRow("10") << 365; // 21.5 rounds to 22
        QTest::newRow("50") << 279; // 107.5 rounds to 108
        QTest::newRow("170") << 21; // 365.5 rounds to 366
    }
    void ticks()
    {
        QFETCH(int, y);
        const QImage img = renderComparisonChart(twoCurves(95, 60), TwoRecordBox);
        QCOMPARE(img.pixelColor(35, y), Black);
        QCOMPARE(img.pixelColor(36, y), Black);
        QVERIFY(img.pixelColor(37, y) != Black);
        QVERIFY(img.pixelColor(35, y - 2) != Black);
    }

    // Body energy 40 puts the band's lines at 59.228125, 50.5296875, 30.3859375
    // and 21.6875 uA, that is at the rows nearest(H - H/180 level).
    void bandLines_data()
    {
        QTest::addColumn<int>("y");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("59.228125 uA") << 260 << Red;
        QTest::newRow("50.5296875 uA") << 278 << Olive;
        QTest::newRow("30.3859375 uA") << 322 << Olive;
        QTest::newRow("21.6875 uA") << 340 << Red;
    }
    void bandLines()
    {
        QFETCH(int, y);
        QFETCH(QColor, colour);
        ComparisonChart c = twoCurves(95, 120);
        c.bandSeries = 2;
        c.bandCentre = 40;
        const QImage img = renderComparisonChart(c, TwoRecordBox);
        // Dotted from the axis to the box's right edge.
        QVERIFY2(countInRow(img, y, 31, 599, colour) > 150,
                 qPrintable(QString::number(countInRow(img, y, 31, 599, colour))));
        QVERIFY(countInRow(img, y, 560, 599, colour) > 5);
        QCOMPARE(countInRow(img, y - 1, 31, 599, colour), 0);
        QCOMPARE(countInRow(img, y + 1, 31, 599, colour), 0);
        const QImage hidden = renderComparisonChart(twoCurves(95, 120), TwoRecordBox);
        QCOMPARE(countInRow(hidden, y, 31, 599, colour), 0);
    }

    // The base curve's red squares at 95 uA (row 183), the comparison's aqua ones at 60 (row 258).
    void markersOfBothCurves()
    {
        const QImage img = renderComparisonChart(twoCurves(95, 60), TwoRecordBox);
        for (int k : {0, 5, 12, 23}) {
            const int x = slotX(k);
            QCOMPARE(img.pixelColor(x - 3, 183 - 3), Red);
            QCOMPARE(img.pixelColor(x + 2, 183 - 3), Red);
            QVERIFY(img.pixelColor(x - 4, 183 - 3) != Red);
            QCOMPARE(img.pixelColor(x - 3, 258 - 3), Aqua);
            QCOMPARE(img.pixelColor(x + 2, 258 + 2), Aqua);
        }
        // The lines between them: blue dashes and teal dots on the marker rows.
        QVERIFY(countInRow(img, 183, slotX(3) + 4, slotX(4) - 4, Blue) > 5);
        QVERIFY(countInRow(img, 258, slotX(3) + 4, slotX(4) - 4, QColor(0, 128, 128)) > 3);
    }

    void onlyTheBaseBeforeALoad()
    {
        ComparisonChart c;
        c.series << all(95);
        const QImage img = renderComparisonChart(c, TwoRecordBox);
        QCOMPARE(img.pixelColor(slotX(4) - 3, 180), Red);
        QVERIFY(!anyIn(img, QRect(0, 0, 600, 417), [](QColor p) { return p == Aqua; }));
        // Legend: series 1 only, its square at nearest(W/7 3) + 38.
        QCOMPARE(img.pixelColor(244 + 40, 10), Red);
        QVERIFY(img.pixelColor(326 + 40, 10) != Aqua);
    }

    // The value order across: ZU1, ZU7, ZU2, ZU8 ...; one high point shows where it sits.
    void pointOrder_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("position");
        QTest::newRow("ZU1 first") << 1 << 0;
        QTest::newRow("ZU7 second") << 7 << 1;
        QTest::newRow("ZU12 twelfth") << 12 << 11;
        QTest::newRow("ZU13 thirteenth") << 13 << 12;
        QTest::newRow("ZU24 last") << 24 << 23;
    }
    void pointOrder()
    {
        QFETCH(int, point);
        QFETCH(int, position);
        ComparisonChart c;
        c.series << all(20);
        c.series[0][size_t(point - 1)] = 120; // row 387 - 258 = 129
        const QImage img = renderComparisonChart(c, TwoRecordBox);
        QCOMPARE(img.pixelColor(slotX(position) - 3, 126), Red);
        for (int k = 0; k < 24; ++k)
            if (k != position) QVERIFY(img.pixelColor(slotX(k) - 3, 126) != Red);
    }

    // 180 uA plots at the top row; more plots above it: nothing is clamped to the box.
    void highValuesAreNotClamped()
    {
        ComparisonChart c;
        c.series << all(95);
        c.series[0][size_t(9 - 1)] = 180;  // position 5
        c.series[0][size_t(10 - 1)] = 250; // position 7
        const QImage img = renderComparisonChart(c, TwoRecordBox);
        QCOMPARE(img.pixelColor(slotX(5) - 3, 0), Red);
        QCOMPARE(img.pixelColor(slotX(5) - 3, 2), Red);
        QVERIFY(img.pixelColor(slotX(5) - 3, 3) != Red);
        QVERIFY(!anyIn(img, QRect(slotX(7) - 3, 0, 6, 12), [](QColor p) { return p == Red; }));
        // The line still climbs out through the top between positions 6 and 7.
        QVERIFY(anyIn(img, QRect(slotX(6), 0, slotX(7) - slotX(6), 6), [](QColor p) { return p == Blue; }));
    }

    void columnLabelsUnderTheChart()
    {
        const QImage img = renderComparisonChart(twoCurves(95, 60), TwoRecordBox);
        auto reddish = [](QColor p) { return p.red() > 200 && p.green() < 90 && p.blue() < 90; };
        auto greenish = [](QColor p) { return p.green() > 90 && p.red() < 60 && p.blue() < 60; };
        auto blueish = [](QColor p) { return p.blue() > 180 && p.red() < 60 && p.green() < 60; };
        QVERIFY(anyIn(img, QRect(37, 402, 50, 15), reddish));  // "左   右"
        QVERIFY(anyIn(img, QRect(149, 402, 60, 15), reddish)); // "Hands  手" at nearest(95 + 24) + 30
        QVERIFY(anyIn(img, QRect(442, 402, 50, 15), reddish)); // "Feet 足" at nearest(380 + 32) + 30
        QVERIFY(anyIn(img, QRect(35, 371, 40, 15), greenish)); // " 肺  經" at H - 16
        QVERIFY(anyIn(img, QRect(42, 387, 30, 15), blueish));  // "  金" at H
        QVERIFY(!anyIn(img, QRect(0, 402, 30, 15), reddish));
    }

    // The two-record legend keys the marks that are no series: the
    // physiological band's lines while a band is drawn, the span of no real
    // change with its grey marker once a second record is loaded.
    void twoRecordLegendKeysTheBands_data()
    {
        QTest::addColumn<int>("bandSeries");
        QTest::addColumn<bool>("changeBand");
        QTest::newRow("neither") << 0 << false;
        QTest::newRow("the base's band") << 1 << false;
        QTest::newRow("the comparison's band and the span") << 2 << true;
    }
    void twoRecordLegendKeysTheBands()
    {
        QFETCH(int, bandSeries);
        QFETCH(bool, changeBand);
        ComparisonChart c = twoCurves(95, 60);
        c.bandSeries = bandSeries;
        c.bandCentre = 95;
        c.changeBand = changeBand;
        const QImage img = renderComparisonChart(c, TwoRecordBox);
        auto is = [](QColor want) { return [want](QColor p) { return p == want; }; };
        auto dark = [](QColor p) { return p.lightness() < 60; };
        // W = 570: the band's key at nearest(W / 7), the span's at nearest(5 W / 7), each label 24 further.
        const QRect bandKey(81, 2, 21, 16), changeKey(407, 2, 21, 16);
        QCOMPARE(anyIn(img, bandKey, is(Red)) && anyIn(img, bandKey, is(Olive)), bandSeries > 0);
        QCOMPARE(anyIn(img, QRect(105, 2, 40, 14), dark), bandSeries > 0);
        QCOMPARE(anyIn(img, changeKey, is(noChangeBandColour())) &&
                     anyIn(img, changeKey, is(noChangeMarkerColour())),
                 changeBand);
        QCOMPARE(anyIn(img, QRect(431, 2, 80, 14), dark), changeBand);
    }

    // Six series in their screen styles; the legend of series s at nearest(W/7 s).
    void multiLegendAndMarkers_data()
    {
        QTest::addColumn<int>("series");
        QTest::addColumn<int>("legendX");
        QTest::addColumn<QColor>("marker");
        QTest::newRow("1") << 1 << 82 << Red;
        QTest::newRow("2") << 2 << 164 << QColor(255, 255, 0);
        QTest::newRow("3") << 3 << 246 << White;
        QTest::newRow("4") << 4 << 328 << Aqua;
        QTest::newRow("5") << 5 << 410 << QColor(255, 0, 255);
        QTest::newRow("6") << 6 << 492 << QColor(0, 255, 0);
    }
    void multiLegendAndMarkers()
    {
        QFETCH(int, series);
        QFETCH(int, legendX);
        QFETCH(QColor, marker);
        ComparisonChart c;
        c.kind = ComparisonKind::Multi;
        for (int s = 1; s <= 6; ++s)
            c.series << all(10.0 + 20 * s);
        const QImage img = renderComparisonChart(c, MultiBox);
        QCOMPARE(img.size(), QSize(604, 417));
        QCOMPARE(img.pixelColor(legendX + 38, 6), marker);
        QCOMPARE(img.pixelColor(legendX + 45, 14), marker);
        QVERIFY(img.pixelColor(legendX + 37, 6) != marker);
        // W = 574: position 3 at nearest(71.75) + 42, value 10 + 20 s at 387 - nearest(2.15 v).
        const int x = int(std::nearbyint(574.0 / 24 * 3)) + 42;
        const int y = 387 - int(std::nearbyint(387.0 / 180 * (10.0 + 20 * series)));
        QCOMPARE(img.pixelColor(x - 3, y - 3), marker);
    }

    // On white (paper, a light theme) every marker keeps its fill and gets a
    // dark ring around it: white, yellow and aqua squares stay visible.
    void markersOutlinedOnWhite_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("series");
        QTest::addColumn<QColor>("fill");
        QTest::newRow("two-record base") << int(ComparisonKind::TwoRecord) << 1 << Red;
        QTest::newRow("two-record comparison") << int(ComparisonKind::TwoRecord) << 2 << Aqua;
        QTest::newRow("multi 2, yellow") << int(ComparisonKind::Multi) << 2 << QColor(255, 255, 0);
        QTest::newRow("multi 3, white") << int(ComparisonKind::Multi) << 3 << White;
        QTest::newRow("multi 6, lime") << int(ComparisonKind::Multi) << 6 << QColor(0, 255, 0);
    }
    void markersOutlinedOnWhite()
    {
        QFETCH(int, kind);
        QFETCH(int, series);
        QFETCH(QColor, fill);
        ComparisonChart c;
        c.kind = ComparisonKind(kind);
        for (int s = 1; s <= series; ++s)
            c.series << all(10.0 + 25 * s);
        QImage img(1200, 700, QImage::Format_RGB32); // an enlarged box
        img.fill(White);
        QPainter p(&img);
        ChartSurface surface(p);
        paintComparisonChart(surface, c, img.width(), img.height());
        const int W = img.width() - 30, H = img.height() - 30;
        const int x = int(std::nearbyint(W / 24.0 * 5)) + 42;
        const int y = H - int(std::nearbyint(H / 180.0 * (10.0 + 25 * series)));
        QCOMPARE(img.pixelColor(x - 3, y - 3), fill);
        QCOMPARE(img.pixelColor(x + 2, y + 2), fill);
        for (QPoint ring : {QPoint(x - 4, y - 4), QPoint(x + 3, y), QPoint(x, y + 3), QPoint(x - 4, y + 3)})
            QVERIFY(contrastRatio(img.pixelColor(ring), White) >= ReadableContrast);
    }
};

QTEST_MAIN(TestComparisonChart)
#include "test_comparison_chart.moc"
