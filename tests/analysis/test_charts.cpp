#include "analysis/charts.h"
#include "base/formats.h"

#include <QGuiApplication>
#include <QtTest>

using namespace lumo;

namespace {

constexpr int Width = 757, Height = 393;
const int L = 50, M = Height / 2, W = Width - 50;

EnergyAnalysis equalAt(double v)
{
    std::array<double, 24> e;
    e.fill(v);
    return *analyseCompensated(e, true);
}

bool isColour(const QImage& img, int x, int y, const QColor& c) { return img.pixelColor(x, y) == c; }

bool rowHasColour(const QImage& img, int y, int x1, int x2, const QColor& c)
{
    for (int x = x1; x <= x2; ++x)
        if (isColour(img, x, y, c)) return true;
    return false;
}

// A printed variant on white paper at 150 dots per inch, the box 30 mm from
// the left edge and 10 mm from the top, a legend line of 5 mm above it.
struct Paper
{
    PrintedChartSetting setting;
    QImage image;
    int left, top;

    Paper(int chart, const EnergyAnalysis& a, bool monochrome)
    {
        setting.dpi = 150;
        setting.lineHeight = setting.mm(5);
        setting.monochrome = monochrome;
        left = setting.mm(30);
        top = setting.mm(10);
        image = QImage(setting.mm(200), setting.mm(110), QImage::Format_RGB32);
        image.setDotsPerMeterX(int(150 / 0.0254));
        image.setDotsPerMeterY(int(150 / 0.0254));
        image.fill(Qt::white);
        QPainter p(&image);
        QFont font;
        font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
        font.setPointSize(10);
        p.setFont(font);
        ChartSurface s(p, QPoint(left, top));
        paintPrintedChart(chart, a, s, setting);
    }
    int mm(double v) const { return setting.mm(v); }
    // A pixel relative to the box's top-left corner.
    QColor at(int x, int y) const { return image.pixelColor(left + x, top + y); }
};

} // namespace

class TestCharts : public QObject
{
    Q_OBJECT
private slots:
    void axesTicksAndBandLines()
    {
        const EnergyAnalysis a = equalAt(40);
        const QImage img = renderChart(1, a, Width, Height);
        QVERIFY(isColour(img, L, 100, Qt::black));      // vertical axis, 3 px
        QVERIFY(isColour(img, L + 1, 100, Qt::black));
        QVERIFY(isColour(img, 300, M, Qt::black));      // midline
        // the first tick lies at y = 20 (19.65 rounded)
        QVERIFY(isColour(img, L + 5, 20, Qt::black));
        QVERIFY(!isColour(img, L + 5, 19, Qt::black));
        QVERIFY(!isColour(img, L + 5, 21, Qt::black));
        // band lines: M -+ M / BodyEnergy x limit
        const int redUpper = int(rnd(M - M / 40.0 * a.band.UpperOuterLimit));
        const int oliveLower = int(rnd(M + M / 40.0 * a.band.LowerInnerLimit));
        QVERIFY(rowHasColour(img, redUpper, L + 20, L + 100, QColor(255, 0, 0)));
        QVERIFY(rowHasColour(img, oliveLower, L + 20, L + 100, QColor(128, 128, 0)));
        QVERIFY(!rowHasColour(img, redUpper - 1, L + 20, L + 100, QColor(255, 0, 0)));
    }

    void equalValuesGiveFlatBars()
    {
        const QImage img = renderChart(1, equalAt(40), Width, Height);
        // No bar rises above the midline (the legend boxes sit above y = 21).
        for (int y = 25; y < M - 1; ++y)
            for (int x = L + 5; x < L + W; ++x)
                if (isColour(img, x, y, QColor(0, 128, 0))) QFAIL(qPrintable(QStringLiteral("green at %1,%2").arg(x).arg(y)));
    }

    void barExtentsAndColours()
    {
        std::array<double, 24> e;
        e.fill(40);
        e[0] = 150; // point 1, slot 1: far above, red, clamped at y = 5
        e[6] = 0;   // point 7, slot 2: energy 0 reaches the bottom
        auto a = *analyseCompensated(e, true);
        QCOMPARE(a.PointMark[0], 2);
        const QImage img = renderChart(1, a, Width, Height);
        const int x1 = L, x2 = int(rnd(W / 24.0 + L));
        QVERIFY(isColour(img, x1 + 5, 5, Qt::black));   // the bar's top outline at y = 5
        QVERIFY(!isColour(img, x1 + 5, 4, Qt::black));
        QVERIFY(rowHasColour(img, 30, x1 + 1, x2 - 2, QColor(255, 0, 0))); // red hatch
        // slot 2 runs down to rnd(M + M / BodyEnergy x |d|) = 2 M for an energy of 0
        const int s2 = int(rnd(W / 24.0 * 1)) + L;
        const int bottom = int(rnd(M + M / a.BodyEnergy * a.BodyEnergy));
        // (probed right of the red labels that share the bottom rows)
        QVERIFY(isColour(img, s2 + 20, bottom - 1, Qt::black));
        QVERIFY(!isColour(img, s2 + 20, bottom, Qt::black));
    }

    void curvePointsAreNotClamped()
    {
        std::array<double, 24> e;
        e.fill(40);
        e[0] = 150;
        const QImage img = renderChart(2, *analyseCompensated(e, true), Width, Height);
        // The point would lie above the top edge: nothing red is drawn in its slot near the top.
        QVERIFY(!rowHasColour(img, 5, L + 11, L + 19, QColor(255, 0, 0)));
    }

    void generatingTriangleAtThreshold_data()
    {
        QTest::addColumn<double>("share");
        QTest::addColumn<bool>("triangle");
        QTest::newRow("at the threshold") << 1.0 << true;
        QTest::newRow("just below") << 0.999 << false;
    }
    void generatingTriangleAtThreshold()
    {
        QFETCH(double, share);
        QFETCH(bool, triangle);
        EnergyAnalysis a = equalAt(40);
        const double sum = 1.8 * (a.band.UpperInnerLimit + a.band.LowerInnerLimit) * share;
        // the Wood column: D14 + D20 + D17 + D23
        a.Deviation.fill(0);
        a.Deviation[13] = sum;
        const QImage img = renderChart(5, a, Width, Height);
        const int xc = L + int(rnd(W / 6.0)) - int(rnd(W / 12.0));
        QCOMPARE(isColour(img, xc, 10, QColor(255, 255, 0)), triangle);
    }

    void autonomicPointsOnMidlineWhenEqual()
    {
        const QImage img = renderChart(9, equalAt(40), Width, Height);
        const int W9 = Width - 50;
        const int x1 = 50 + int(rnd(W9 / 16.0));
        QVERIFY(isColour(img, x1, Height / 2 - 3, QColor(0, 128, 0)));
        QVERIFY(isColour(img, x1, Height / 2 + 3, QColor(0, 128, 0)));
    }

    void ryodorakuDashHeight()
    {
        std::array<double, 24> e;
        e.fill(40);
        const auto a = *analyseCompensated(e, true);
        const QImage img = renderChart(8, a, Width, Height);
        const int H8 = Height - 50, W8 = Width - 50;
        const int top = H8 - int(rnd(H8 / 170.0 * 40));
        const int x = int(rnd(W8 / 24.0 * 0 + 3)) + 50 + 5;
        QVERIFY(isColour(img, x, top, QColor(0, 128, 0)));
        QVERIFY(!isColour(img, x, top - 4, QColor(0, 128, 0)));
    }

    void printedLegendColours_data()
    {
        QTest::addColumn<int>("chart");
        QTest::addColumn<bool>("monochrome");
        QTest::addColumn<QColor>("fair"); // the middle legend symbol
        QTest::newRow("curve, colour: yellow prints olive") << 2 << false << QColor(128, 128, 0);
        QTest::newRow("curve, monochrome") << 2 << true << QColor(Qt::black);
        QTest::newRow("Ryodoraku keeps yellow") << 8 << false << QColor(255, 255, 0);
        QTest::newRow("Ryodoraku, monochrome keeps yellow") << 8 << true << QColor(255, 255, 0);
    }
    void printedLegendColours()
    {
        QFETCH(int, chart);
        QFETCH(bool, monochrome);
        QFETCH(QColor, fair);
        const Paper paper(chart, equalAt(40), monochrome);
        // The legend sits in the line above the box, at 18/24 of the width;
        // the curve's box starts at the mark, the Ryodoraku's is centred on it.
        const int mark = int(rnd(paper.mm(150) / 24.0 * 18));
        const int x = chart == 2 ? mark + paper.mm(1.5) : mark;
        const int y = -paper.setting.lineHeight / 2;
        QCOMPARE(paper.at(x, y), fair);
    }

    void printedMonochromeCirclesForTheFirstSeries_data()
    {
        QTest::addColumn<int>("chart");
        QTest::addColumn<bool>("monochrome");
        QTest::addColumn<QColor>("centre");
        QTest::addColumn<QColor>("corner");
        QTest::newRow("yin-yang, colour: red square") << 3 << false << QColor(255, 0, 0) << QColor(255, 0, 0);
        QTest::newRow("yin-yang, monochrome: black circle") << 3 << true << QColor(Qt::black) << QColor(Qt::white);
        QTest::newRow("qi-blood, monochrome: black circle") << 4 << true << QColor(Qt::black) << QColor(Qt::white);
    }
    void printedMonochromeCirclesForTheFirstSeries()
    {
        QFETCH(int, chart);
        QFETCH(bool, monochrome);
        QFETCH(QColor, centre);
        QFETCH(QColor, corner);
        const Paper paper(chart, equalAt(40), monochrome);
        // The legend symbol of the first series, halfway along its line 7 mm
        // below the box top, 18 to 10 mm left of the page's 150 mm mark.
        const int mark = paper.mm(120);
        const int cx = (mark - paper.mm(18) + mark - paper.mm(10)) / 2, cy = paper.mm(7);
        QCOMPARE(paper.at(cx, cy), centre);
        QCOMPARE(paper.at(cx - paper.mm(1) + 1, cy - paper.mm(1) + 1), corner);
        // The second series stays a square: its corner is filled.
        QCOMPARE(paper.at(cx - paper.mm(1) + 1, paper.mm(14) - paper.mm(1) + 1),
                 monochrome ? QColor(Qt::black) : QColor(0, 128, 0));
    }

    void printedControllingPointsAreGreen()
    {
        const Paper paper(6, equalAt(40), false);
        const int PW = paper.mm(150), PH = paper.mm(90);
        // beside the column line, which is drawn again over the points
        const int px = int(rnd(PW / 6.0)) - int(rnd(PW / 12.0)) + 2;
        QCOMPARE(paper.at(px, PH / 2), QColor(0, 128, 0));
        const int sx = L + int(rnd(W / 6.0)) - int(rnd(W / 12.0)) + 2;
        QCOMPARE(renderChart(6, equalAt(40), Width, Height).pixelColor(sx, M), QColor(255, 0, 0)); // red on screen
    }

    void printedAxisLabelsEndThreeMillimetresLeftOfTheBox()
    {
        const Paper paper(1, equalAt(40), false);
        const int H = paper.mm(90);
        // The midline value (44.5 written "   40.0") ends 3 mm left of the box;
        // nothing is drawn between it and the axis.
        bool ink = false;
        for (int y = H / 2 - paper.mm(2); y < H / 2 + paper.mm(2); ++y) {
            for (int x = -paper.mm(3) + 1; x < -1; ++x) QCOMPARE(paper.at(x, y), QColor(Qt::white));
            for (int x = -paper.mm(12); x <= -paper.mm(3); ++x) ink = ink || paper.at(x, y) != QColor(Qt::white);
        }
        QVERIFY(ink);
    }

    void printedHatchKeepsTheScreenSpacing()
    {
        std::array<double, 24> e;
        e.fill(40);
        e[0] = 150; // slot 1: a tall red bar
        const Paper paper(1, *analyseCompensated(e, true), false);
        // Lines 8 screen pixels apart at 96 per inch: 12.5 pixels at 150 per inch.
        const int slot = int(rnd(paper.mm(150) / 24.0));
        const int y = paper.mm(90) / 4;
        int lines = 0, longestGap = 0, gap = 0;
        for (int x = 2; x < slot - 2; ++x) {
            const bool red = paper.at(x, y).red() > 200 && paper.at(x, y).green() < 100;
            if (red && gap > 0) ++lines;
            gap = red ? 0 : gap + 1;
            longestGap = std::max(longestGap, gap);
        }
        QVERIFY2(lines >= 2, qPrintable(QString::number(lines)));
        QVERIFY2(longestGap >= 9 && longestGap <= 13, qPrintable(QString::number(longestGap)));
    }

    void titlesAndNumbers()
    {
        QCOMPARE(chartTitle(8), QString::fromUtf8("良導絡分析圖"));
        QVERIFY(!isChartNumber(7));
        QVERIFY(isChartNumber(9));
        QCOMPARE(slotPoint(2), 7);
        QCOMPARE(slotPoint(13), 13);
        QCOMPARE(slotPoint(24), 24);
    }
};

QTEST_MAIN(TestCharts)
#include "test_charts.moc"
