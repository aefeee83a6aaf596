#pragma once
// Screens open at their specified size and can be enlarged or maximised: the
// size given is where a screen starts, never a limit, and a screen larger
// than the desktop it opens on starts at the desktop's size instead.

#include <QSize>

class QWidget;

namespace lumo {

// Resizes `w` to `size`, bounded by the available area of the screen it will
// show on (its parent's, else the primary one).
void openAt(QWidget* w, QSize size);

} // namespace lumo
