#pragma once
// Lists that use the width they get: every column starts at its natural width
// (its heading or its usual values, whichever is wider); when the view is
// wider than their sum the columns widen in proportion, so an enlarged window
// shows wider columns instead of blank space, and a narrow one scrolls
// sideways without cutting a column short.

#include <QStringList>
#include <QVector>

class QFont;
class QTableView;

namespace lumo {

// The widths of `columns` in a viewport `available` pixels wide.
QVector<int> fittedWidths(const QVector<int>& natural, int available);

// Natural widths: each column's heading or sample text (whichever is wider)
// plus `padding` (the header's margins and the grid line need 8).
QVector<int> naturalWidths(const QStringList& headings, const QStringList& samples, const QFont& heading,
                           const QFont& data, int padding = 16);

// Keeps `view`'s columns fitted as it is resized; the view owns the fitting.
void fitColumns(QTableView* view, const QVector<int>& natural);

} // namespace lumo
