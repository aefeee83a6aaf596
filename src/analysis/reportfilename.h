#pragma once
// The name a printed report proposes for its PDF file: the subject's number
// and name and the date, so that a folder of reports sorts by subject and
// reads without opening them.

#include <QDate>
#include <QString>

namespace lumo {

// "A001_王小明_20260501.pdf"; `kind` (a comparison, a trend) goes before the
// suffix. Characters that no file name may hold on the systems a practice
// exchanges files with, control characters and blanks become "_"; an empty
// number and name give "LUMO". `masked`: the waiting-room display's number
// and name (the name a dialog shows must not undo the mask).
QString proposedPdfName(const QString& number, const QString& name, const QDate& date,
                        const QString& kind = QString(), bool masked = false);

// The date of a measurement taken at day number `takenAt`, today when it has none.
QDate reportDate(double takenAt);

} // namespace lumo
