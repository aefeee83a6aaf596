#include "records/caliblog.h"

#include "base/formats.h"
#include "records/database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace lumo {
namespace {

const char* kCreate = "CREATE TABLE IF NOT EXISTS CALIBLOG ("
                      "LOGKEY INTEGER PRIMARY KEY AUTOINCREMENT, "
                      "CALTIME REAL NOT NULL, " // day number with the time of day
                      "CALSTD INTEGER NOT NULL, CALHIGH INTEGER NOT NULL, "
                      "PREVSTD INTEGER NOT NULL, PREVHIGH INTEGER NOT NULL, "
                      "SUCCESS INTEGER NOT NULL)";

bool hasTable(Database& db)
{
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'CALIBLOG'"));
    return q.exec() && q.next();
}

} // namespace

Status CalibrationLog::append(const CalibrationEntry& e)
{
    if (m_db.readOnly()) return Status::failure(QStringLiteral("CALIBLOG: the database is read-only"));
    Transaction t(m_db);
    if (!t.active()) return Status::failure(QStringLiteral("CALIBLOG: ") + m_db.sql().lastError().text());
    QSqlQuery q(m_db.sql());
    if (!q.exec(QLatin1String(kCreate))) return Status::failure(QStringLiteral("CALIBLOG: ") + sqlError(q));
    q.prepare(QStringLiteral("INSERT INTO CALIBLOG (CALTIME, CALSTD, CALHIGH, PREVSTD, PREVHIGH, SUCCESS) "
                             "VALUES (?, ?, ?, ?, ?, ?)"));
    q.addBindValue(dayNumber(e.at));
    q.addBindValue(e.standard);
    q.addBindValue(e.high);
    q.addBindValue(e.previousStandard);
    q.addBindValue(e.previousHigh);
    q.addBindValue(int(e.success));
    if (!q.exec()) return Status::failure(QStringLiteral("CALIBLOG: ") + sqlError(q));
    return t.commit();
}

QVector<CalibrationEntry> CalibrationLog::latest(int count)
{
    QVector<CalibrationEntry> out;
    if (!hasTable(m_db)) return out;
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT CALTIME, CALSTD, CALHIGH, PREVSTD, PREVHIGH, SUCCESS FROM CALIBLOG "
                             "ORDER BY LOGKEY DESC LIMIT ?"));
    q.addBindValue(count);
    if (!q.exec()) return out;
    while (q.next())
        out.append({dateTimeFromDayNumber(q.value(0).toDouble()), q.value(1).toInt(), q.value(2).toInt(),
                    q.value(3).toInt(), q.value(4).toInt(), q.value(5).toInt() != 0});
    return out;
}

std::optional<QDateTime> CalibrationLog::lastSuccess()
{
    if (!hasTable(m_db)) return std::nullopt;
    QSqlQuery q(m_db.sql());
    if (q.exec(
            QStringLiteral("SELECT CALTIME FROM CALIBLOG WHERE SUCCESS <> 0 ORDER BY LOGKEY DESC LIMIT 1")) &&
        q.next())
        return dateTimeFromDayNumber(q.value(0).toDouble());
    return std::nullopt;
}

QString calibrationReminderText()
{
    return QString::fromUtf8("距離上次校準已超過 30 天，建議重新校準。");
}

QString calibrationReminder(Database& db, const QDate& today)
{
    const auto last = CalibrationLog(db).lastSuccess();
    if (!last) return QString();
    return last->date().daysTo(today) > CalibrationReminderDays ? calibrationReminderText() : QString();
}

} // namespace lumo
