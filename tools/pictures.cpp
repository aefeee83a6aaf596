#include "pictures.h"
#include "limbs.h"

#include "measurement/catalogue.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace lumo::pictures {
namespace {

const QColor Skin(246, 214, 186), SkinDark(214, 170, 140), Ink(70, 50, 40), Mark(220, 0, 0), Label(0, 0, 128);

QFont font(int px, bool bold = false)
{
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// A point on a drawing, and on which side of it (R, L, A above, B below) its name is written.
struct Spot
{
    const char* name;
    double x, y;
    char label;
};
struct Place
{
    PointView view;
    Spot point, near[2];
};

// Each source point and two neighbours on the drawing of its limb.
const Place Places[MeridianCount] = {
    {PointView::Palm, {nullptr, 142, 136, 'R'}, {{"大陵", 122, 137, 'B'}, {"魚際", 155, 112, 'R'}}},
    {PointView::Palm, {nullptr, 122, 137, 'B'}, {{"太淵", 142, 136, 'R'}, {"神門", 101, 136, 'L'}}},
    {PointView::Palm, {nullptr, 101, 136, 'L'}, {{"大陵", 122, 137, 'B'}, {"少府", 100, 102, 'R'}}},
    {PointView::Back, {nullptr, 91, 124, 'L'}, {{"後谿", 89, 99, 'L'}, {"陽谷", 97, 136, 'B'}}},
    {PointView::Back, {nullptr, 112, 136, 'B'}, {{"陽谿", 146, 132, 'R'}, {"陽谷", 97, 136, 'L'}}},
    {PointView::Back, {nullptr, 146, 132, 'R'}, {{"陽池", 112, 136, 'B'}, {"合谷", 153, 104, 'R'}}},
    {PointView::Medial, {nullptr, 164, 163, 'A'}, {{"大都", 190, 164, 'A'}, {"公孫", 126, 156, 'A'}}},
    {PointView::Dorsal, {nullptr, 110, 94, 'L'}, {{"行間", 113, 74, 'R'}, {"衝陽", 124, 122, 'R'}}},
    {PointView::Medial, {nullptr, 64, 120, 'B'}, {{"太谿", 69, 107, 'A'}, {"照海", 86, 121, 'R'}}},
    {PointView::Lateral, {nullptr, 166, 166, 'A'}, {{"足通谷", 190, 166, 'R'}, {"京骨", 138, 167, 'A'}}},
    {PointView::Lateral, {nullptr, 100, 128, 'R'}, {{"申脈", 80, 130, 'B'}, {"足臨泣", 146, 146, 'R'}}},
    {PointView::Dorsal, {nullptr, 124, 122, 'R'}, {{"解谿", 120, 151, 'R'}, {"陷谷", 132, 86, 'R'}}},
};

QPointF shown(QPointF at, bool mirrored)
{
    return mirrored ? QPointF(PointWidth - at.x(), at.y()) : at;
}

char shown(char label, bool mirrored)
{
    if (!mirrored || label == 'A' || label == 'B') return label;
    return label == 'R' ? 'L' : 'R';
}

// Texts on the drawing are written in the picture's own frame, never mirrored,
// with a white halo so that they stay legible over lines.
void drawLabel(QPainter& p, QPointF at, const QString& text, char where, const QColor& colour)
{
    const QFontMetricsF fm(p.font());
    const double w = fm.horizontalAdvance(text), h = fm.capHeight();
    const double dx = where == 'R' ? 7 : (where == 'L' ? -7 - w : -w / 2);
    const double dy = where == 'A' ? -7 : (where == 'B' ? 8 + h : h / 2);
    const QPointF o(qBound(2.0, at.x() + dx, PointWidth - 2 - w), at.y() + dy);
    QPainterPath path;
    path.addText(o, p.font(), text);
    p.strokePath(path, QPen(QColor(255, 255, 255, 230), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, colour);
}

// The rim of a prominence lit from the upper left, open where the light falls.
QPainterPath shadowArc(const QRectF& knob)
{
    QPainterPath arc;
    arc.arcMoveTo(knob, 170);
    arc.arcTo(knob, 170, 285);
    return arc;
}

void paintShaded(QPainter& p, const Drawing& d)
{
    for (int i = 1; i <= 4; ++i)
        p.fillPath(d.outline.translated(i * 0.8, i * 1.1), QColor(40, 50, 70, 16));
    const QRectF box = d.outline.boundingRect();
    QLinearGradient body(box.topLeft(), box.bottomRight());
    body.setColorAt(0, Skin.lighter(104));
    body.setColorAt(1, SkinDark);
    p.fillPath(d.outline, body);
    QRadialGradient light(box.center() - QPointF(box.width() * 0.12, box.height() * 0.12),
                          box.height() * 0.55);
    light.setColorAt(0, QColor(255, 242, 228, 130));
    light.setColorAt(1, QColor(255, 242, 228, 0));
    p.fillPath(d.outline, light);
    // Darker towards the outline, as a rounded limb is.
    p.save();
    p.setClipPath(d.outline);
    p.strokePath(d.outline, QPen(QColor(170, 115, 85, 55), 12));
    p.strokePath(d.outline, QPen(QColor(170, 115, 85, 55), 5));
    p.restore();
    for (const QRectF& k : d.knobs) {
        QRadialGradient g(k.center() - QPointF(k.width() * 0.15, k.height() * 0.2), k.width() * 0.6);
        g.setColorAt(0, QColor(255, 245, 235, 170));
        g.setColorAt(0.6, QColor(255, 245, 235, 40));
        g.setColorAt(1, QColor(160, 105, 75, 70));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(k);
        p.strokePath(shadowArc(k), QPen(QColor(165, 110, 85, 150), 1.1, Qt::SolidLine, Qt::RoundCap));
    }
    p.fillPath(d.nails, QColor(252, 228, 220));
    p.strokePath(d.nails, QPen(QColor(190, 140, 120), 0.9));
    p.strokePath(d.faint, QPen(QColor(205, 150, 120, 130), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.strokePath(d.lines, QPen(QColor(165, 110, 85, 210), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.strokePath(d.outline, QPen(QColor(160, 110, 85), 1.2));
}

void paintLines(QPainter& p, const Drawing& d, bool filled)
{
    if (filled) p.fillPath(d.outline, QColor(253, 236, 220));
    p.strokePath(d.faint, QPen(QColor(150, 130, 120), 0.9, Qt::DashLine));
    p.strokePath(d.lines, QPen(Ink, 1.1, Qt::SolidLine, Qt::RoundCap));
    p.strokePath(d.nails, QPen(Ink, 1));
    for (const QRectF& k : d.knobs)
        p.strokePath(shadowArc(k), QPen(Ink, 1.1, Qt::SolidLine, Qt::RoundCap));
    p.strokePath(d.outline, QPen(Ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QColor background(int style, double y)
{
    if (style != 1) return Qt::white;
    const double t = y / PointHeight;
    return QColor::fromRgbF(float((234 - 26 * t) / 255), float((238 - 23 * t) / 255),
                            float((243 - 18 * t) / 255));
}

// The leg of a side view leaves the picture through the title line: it fades
// out above the ankle instead of ending in a cut.
void fadeLeg(QPainter& p, int style)
{
    QLinearGradient fade(0, 0, 0, 50);
    QColor clear = background(style, 50);
    clear.setAlpha(0);
    fade.setColorAt(0, background(style, 0));
    fade.setColorAt(0.36, background(style, 18));
    fade.setColorAt(1, clear);
    p.fillRect(QRectF(0, 0, PointWidth, 50), fade);
}

QString viewText(PointView v)
{
    static const char* texts[] = {" 掌面", " 手背", " 內側", " 外側", " 足背"};
    return QString::fromUtf8(texts[int(v)]);
}

} // namespace

PointLayout pointLayout(int point)
{
    const Place& place = Places[int(meridianOfPoint(point))];
    PointLayout l;
    l.view = place.view;
    // Each limb is drawn once: a hand with the thumb on the viewer's right (right palm, left back), a
    // right foot from above (big toe on the left), a foot from the side with the toes on the right
    // (left foot's medial side, right foot's lateral side); the other side is its mirror image.
    const bool drawnAsRight = l.view != PointView::Back && l.view != PointView::Medial;
    l.mirrored = (sideOfPoint(point) == Side::Right) != drawnAsRight;
    QPointF first, last, joint;
    if (place.view == PointView::Palm || place.view == PointView::Back) {
        first = endOf(Thumb), last = endOf(Fingers[0]), joint = {121, 137};
    } else if (place.view == PointView::Dorsal) {
        first = endOf(Toes[0]), last = endOf(Toes[4]), joint = {121, 153};
    } else {
        first = {204, 161}, last = {50, 150},
        joint = place.view == PointView::Medial ? QPointF(86, 106) : QPointF(80, 114);
    }
    l.marker = shown(QPointF(place.point.x, place.point.y), l.mirrored);
    l.firstDigit = shown(first, l.mirrored);
    l.lastDigit = shown(last, l.mirrored);
    l.joint = shown(joint, l.mirrored);
    for (const Spot& s : place.near)
        l.landmarks.append({QString::fromUtf8(s.name), shown(QPointF(s.x, s.y), l.mirrored)});
    return l;
}

QImage pointPicture(int point, int style)
{
    const int m = int(meridianOfPoint(point));
    const Place& place = Places[m];
    const PointLayout layout = pointLayout(point);

    // The limb and its points are drawn in the drawing's own frame and the finished image is
    // flipped, so that a left and a right picture are exact mirror images; texts come after.
    QImage img(PointWidth, PointHeight, QImage::Format_RGB32);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient back(0, 0, 0, PointHeight);
        back.setColorAt(0, background(style, 0));
        back.setColorAt(1, background(style, PointHeight));
        p.fillRect(img.rect(), back);
        const Drawing drawing = drawingFor(place.view);
        if (style == 1)
            paintShaded(p, drawing);
        else
            paintLines(p, drawing, style == 3);
        if (place.view == PointView::Medial || place.view == PointView::Lateral) fadeLeg(p, style);
        p.setPen(QPen(Label, 1.4));
        p.setBrush(Qt::white);
        for (const Spot& s : place.near)
            if (style == 3) p.drawEllipse(QPointF(s.x, s.y), 3.5, 3.5);
        const QPointF at(place.point.x, place.point.y);
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(at, 8.5, 8.5);
        p.setPen(QPen(Qt::white, 2.5));
        p.setBrush(Mark);
        p.drawEllipse(at, 6.5, 6.5);
    }
    if (layout.mirrored) img = img.mirrored(true, false);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QString name = sourcePoint(Meridian(m));
    if (style == 3) {
        p.setFont(font(11));
        for (int i = 0; i < 2; ++i)
            drawLabel(p, layout.landmarks[i].at, layout.landmarks[i].name,
                      shown(place.near[i].label, layout.mirrored), Label);
        p.setFont(font(12, true));
        drawLabel(p, layout.marker, name.section(QLatin1Char(' '), 0, 0),
                  shown(place.point.label, layout.mirrored), QColor(150, 0, 0));
    }
    p.setPen(Label);
    p.setFont(font(13, true));
    p.drawText(QRectF(4, 2, PointWidth - 8, 18), Qt::AlignLeft, name);
    p.setFont(font(11));
    p.drawText(QRectF(4, 2, PointWidth - 8, 18), Qt::AlignRight, positionText(point) + viewText(place.view));
    return img;
}

QImage coursePicture(int meridian)
{
    QImage img(CourseWidth, CourseHeight, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A body outline, seen from the front.
    QPainterPath body;
    body.addEllipse(QPointF(180, 60), 32, 38);
    body.addRoundedRect(QRectF(168, 94, 24, 16), 4, 4);
    body.addRoundedRect(QRectF(126, 108, 108, 190), 30, 30);
    QPainterPath arm;
    arm.moveTo(232, 118);
    arm.lineTo(296, 300);
    arm.lineTo(280, 306);
    arm.lineTo(222, 150);
    arm.closeSubpath();
    body.addPath(arm);
    body.addPath(QTransform(-1, 0, 0, 1, 360, 0).map(arm));
    QPainterPath leg;
    leg.addRoundedRect(QRectF(186, 290, 40, 210), 16, 16);
    body.addPath(leg);
    body.addPath(QTransform(-1, 0, 0, 1, 360, 0).map(leg));
    body.addEllipse(QRectF(276, 298, 26, 34));
    body.addEllipse(QRectF(58, 298, 26, 34));
    body.addEllipse(QRectF(196, 494, 40, 22));
    body.addEllipse(QRectF(124, 494, 40, 22));
    p.fillPath(body.simplified(), QColor(250, 236, 222));
    p.setPen(QPen(QColor(150, 120, 100), 1.5));
    p.drawPath(body.simplified());

    // The course on the subject's left side (the right of the picture), schematic.
    static const QVector<QPointF> paths[12] = {
        {{200, 170}, {214, 128}, {238, 122}, {262, 190}, {284, 258}, {292, 300}, {298, 324}},
        {{196, 150}, {222, 136}, {246, 170}, {268, 230}, {285, 296}, {290, 330}},
        {{228, 124}, {240, 160}, {258, 220}, {276, 290}, {282, 328}},
        {{282, 328}, {280, 300}, {262, 240}, {244, 180}, {236, 124}, {206, 104}, {200, 66}},
        {{288, 330}, {286, 296}, {266, 230}, {248, 170}, {232, 118}, {210, 100}, {210, 52}},
        {{296, 326}, {292, 298}, {270, 230}, {250, 160}, {236, 116}, {196, 100}, {190, 70}},
        {{208, 512}, {206, 470}, {200, 380}, {196, 300}, {210, 240}, {216, 150}},
        {{210, 510}, {212, 470}, {208, 390}, {202, 310}, {214, 230}, {206, 196}},
        {{216, 516}, {216, 480}, {210, 400}, {198, 310}, {190, 240}, {194, 128}},
        {{194, 52}, {182, 24}, {206, 40}, {222, 110}, {224, 280}, {222, 380}, {226, 470}, {230, 512}},
        {{208, 58}, {214, 40}, {212, 90}, {236, 120}, {234, 200}, {226, 300}, {228, 420}, {228, 508}},
        {{192, 70}, {198, 96}, {206, 140}, {200, 240}, {206, 300}, {212, 400}, {216, 470}, {214, 512}},
    };
    const QVector<QPointF>& path = paths[meridian];
    p.setPen(QPen(meridian < 6 ? QColor(200, 0, 0) : QColor(0, 90, 200), 3, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.drawPolyline(path.constData(), int(path.size()));
    p.setBrush(QColor(0, 150, 0));
    p.setPen(QPen(Qt::white, 2));
    for (const QPointF& pt : {path.first(), path.last()})
        p.drawEllipse(pt, 4, 4);
    // The source point: at the wrist for the hand meridians, at the foot for the others.
    const QPointF source = meridian < 6 ? QPointF(288, 300) : QPointF(216, 490);
    p.setBrush(QColor(230, 0, 0));
    p.drawEllipse(source, 7, 7);
    p.setPen(Label);
    p.setFont(font(20, true));
    p.drawText(QRectF(0, 8, 150, 30), Qt::AlignLeft,
               channelName(Meridian(meridian)).remove(QLatin1Char(' ')));
    p.setFont(font(14));
    p.drawText(QRectF(0, 40, 150, 24), Qt::AlignLeft,
               QStringLiteral("測定點：") + sourcePoint(Meridian(meridian)));
    p.drawText(QRectF(0, 64, 150, 24), Qt::AlignLeft, englishLabel(Meridian(meridian)));
    p.setPen(QColor(230, 0, 0));
    p.drawText(source + QPointF(12, 6), sourcePoint(Meridian(meridian)).section(QLatin1Char(' '), 0, 0));
    return img;
}

} // namespace lumo::pictures
