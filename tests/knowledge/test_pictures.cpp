// The delivered point pictures checked against anatomy: which way the thumb and
// the big toe point for a left and a right limb in each view, where each source
// point lies relative to the wrist crease, the malleolus and the borders, where
// its neighbours lie, and that the picture shows what its layout says.

#include "pictures.h"

#include "measurement/catalogue.h"

#include <QtTest>

using namespace lumo;
using namespace lumo::pictures;

namespace {

using View = PointView;

// Where the thumb (big toe; in side views the toes) must be, +1 the viewer's right, -1 the left.
int expectedDigitSide(View view, Side side)
{
    const int left = side == Side::Left ? 1 : -1;
    switch (view) {
    case View::Palm:
        return -left; // palm to the viewer, fingers up: a left thumb is on the viewer's left
    case View::Back:
        return left; // back of a left hand: its thumb is on the viewer's right
    case View::Dorsal:
        return left; // from above, toes up: a right big toe is on the viewer's left
    case View::Medial:
        return left; // the inner side of a left foot: its toes point to the viewer's right
    case View::Lateral:
        return -left; // the outer side of a left foot: its toes point to the left
    }
    return 0;
}

bool sideView(View v)
{
    return v == View::Medial || v == View::Lateral;
}
int sign(double v)
{
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

QRgb pixelAt(const QImage& img, QPointF p)
{
    return img.pixel(int(std::floor(p.x())), int(std::floor(p.y())));
}
// In the shaded style skin is warm and the background and its shadow are cool.
bool isSkin(QRgb c)
{
    return qRed(c) - qBlue(c) > 25 && qGreen(c) > 60;
}
bool isBackground(QRgb c)
{
    return qRed(c) - qBlue(c) < 8;
}
bool isRed(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 70 && qBlue(c) < 70;
}

// Unit vectors in the picture: `across` towards the thumb or big toe (side views: up, away from
// the sole), `distal` towards the fingers or toes.
struct Frame
{
    QPointF across, distal;
};

Frame anatomicalFrame(const PointLayout& l)
{
    if (sideView(l.view)) return {QPointF(0, -1), QPointF(sign(l.firstDigit.x() - l.lastDigit.x()), 0)};
    return {QPointF(sign(l.firstDigit.x() - l.joint.x()), 0), QPointF(0, -1)};
}

double dot(QPointF a, QPointF b)
{
    return a.x() * b.x() + a.y() * b.y();
}

// The length of the run of pixels lighter than the ink, through p, along the row.
int runWidth(const QImage& img, QPointF p)
{
    const int y = int(p.y());
    auto light = [&](int x) { return x >= 0 && x < img.width() && qGray(img.pixel(x, y)) > 160; };
    int a = int(p.x()), b = int(p.x());
    while (light(a - 1))
        --a;
    while (light(b + 1))
        ++b;
    return b - a + 1;
}

// Runs of skin at least 5 pixels long across a row.
int skinRuns(const QImage& img, int y)
{
    int runs = 0, length = 0;
    for (int x = 0; x <= img.width(); ++x) {
        if (x < img.width() && isSkin(img.pixel(x, y))) {
            ++length;
        } else {
            runs += length >= 5;
            length = 0;
        }
    }
    return runs;
}

View viewOf(int meridian)
{
    static const View views[MeridianCount] = {View::Palm,   View::Palm,    View::Palm,    View::Back,
                                              View::Back,   View::Back,    View::Medial,  View::Dorsal,
                                              View::Medial, View::Lateral, View::Lateral, View::Dorsal};
    return views[meridian];
}

QVector<int> bothSides(int meridian)
{
    return {leftPointOf(Meridian(meridian)), rightPointOf(Meridian(meridian))};
}

QString code(int meridian)
{
    return sourcePoint(Meridian(meridian)).section(QLatin1Char(' '), 1);
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT
private slots:
    void markerIsRedWhereTheLayoutSays_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("style");
        for (int p = 1; p <= PointCount; ++p)
            for (int style = 1; style <= 3; ++style)
                QTest::addRow("%s", qPrintable(pictureFileName(p, style))) << p << style;
    }

    void markerIsRedWhereTheLayoutSays()
    {
        QFETCH(int, point);
        QFETCH(int, style);
        const QImage img = pointPicture(point, style);
        QCOMPARE(img.size(), QSize(PointWidth, PointHeight));
        const QPointF marker = pointLayout(point).marker;
        QVERIFY(isRed(pixelAt(img, marker)));
        // The red drawn on the limb is the marker and nothing else.
        QPointF sum;
        int count = 0;
        for (int y = 22; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (isRed(img.pixel(x, y))) sum += QPointF(x + 0.5, y + 0.5), ++count;
        QVERIFY(count > 60);
        const QPointF centre = sum / count;
        QVERIFY2(QLineF(centre, marker).length() < 1.5,
                 qPrintable(QStringLiteral("red centre %1,%2").arg(centre.x()).arg(centre.y())));
    }

    void thumbAndBigToeOnTheirAnatomicalSide_data()
    {
        QTest::addColumn<int>("point");
        for (int p = 1; p <= PointCount; ++p)
            QTest::addRow("%d %s %s", p, qPrintable(code(int(meridianOfPoint(p)))),
                          sideOfPoint(p) == Side::Left ? "left" : "right")
                << p;
    }

    void thumbAndBigToeOnTheirAnatomicalSide()
    {
        QFETCH(int, point);
        const PointLayout l = pointLayout(point);
        QCOMPARE(l.view, viewOf(int(meridianOfPoint(point))));
        const int side = expectedDigitSide(l.view, sideOfPoint(point));
        const QImage shaded = pointPicture(point, 1);
        for (QPointF p : {l.firstDigit, l.lastDigit, l.joint})
            if (QLineF(p, l.marker).length() > 11)
                QVERIFY(isSkin(pixelAt(shaded, p))); // not under the marker
        if (sideView(l.view)) {
            QCOMPARE(sign(l.firstDigit.x() - l.lastDigit.x()), side);
            // Nothing of the foot where the toes would be if they pointed the other way.
            QVERIFY(isBackground(pixelAt(shaded, QPointF(PointWidth - l.firstDigit.x(), l.firstDigit.y()))));
            return;
        }
        QCOMPARE(sign(l.firstDigit.x() - l.joint.x()), side);
        QCOMPARE(sign(l.lastDigit.x() - l.joint.x()), -side);
        if (l.view == View::Dorsal) {
            // The big toe is the broad one.
            const QImage lines = pointPicture(point, 2);
            QVERIFY(runWidth(lines, l.firstDigit) > 1.5 * runWidth(lines, l.lastDigit));
        } else {
            QVERIFY(
                isBackground(pixelAt(shaded, QPointF(2 * l.joint.x() - l.firstDigit.x(), l.firstDigit.y()))));
            QCOMPARE(skinRuns(shaded, int(l.lastDigit.y()) + 4), 4); // four fingers, the thumb lower down
        }
    }

    // Offsets from the middle of the wrist crease (hand), of the ankle (foot from above) or from
    // the malleolus (side views), in pixels along the anatomical frame; a point on the ulnar border
    // or the sole border has nothing of the limb 13 pixels beyond it.
    void pointsAtTheirStandardPlace_data()
    {
        QTest::addColumn<int>("meridian");
        QTest::addColumn<QPointF>("across"); // least and most
        QTest::addColumn<QPointF>("distal");
        QTest::addColumn<bool>("onBorder");
        QTest::newRow("LU9 radial end of the palmar wrist crease")
            << 0 << QPointF(12, 40) << QPointF(-5, 5) << false;
        QTest::newRow("PC7 middle of the palmar wrist crease")
            << 1 << QPointF(-4, 4) << QPointF(-5, 5) << false;
        QTest::newRow("HT7 ulnar end of the palmar wrist crease")
            << 2 << QPointF(-40, -12) << QPointF(-5, 5) << false;
        QTest::newRow("SI4 ulnar border, distal to the wrist")
            << 3 << QPointF(-45, -20) << QPointF(6, 30) << true;
        QTest::newRow("SJ4 dorsal crease, just ulnar of the middle")
            << 4 << QPointF(-14, -1) << QPointF(-5, 5) << false;
        QTest::newRow("LI5 radial end of the dorsal crease")
            << 5 << QPointF(12, 40) << QPointF(-2, 10) << false;
        QTest::newRow("SP3 medial border behind the big toe's joint")
            << 6 << QPointF(-80, -40) << QPointF(50, 110) << true;
        QTest::newRow("LR3 between first and second metatarsals")
            << 7 << QPointF(3, 25) << QPointF(40, 80) << false;
        QTest::newRow("KI4 behind and below the medial malleolus")
            << 8 << QPointF(-25, -4) << QPointF(-35, -8) << false;
        QTest::newRow("BL65 lateral border behind the little toe's joint")
            << 9 << QPointF(-80, -40) << QPointF(60, 120) << true;
        QTest::newRow("GB40 in front of and below the lateral malleolus")
            << 10 << QPointF(-25, -4) << QPointF(8, 35) << false;
        QTest::newRow("ST42 top of the dorsum, second and third metatarsals")
            << 11 << QPointF(-10, 5) << QPointF(15, 50) << false;
    }

    void pointsAtTheirStandardPlace()
    {
        QFETCH(int, meridian);
        QFETCH(QPointF, across);
        QFETCH(QPointF, distal);
        QFETCH(bool, onBorder);
        for (int point : bothSides(meridian)) {
            const PointLayout l = pointLayout(point);
            const Frame f = anatomicalFrame(l);
            const double a = dot(l.marker - l.joint, f.across), d = dot(l.marker - l.joint, f.distal);
            const QString where = QStringLiteral("point %1: across %2, distal %3").arg(point).arg(a).arg(d);
            QVERIFY2(a >= across.x() && a <= across.y(), qPrintable(where));
            QVERIFY2(d >= distal.x() && d <= distal.y(), qPrintable(where));
            const QRgb beyond = pixelAt(pointPicture(point, 1), l.marker - 13 * f.across);
            if (onBorder) QVERIFY2(isBackground(beyond), qPrintable(where));
        }
    }

    void footPointsInTheirOrder()
    {
        for (Side side : {Side::Left, Side::Right}) {
            auto layout = [&](Meridian m) {
                return pointLayout(side == Side::Left ? leftPointOf(m) : rightPointOf(m));
            };
            const PointLayout lr3 = layout(Meridian::Liver), st42 = layout(Meridian::Stomach);
            const Frame f = anatomicalFrame(lr3);
            // LR3 lies nearer the big toe and nearer the toes than ST42 on the top of the foot.
            QVERIFY(dot(lr3.marker - st42.marker, f.across) > 8);
            QVERIFY(dot(lr3.marker - st42.marker, f.distal) > 15);
            // On the lateral side BL65, by the little toe's joint, is far in front of GB40 at the ankle.
            const PointLayout bl65 = layout(Meridian::Bladder), gb40 = layout(Meridian::GallBladder);
            QVERIFY(dot(bl65.marker - gb40.marker, anatomicalFrame(bl65).distal) > 40);
        }
    }

    // The neighbours of style 3, by name, and on which side of the point they lie
    // (+1, -1, or 0 for either) along the anatomical frame.
    void neighboursAroundThePoint_data()
    {
        QTest::addColumn<int>("meridian");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QVector<int>>("across");
        QTest::addColumn<QVector<int>>("distal");
        auto row = [](int m, const char* a, const char* b, QVector<int> across, QVector<int> distal) {
            QTest::newRow(qPrintable(code(m)))
                << m << QStringList{QString::fromUtf8(a), QString::fromUtf8(b)} << across << distal;
        };
        row(0, "大陵", "魚際", {-1, 0}, {0, 1});
        row(1, "太淵", "神門", {1, -1}, {0, 0});
        row(2, "大陵", "少府", {1, 0}, {0, 1});
        row(3, "後谿", "陽谷", {0, 0}, {1, -1});
        row(4, "陽谿", "陽谷", {1, -1}, {0, 0});
        row(5, "陽池", "合谷", {-1, 0}, {0, 1});
        row(6, "大都", "公孫", {0, 0}, {1, -1});
        row(7, "行間", "衝陽", {0, -1}, {1, -1});
        row(8, "太谿", "照海", {1, 0}, {0, 1});
        row(9, "足通谷", "京骨", {0, 0}, {1, -1});
        row(10, "申脈", "足臨泣", {0, 0}, {-1, 1});
        row(11, "解谿", "陷谷", {0, 0}, {-1, 1});
    }

    void neighboursAroundThePoint()
    {
        QFETCH(int, meridian);
        QFETCH(QStringList, names);
        QFETCH(QVector<int>, across);
        QFETCH(QVector<int>, distal);
        for (int point : bothSides(meridian)) {
            const PointLayout l = pointLayout(point);
            const Frame f = anatomicalFrame(l);
            const QImage shaded = pointPicture(point, 1);
            QCOMPARE(l.landmarks.size(), names.size());
            for (int i = 0; i < names.size(); ++i) {
                const PictureLandmark& n = l.landmarks[i];
                QCOMPARE(n.name, names[i]);
                QVERIFY2(isSkin(pixelAt(shaded, n.at)), qPrintable(n.name));
                QVERIFY(QLineF(n.at, l.marker).length() >= 10); // not hidden under the marker
                const QPointF off = n.at - l.marker;
                if (across[i]) QVERIFY2(sign(dot(off, f.across)) == across[i], qPrintable(n.name));
                if (distal[i]) QVERIFY2(sign(dot(off, f.distal)) == distal[i], qPrintable(n.name));
            }
        }
    }

    // A neighbour that is itself a measured point of the same view sits where that point is marked.
    void neighboursAgreeWithTheMarkedPoints()
    {
        int compared = 0;
        for (int p = 1; p <= PointCount; ++p)
            for (const PictureLandmark& n : pointLayout(p).landmarks)
                for (int q = 1; q <= PointCount; ++q) {
                    const PointLayout other = pointLayout(q);
                    if (sourcePoint(meridianOfPoint(q)).startsWith(n.name + QLatin1Char(' ')) &&
                        other.view == pointLayout(p).view && sideOfPoint(q) == sideOfPoint(p)) {
                        QVERIFY2(QLineF(n.at, other.marker).length() < 1, qPrintable(n.name));
                        ++compared;
                    }
                }
        QVERIFY(compared >= 12);
    }

    void rightIsTheMirrorImageOfLeft_data()
    {
        QTest::addColumn<int>("meridian");
        QTest::addColumn<int>("style");
        for (int m = 0; m < MeridianCount; ++m)
            for (int style = 1; style <= 2; ++style)
                QTest::addRow("%s style %d", qPrintable(code(m)), style) << m << style;
    }

    void rightIsTheMirrorImageOfLeft()
    {
        QFETCH(int, meridian);
        QFETCH(int, style);
        const int left = leftPointOf(Meridian(meridian)), right = rightPointOf(Meridian(meridian));
        const QImage l = pointPicture(left, style), r = pointPicture(right, style);
        auto differing = [&](const QImage& a, const QImage& b) {
            int n = 0;
            for (int y = 22; y < PointHeight; ++y)
                for (int x = 0; x < PointWidth; ++x) {
                    const QRgb c = a.pixel(x, y), d = b.pixel(PointWidth - 1 - x, y);
                    n += qAbs(qRed(c) - qRed(d)) + qAbs(qGreen(c) - qGreen(d)) + qAbs(qBlue(c) - qBlue(d)) >
                         30;
                }
            return n;
        };
        const int pixels = PointWidth * (PointHeight - 22);
        QVERIFY2(differing(l, r) < pixels / 500, qPrintable(QString::number(differing(l, r))));
        QVERIFY(differing(l, l) > pixels / 50); // and a limb is no mirror image of itself
        const PointLayout a = pointLayout(left), b = pointLayout(right);
        QCOMPARE(a.mirrored, !b.mirrored);
        QCOMPARE(a.marker, QPointF(PointWidth - b.marker.x(), b.marker.y()));
        for (int i = 0; i < a.landmarks.size(); ++i)
            QCOMPARE(a.landmarks[i].at, QPointF(PointWidth - b.landmarks[i].at.x(), b.landmarks[i].at.y()));
    }

    // The title is written the same way in a left and a right picture, never mirrored with the limb.
    void titlesAreNotMirrored()
    {
        for (int m = 0; m < MeridianCount; ++m)
            for (int style = 1; style <= 3; ++style) {
                const QRect title(0, 0, 110, 18);
                const QImage l = pointPicture(leftPointOf(Meridian(m)), style).copy(title);
                const QImage r = pointPicture(rightPointOf(Meridian(m)), style).copy(title);
                QCOMPARE(l, r);
                int ink = 0;
                for (int y = 0; y < l.height(); ++y)
                    for (int x = 0; x < 60; ++x)
                        ink += qBlue(l.pixel(x, y)) > 2 * qRed(l.pixel(x, y)) + 40;
                QVERIFY(ink > 30); // the title is there, at the left
            }
    }
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
