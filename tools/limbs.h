#pragma once
// The outlines of the hand and the foot the point pictures are drawn on: one
// drawing per view, made for one side; the other side is its mirror image.

#include "pictures.h"

#include <QPainterPath>
#include <QRectF>
#include <QVector>

namespace lumo::pictures {

// A finger or toe: its base in the drawing, length, width and lean in degrees (clockwise).
struct Digit
{
    double x, y, length, width, lean;
};
inline constexpr Digit Fingers[4] = {
    {92, 92, 42, 14, -9}, {108, 87, 54, 15, -3}, {125, 85, 60, 16, 0}, {142, 87, 52, 15, 5}};
inline constexpr Digit Thumb = {149, 124, 56, 19, 42};
inline constexpr Digit Toes[5] = {{101, 72, 36, 26, -4},
                                  {124, 69, 31, 16, 1},
                                  {140, 71, 27, 15, 5},
                                  {154, 75, 23, 14, 9},
                                  {167, 80, 19, 12, 14}};

// The centre of the rounded end, well inside the digit.
QPointF endOf(const Digit& d);

struct Drawing
{
    QPainterPath outline, lines, faint, nails;
    QVector<QRectF> knobs; // bony prominences: a malleolus, the head of the ulna
};

Drawing drawingFor(PointView v);

} // namespace lumo::pictures
