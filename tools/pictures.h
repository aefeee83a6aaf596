#pragma once
// Pictures delivered with the program, drawn from vector descriptions at build
// time: the 72 point pictures and the 12 meridian course pictures.

#include <QImage>
#include <QPointF>
#include <QString>
#include <QVector>

namespace lumo::pictures {

constexpr int PointWidth = 240;
constexpr int PointHeight = 180;
constexpr int CourseWidth = 360;
constexpr int CourseHeight = 540;

// How the limb of a point picture is seen. Palm and back show a hand with the
// fingers up; dorsal shows a foot from above with the toes up; medial and
// lateral show a foot from its side with the sole down.
enum class PointView
{
    Palm,
    Back,
    Medial,
    Lateral,
    Dorsal
};

struct PictureLandmark
{
    QString name;
    QPointF at;
};

// Where a point picture puts things, in picture pixels, so that the drawing can
// be checked against anatomy without reading the drawing code.
struct PointLayout
{
    PointView view = PointView::Palm;
    bool mirrored = false; // drawn as the mirror image of the drawing made for the other side
    QPointF marker;        // centre of the red marker
    QPointF firstDigit;    // inside the end of the thumb or big toe (side views: of the toes)
    QPointF lastDigit;     // inside the end of the little finger or little toe (side views: the heel)
    QPointF joint;         // middle of the wrist crease or of the ankle (side views: the malleolus)
    QVector<PictureLandmark> landmarks; // the neighbouring points of style 3
};
PointLayout pointLayout(int point);

// Point 1..24 in style 1 (shaded), 2 (line drawing) or 3 (drawing with labels and landmarks).
QImage pointPicture(int point, int style);
// The course of meridian 0..11 on a body outline, its source point marked.
QImage coursePicture(int meridian);

} // namespace lumo::pictures
