#include "pictures.h"

#include "measurement/catalogue.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace lumo::pictures {
namespace {

QString u(const char* s) { return QString::fromUtf8(s); }
const QColor Skin(246, 214, 186), SkinDark(214, 170, 140), Ink(70, 50, 40), Mark(220, 0, 0), Label(0, 0, 128);

QFont font(int px, bool bold = false)
{
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// A left hand seen from the palm (thumb to the right) or the back (thumb to the left).
QPainterPath handPath(bool palm)
{
    QPainterPath p;
    p.addRoundedRect(QRectF(78, 62, 96, 92), 22, 22); // palm
    const double fingers[4][3] = {{84, 14, 20}, {106, 6, 21}, {129, 10, 20}, {151, 26, 18}};
    for (auto& f : fingers) p.addRoundedRect(QRectF(f[0], f[1], f[2], 70 - f[1] + 16), 9, 9);
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(0, 0, 20, 62), 10, 10);
    QTransform t;
    t.translate(176, 72);
    t.rotate(-32);
    p.addPath(t.map(thumb));
    p.addRect(QRectF(92, 148, 70, 32)); // wrist
    QPainterPath simplified = p.simplified();
    if (!palm) simplified = QTransform(-1, 0, 0, 1, PointWidth, 0).map(simplified);
    return simplified;
}

// A right foot from above: the big toe to the left (medial).
QPainterPath footPath()
{
    QPainterPath p;
    QPainterPath sole;
    sole.moveTo(70, 170);
    sole.cubicTo(50, 120, 48, 80, 62, 52);
    sole.cubicTo(90, 40, 150, 44, 186, 70);
    sole.cubicTo(196, 110, 186, 150, 168, 178);
    sole.closeSubpath();
    p.addPath(sole);
    const double toes[5][4] = {{58, 14, 30, 46}, {92, 18, 22, 36}, {116, 24, 20, 32}, {138, 32, 19, 30}, {158, 44, 18, 28}};
    for (auto& t : toes) p.addEllipse(QRectF(t[0], t[1], t[2], t[3]));
    return p.simplified();
}

struct Landmark
{
    QPointF at;
    const char* name;
};

// The point's place on the right limb and the neighbouring landmarks of style 3.
QPointF pointPlace(int meridian, QVector<Landmark>& near, bool& palm)
{
    palm = meridian <= 2;
    switch (meridian) {
    case 0: near = {{{120, 150}, "大陵"}, {{150, 120}, "魚際"}}; return {152, 152};
    case 1: near = {{{152, 152}, "太淵"}, {{92, 150}, "神門"}}; return {122, 152};
    case 2: near = {{{122, 152}, "大陵"}, {{88, 128}, "少府"}}; return {92, 152};
    case 3: near = {{{120, 152}, "陽池"}, {{84, 96}, "後谿"}}; return {82, 134};
    case 4: near = {{{152, 152}, "陽谿"}, {{82, 134}, "腕骨"}}; return {120, 152};
    case 5: near = {{{120, 152}, "陽池"}, {{150, 100}, "合谷"}}; return {154, 150};
    case 6: near = {{{66, 52}, "大都"}, {{68, 150}, "公孫"}}; return {60, 98};
    case 7: near = {{{90, 60}, "行間"}, {{112, 132}, "衝陽"}}; return {92, 100};
    case 8: near = {{{74, 172}, "太谿"}, {{60, 98}, "太白"}}; return {68, 160};
    case 9: near = {{{176, 60}, "足通谷"}, {{172, 150}, "京骨"}}; return {184, 100};
    case 10: near = {{{176, 100}, "束骨"}, {{140, 160}, "解谿"}}; return {168, 158};
    default: near = {{{130, 160}, "解谿"}, {{92, 100}, "太衝"}}; return {112, 132};
    }
}

} // namespace

QImage pointPicture(int point, int style)
{
    const int m = int(meridianOfPoint(point));
    const bool hand = m < 6;
    // The hand is drawn as a mirrored hand and the foot as a right foot; the other side is mirrored.
    const bool mirrored = hand ? sideOfPoint(point) == Side::Right : sideOfPoint(point) == Side::Left;
    QVector<Landmark> near;
    bool palm = false;
    QPointF at = pointPlace(m, near, palm);

    QImage img(PointWidth, PointHeight, QImage::Format_RGB32);
    img.fill(style == 1 ? QColor(226, 232, 238) : Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (mirrored) p.setTransform(QTransform(-1, 0, 0, 1, PointWidth, 0));
    const QPainterPath limb = hand ? handPath(palm) : footPath();
    if (style == 1) {
        QLinearGradient g(0, 0, PointWidth, PointHeight);
        g.setColorAt(0, Skin.lighter(106));
        g.setColorAt(1, SkinDark);
        p.fillPath(limb, g);
        p.setPen(QPen(SkinDark.darker(130), 1.5));
    } else {
        p.setPen(QPen(Ink, 2));
    }
    p.drawPath(limb);
    if (hand) {
        p.setPen(QPen(style == 1 ? SkinDark.darker(140) : Ink, 1, Qt::DashLine));
        p.drawLine(QPointF(80, 150), QPointF(172, 150)); // the wrist crease
    }
    if (style == 3) {
        p.setPen(QPen(Label, 1));
        for (const Landmark& l : near) p.drawEllipse(l.at, 3, 3);
    }
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Mark);
    p.drawEllipse(at, 7, 7);
    p.resetTransform();
    const QPointF shown = mirrored ? QPointF(PointWidth - at.x(), at.y()) : at;

    // Texts are written unmirrored.
    p.setPen(Label);
    p.setFont(font(13, true));
    const QString name = sourcePoint(Meridian(m));
    p.drawText(QRectF(4, 2, PointWidth - 8, 18), Qt::AlignLeft, name);
    p.setFont(font(11));
    p.drawText(QRectF(4, 2, PointWidth - 8, 18), Qt::AlignRight,
               positionText(point) + (hand ? (palm ? u(" 掌面") : u(" 手背")) : u(" 足部")));
    if (style == 3) {
        p.setFont(font(10));
        for (const Landmark& l : near) {
            const QPointF pos = mirrored ? QPointF(PointWidth - l.at.x(), l.at.y()) : l.at;
            p.drawText(pos + QPointF(5, -4), u(l.name));
        }
        p.setPen(Mark);
        p.drawLine(shown, shown + QPointF(shown.x() < PointWidth / 2 ? 26 : -26, 16));
    }
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
    p.setPen(QPen(meridian < 6 ? QColor(200, 0, 0) : QColor(0, 90, 200), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(path.constData(), int(path.size()));
    p.setBrush(QColor(0, 150, 0));
    p.setPen(QPen(Qt::white, 2));
    for (const QPointF& pt : {path.first(), path.last()}) p.drawEllipse(pt, 4, 4);
    // The source point: at the wrist for the hand meridians, at the foot for the others.
    const QPointF source = meridian < 6 ? QPointF(288, 300) : QPointF(216, 490);
    p.setBrush(QColor(230, 0, 0));
    p.drawEllipse(source, 7, 7);
    p.setPen(Label);
    p.setFont(font(20, true));
    p.drawText(QRectF(0, 8, 150, 30), Qt::AlignLeft, channelName(Meridian(meridian)).remove(QLatin1Char(' ')));
    p.setFont(font(14));
    p.drawText(QRectF(0, 40, 150, 24), Qt::AlignLeft, u("測定點：") + sourcePoint(Meridian(meridian)));
    p.drawText(QRectF(0, 64, 150, 24), Qt::AlignLeft, englishLabel(Meridian(meridian)));
    p.setPen(QColor(230, 0, 0));
    p.drawText(source + QPointF(12, 6), sourcePoint(Meridian(meridian)).section(QLatin1Char(' '), 0, 0));
    return img;
}

} // namespace lumo::pictures
