#include "limbs.h"

#include <QTransform>

namespace lumo::pictures {
namespace {

QTransform frameOf(const Digit& d)
{
    return QTransform().translate(d.x, d.y).rotate(d.lean);
}

QPainterPath digitPath(const Digit& d)
{
    QPainterPath p;
    p.addRoundedRect(QRectF(-d.width / 2, -d.length, d.width, d.length + 12), d.width / 2, d.width / 2);
    return frameOf(d).map(p);
}

// A line across the digit at a fraction of its length from the base, bowed by `bow` pixels.
void across(QPainterPath& lines, const Digit& d, double at, double bow)
{
    const QTransform t = frameOf(d);
    const double y = -d.length * at, half = d.width / 2 - 2.5;
    lines.moveTo(t.map(QPointF(-half, y)));
    lines.quadTo(t.map(QPointF(0, y - bow)), t.map(QPointF(half, y)));
}

void nail(QPainterPath& nails, const Digit& d)
{
    QPainterPath n;
    n.addRoundedRect(QRectF(-d.width / 2 + 3, -d.length + 3, d.width - 6, qMin(12.0, d.length * 0.34)), 4, 4);
    nails.addPath(frameOf(d).map(n));
}

// A stroke: a start and one quadratic (two more points) or cubic (three more points) piece.
void curve(QPainterPath& p, std::initializer_list<double> xy)
{
    const double* v = xy.begin();
    p.moveTo(v[0], v[1]);
    if (xy.size() == 6)
        p.quadTo(v[2], v[3], v[4], v[5]);
    else
        p.cubicTo(v[2], v[3], v[4], v[5], v[6], v[7]);
}

QPainterPath handOutline()
{
    QPainterPath palm;
    palm.moveTo(86, 182);
    palm.cubicTo(88, 160, 94, 148, 93, 138);    // ulnar side of the forearm
    palm.cubicTo(86, 124, 83, 108, 84, 90);     // ulnar border of the hand
    palm.cubicTo(100, 84, 140, 80, 150, 84);    // under the fingers
    palm.cubicTo(158, 98, 164, 118, 148, 138);  // ball of the thumb
    palm.cubicTo(148, 150, 152, 162, 156, 182); // radial side of the forearm
    palm.closeSubpath();
    for (const Digit& f : Fingers)
        palm = palm.united(digitPath(f));
    return palm.united(digitPath(Thumb));
}

Drawing handDrawing(bool palm)
{
    Drawing d;
    d.outline = handOutline();
    if (palm) {
        for (const Digit& f : Fingers) {
            across(d.lines, f, 0.36, -1.5);
            across(d.lines, f, 0.66, -1.5);
        }
        across(d.lines, Thumb, 0.5, -1.5);
        curve(d.lines, {85, 100, 104, 94, 124, 97, 138, 89});    // heart line
        curve(d.lines, {153, 98, 132, 100, 110, 106, 94, 118});  // head line
        curve(d.lines, {153, 98, 136, 106, 128, 118, 129, 132}); // around the ball of the thumb
        curve(d.lines, {95, 136, 121, 141, 146, 135});           // the wrist creases
        curve(d.faint, {97, 143, 121, 147, 146, 142});
        for (const QLineF& tendon :
             {QLineF(98, 146, 95, 180), QLineF(117, 147, 118, 180), QLineF(129, 147, 132, 180)}) {
            d.faint.moveTo(tendon.p1());
            d.faint.lineTo(tendon.p2());
        }
    } else {
        for (const Digit& f : Fingers) {
            nail(d.nails, f);
            across(d.lines, f, 0.62, 2.5);
            across(d.lines, f, 0.30, 2);
            curve(d.lines, {f.x - 5, f.y + 5, f.x, f.y + 1, f.x + 5, f.y + 5}); // the knuckle
            curve(d.faint, {f.x, f.y + 9, f.x + (121 - f.x) * 0.3, 120, 114 + (f.x - 92) * 0.2,
                            137}); // its extensor tendon
        }
        nail(d.nails, Thumb);
        across(d.lines, Thumb, 0.52, 2.5);
        curve(d.faint, {95, 136, 121, 133, 147, 135}); // the dorsal wrist crease
        d.knobs = {QRectF(96, 143, 10, 10)};           // head of the ulna
    }
    return d;
}

Drawing dorsalFootDrawing()
{
    Drawing d;
    QPainterPath foot;
    foot.moveTo(98, 182);
    foot.cubicTo(96, 170, 84, 164, 89, 148);    // medial malleolus
    foot.cubicTo(94, 128, 86, 104, 87, 74);     // medial border, widest at the big toe's joint
    foot.cubicTo(110, 62, 152, 66, 175, 86);    // under the toes
    foot.cubicTo(174, 112, 162, 132, 158, 150); // lateral border, narrowing to the heel
    foot.cubicTo(168, 160, 158, 174, 150, 182); // lateral malleolus, lower than the medial one
    foot.closeSubpath();
    for (const Digit& t : Toes) {
        foot = foot.united(digitPath(t));
        nail(d.nails, t);
        if (&t != &Toes[0]) { // the long extensor's tendons converge on the front of the ankle
            curve(d.faint, {t.x, t.y + 6, (t.x + 128) / 2, 120, 128, 150});
        }
    }
    d.outline = foot;
    curve(d.faint, {101, 78, 104, 110, 108, 136, 112, 150}); // the big toe's extensor
    curve(d.lines, {92, 151, 124, 157, 160, 151});           // the front of the ankle
    return d;
}

Drawing sideFootDrawing(bool medial)
{
    Drawing d;
    QPainterPath& f = d.outline;
    f.moveTo(52, 0);
    f.cubicTo(58, 40, 64, 84, 56, 112);   // back of the leg, narrowing to the Achilles tendon
    f.cubicTo(42, 126, 34, 160, 58, 170); // heel
    if (medial) {
        f.cubicTo(80, 176, 96, 170, 118, 164); // the arch
        f.cubicTo(138, 160, 156, 172, 178, 172);
    } else {
        f.cubicTo(90, 176, 150, 174, 182, 174); // the outer border rests on the ground
    }
    f.cubicTo(196, 173, 214, 172, 214, 161); // toes
    f.cubicTo(214, 151, 202, 149, 188, 147);
    f.cubicTo(160, 136, 126, 116, 112, 100); // the instep up to the ankle
    f.cubicTo(104, 80, 100, 40, 104, 0);     // front of the leg
    f.closeSubpath();
    curve(d.faint, {66, 20, 70, 60, 68, 96, 60, 116}); // the Achilles tendon
    curve(d.faint, {58, 163, 90, medial ? 164.0 : 168.0, 120, medial ? 154.0 : 167.0, 200,
                    166}); // where the skin of the sole meets the skin of the side
    d.knobs = {QRectF(medial ? QPointF(76, 97) : QPointF(70, 105), QSizeF(20, 18))}; // the malleolus
    if (medial) {
        curve(d.nails, {196, 149, 206, 148, 210, 153}); // nail and joint crease of the big toe
        curve(d.lines, {185, 150, 182, 160, 185, 170});
    } else {
        curve(d.faint, {119, 170, 128, 162, 138, 169});           // tuberosity of the fifth metatarsal
        curve(d.lines, {184, 173, 198, 173, 203, 166, 199, 160}); // the little toe in front of the others
        curve(d.lines, {186, 150, 182, 162, 185, 172});           // its joint crease
    }
    return d;
}

} // namespace

// The centre of the rounded end, well inside the digit.
QPointF endOf(const Digit& d)
{
    return frameOf(d).map(QPointF(0, -d.length + d.width / 2));
}

Drawing drawingFor(PointView v)
{
    if (v == PointView::Palm || v == PointView::Back) return handDrawing(v == PointView::Palm);
    return v == PointView::Dorsal ? dorsalFootDrawing() : sideFootDrawing(v == PointView::Medial);
}

} // namespace lumo::pictures
