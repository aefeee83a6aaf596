#pragma once
// Which copies of the main database the backup folder keeps. A copy's date is
// read from its name (lumo4-YYYYMMDD.mdb), never from the file's time stamps,
// which a copy onto a stick or a restore from an archive changes.

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace lumo {

inline constexpr int KeepDaily = 7;
inline constexpr int KeepWeekly = 4;
inline constexpr int KeepMonthly = 12;

// "lumo4-20261209.mdb"
QString backupFileName(QDate day);
// The date in a backup's name; nothing for any other name (other files in the
// folder are the operator's and are never pruned).
std::optional<QDate> backupDate(const QString& fileName);

// The names among `names` to remove: the newest copy of each of the last
// KeepDaily days that have a copy, of each of the last KeepWeekly ISO weeks and
// of each of the last KeepMonthly months stay; names that are not backups stay.
// `justMade` always stays: after the clock was set back, copies dated later
// than today's would otherwise push out the copy that was just made.
QStringList backupsToPrune(const QStringList& names, const QString& justMade = QString());

} // namespace lumo
