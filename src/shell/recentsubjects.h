#pragma once
// The last subjects this workstation worked with (saved a measurement to or
// loaded one of), newest first, kept in a file of the data directory so that
// they outlast a restart. The file holds the subjects' numbers only, one a
// line; names are read from the database when the list is shown, so a
// renamed subject shows its new name and a deleted one is left out.

#include "base/status.h"

#include <QString>
#include <QStringList>

namespace lumo {

constexpr int RecentSubjectCount = 10;

// The numbers in the file, newest first; none when there is no file.
QStringList readRecentSubjects(const QString& dataDirectory);
// The list with the number put first: once (numbers compare without regard
// to case), at most RecentSubjectCount, blanks trimmed, empty numbers ignored.
QStringList withRecentSubject(const QStringList& numbers, const QString& custNo);
// Puts the number first in the file, written whole.
Status noteRecentSubject(const QString& dataDirectory, const QString& custNo);

} // namespace lumo
