#pragma once
// Pictures delivered with the program, drawn from vector descriptions at build
// time: the 72 point pictures and the 12 meridian course pictures.

#include <QImage>

namespace lumo::pictures {

constexpr int PointWidth = 240;
constexpr int PointHeight = 180;
constexpr int CourseWidth = 360;
constexpr int CourseHeight = 540;

// Point 1..24 in style 1 (shaded), 2 (line drawing) or 3 (drawing with labels and landmarks).
QImage pointPicture(int point, int style);
// The course of meridian 0..11 on a body outline, its source point marked.
QImage coursePicture(int meridian);

} // namespace lumo::pictures
