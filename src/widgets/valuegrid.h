#pragma once
// The 2 x 12 value grid the measuring, manual-entry and analysis screens share:
// one column per meridian, left and right rows, under a caption row for the
// hand and the foot meridians.

#include <QStringList>

class QBoxLayout;
class QTableWidget;
class QWidget;

namespace lumo {

struct ValueGridLabels
{
    QStringList columns; // twelve meridian names
    QStringList rows;    // left, right
    QString hands, feet;
};

// The labels of the measuring and manual-entry screens ("肺  經", "左  側", "手部").
ValueGridLabels measuringGridLabels();

// Adds the caption row and the grid (all columns in view, cells empty, aligned
// as given) to `layout`; the caller sets what differs (editing, selection).
QTableWidget* addValueGrid(QBoxLayout* layout, QWidget* parent, const ValueGridLabels& labels, int alignment);

// A grid that is disabled to take no clicks still shows its values, headers and
// current cell in full contrast: the disabled palette takes the active colours.
void keepReadableWhenDisabled(QTableWidget* grid);

} // namespace lumo
