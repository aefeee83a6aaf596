#pragma once
// The calibration log: every calibration, successful or not, as one row of
// CALIBLOG in the main database, so that the practice can see how the probe's
// conductivity develops, when it was last calibrated and which values were
// taken into use. The table is defined with the others (records/schema); it is
// not among the tables a transfer carries.

#include "base/status.h"

#include <QDateTime>
#include <QVector>
#include <optional>

namespace lumo {

class Database;

struct CalibrationEntry
{
    QDateTime at;
    int standard = 0;
    int high = 0;
    int previousStandard = 0;
    int previousHigh = 0;
    bool success = false;
    // The measured values were taken into use (always after a success; after
    // a failure only when the operator chose to keep them).
    bool applied = true;
};

class CalibrationLog
{
public:
    explicit CalibrationLog(Database& db) : m_db(db) {}

    // Appends one row in its own transaction.
    Status append(const CalibrationEntry& entry);
    // The newest entries first; empty when nothing was logged yet.
    QVector<CalibrationEntry> latest(int count);
    std::optional<QDateTime> lastSuccess();

private:
    Database& m_db;
};

constexpr int CalibrationReminderDays = 30;

// The reminder the measurement screen shows when the last successful
// calibration is more than 30 days old; empty otherwise (and when none was
// ever logged: an age that is not known is not reported as an old one).
QString calibrationReminder(Database& db, const QDate& today);
QString calibrationReminderText();

} // namespace lumo
