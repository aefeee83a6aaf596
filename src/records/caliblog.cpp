#include "records/caliblog.h"

#include "base/formats.h"
#include "records/database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace lumo {
namespace {

bool hasTable(Database& db)
{
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'CALIBLOG'"));
    return q.exec() && q.next();
}

} // namespace

Status CalibrationLog::append(const CalibrationEntry& e)
{
    if (m_db.readOnly()) return Status::failure(QStringLiteral("CALIBLOG: ") + databaseReadOnlyMessage());
    Transaction t(m_db);
    if (!t.active()) return Status::failure(QStringLiteral("CALIBLOG: ") + t.begun().error);
    QSqlQuery q(m_db.sql());
    q.prepare(
        QStringLiteral("INSERT INTO CALIBLOG (CALTIME, CALSTD, CALHIGH, PREVSTD, PREVHIGH, SUCCESS, APPLIED) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(dayNumber(e.at));
    q.addBindValue(e.standard);
    q.addBindValue(e.high);
    q.addBindValue(e.previousStandard);
    q.addBindValue(e.previousHigh);
    q.addBindValue(int(e.success));
    q.addBindValue(int(e.applied));
    if (!q.exec()) return Status::failure(QStringLiteral("CALIBLOG: ") + sqlError(q));
    return t.commit();
}

QVector<CalibrationEntry> CalibrationLog::latest(int count)
{
    QVector<CalibrationEntry> out;
    if (!hasTable(m_db)) return out;
    // A file of version 2 opened for reading only has its log without APPLIED:
    // every calibration of that version was taken into use.
    const QString applied = m_db.hasColumn(QStringLiteral("CALIBLOG"), QStringLiteral("APPLIED"))
                                ? QStringLiteral("APPLIED")
                                : QStringLiteral("1");
    QSqlQuery q(m_db.sql());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT CALTIME, CALSTD, CALHIGH, PREVSTD, PREVHIGH, SUCCESS, %1 FROM CALIBLOG "
                             "ORDER BY LOGKEY DESC LIMIT ?")
                  .arg(applied));
    q.addBindValue(count);
    if (!q.exec()) return out;
    while (q.next())
        out.append({dateTimeFromDayNumber(q.value(0).toDouble()), q.value(1).toInt(), q.value(2).toInt(),
                    q.value(3).toInt(), q.value(4).toInt(), q.value(5).toInt() != 0,
                    q.value(6).toInt() != 0});
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
