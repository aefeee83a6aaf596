#include "records/measurementextras.h"

#include "measurement/qualitycodec.h"
#include "records/measurements.h"

#include <QSqlQuery>
#include <QVariant>

namespace lumo {
namespace {

QVariant optionalValue(const std::optional<double>& v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}
QVariant optionalValue(const std::optional<int>& v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<int>());
}
std::optional<double> optionalDouble(const QVariant& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return v.isNull() || !ok ? std::nullopt : std::optional<double>(d);
}
std::optional<int> optionalInt(const QVariant& v)
{
    bool ok = false;
    const int i = v.toInt(&ok);
    return v.isNull() || !ok ? std::nullopt : std::optional<int>(i);
}

bool hasQuality(const MeasurementQuality& q)
{
    for (const PointGrade& g : q.grades)
        if (g.graded()) return true;
    return !q.repeats.isEmpty();
}

Status exec(QSqlQuery& q)
{
    return q.exec() ? Status::success() : Status::failure(sqlError(q));
}

QString keyList(const QVector<qint64>& keys, int from, int count)
{
    QStringList s;
    for (int i = from; i < from + count; ++i)
        s << QString::number(keys.at(i));
    return s.join(QLatin1Char(','));
}

// Numbers only in the lists: keys come from the database, never from text.
constexpr int KeysPerQuery = 500;

} // namespace

Status writeMeasurementExtras(Database& db, qint64 dataKey, const MeasurementQuality& quality,
                              const MeasurementConditions& conditions)
{
    for (const char* table : {"ZUQUAL", "ZUCOND"}) {
        QSqlQuery del(db.sql());
        del.prepare(QStringLiteral("DELETE FROM %1 WHERE DATAKEY = ?").arg(QLatin1String(table)));
        del.addBindValue(dataKey);
        if (Status s = exec(del); !s) return s;
    }
    if (hasQuality(quality)) {
        QSqlQuery q(db.sql());
        q.prepare(
            QStringLiteral("INSERT INTO ZUQUAL (DATAKEY, GRADES, QUALITY, REPEATS) VALUES (?, ?, ?, ?)"));
        q.addBindValue(dataKey);
        q.addBindValue(gradeLetters(quality));
        q.addBindValue(encodeQuality(quality));
        q.addBindValue(int(std::min<qsizetype>(quality.repeats.size(), MaxStoredRepeats)));
        if (Status s = exec(q); !s) return s;
    }
    const MeasurementConditions c = sanitizedConditions(conditions);
    if (!c.isEmpty() || c.repeatOf > 0) {
        QSqlQuery q(db.sql());
        q.prepare(
            QStringLiteral("INSERT INTO ZUCOND (DATAKEY, RESTMIN, MEALHRS, EXERCISE, ROOMTEMP, HUMIDITY, "
                           "SKINPREP, OPNOTE, REPEATOF) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        q.addBindValue(dataKey);
        q.addBindValue(optionalValue(c.restMinutes));
        q.addBindValue(optionalValue(c.mealHours));
        q.addBindValue(optionalValue(c.exercise));
        q.addBindValue(optionalValue(c.roomTemperature));
        q.addBindValue(optionalValue(c.humidity));
        q.addBindValue(optionalValue(c.skinPreparation));
        q.addBindValue(c.note);
        q.addBindValue(c.repeatOf > 0 ? QVariant(c.repeatOf) : QVariant(QMetaType::fromType<qint64>()));
        if (Status s = exec(q); !s) return s;
    }
    return Status::success();
}

QHash<qint64, MeasurementExtras> readMeasurementExtras(Database& db, const QVector<qint64>& keys)
{
    QHash<qint64, MeasurementExtras> found;
    for (int from = 0; from < keys.size(); from += KeysPerQuery) {
        const QString list = keyList(keys, from, std::min<int>(KeysPerQuery, int(keys.size()) - from));
        QSqlQuery q(db.sql());
        q.setForwardOnly(true);
        // A file of an earlier version has no such tables: its measurements have no extras.
        if (q.exec(QStringLiteral("SELECT DATAKEY, QUALITY FROM ZUQUAL WHERE DATAKEY IN (%1)").arg(list)))
            while (q.next()) {
                MeasurementExtras& e = found[q.value(0).toLongLong()];
                e.hasQuality = decodeQuality(q.value(1).toByteArray(), e.quality);
            }
        if (q.exec(QStringLiteral("SELECT DATAKEY, RESTMIN, MEALHRS, EXERCISE, ROOMTEMP, HUMIDITY, SKINPREP, "
                                  "OPNOTE, REPEATOF FROM ZUCOND WHERE DATAKEY IN (%1)")
                       .arg(list)))
            while (q.next()) {
                MeasurementExtras& e = found[q.value(0).toLongLong()];
                MeasurementConditions c;
                c.restMinutes = optionalDouble(q.value(1));
                c.mealHours = optionalDouble(q.value(2));
                c.exercise = optionalInt(q.value(3));
                c.roomTemperature = optionalDouble(q.value(4));
                c.humidity = optionalDouble(q.value(5));
                c.skinPreparation = optionalInt(q.value(6));
                c.note = q.value(7).toString();
                c.repeatOf = std::max<qint64>(0, q.value(8).toLongLong());
                e.conditions = sanitizedConditions(c);
                e.hasConditions = !e.conditions.isEmpty();
            }
    }
    return found;
}

MeasurementExtras readMeasurementExtras(Database& db, qint64 dataKey)
{
    return readMeasurementExtras(db, QVector<qint64>{dataKey}).value(dataKey);
}

Status removeMeasurementExtras(Database& db, const QVector<qint64>& keys)
{
    for (int from = 0; from < keys.size(); from += KeysPerQuery) {
        const QString list = keyList(keys, from, std::min<int>(KeysPerQuery, int(keys.size()) - from));
        for (const char* table : {"ZUQUAL", "ZUCOND"}) {
            QSqlQuery q(db.sql());
            if (!q.exec(
                    QStringLiteral("DELETE FROM %1 WHERE DATAKEY IN (%2)").arg(QLatin1String(table), list)))
                return Status::failure(sqlError(q));
        }
    }
    return Status::success();
}

qint64 repeatSessionKey(Database& db, qint64 mkey, const QString& custNo, bool high, double takenAt,
                        QString* why)
{
    const auto row = mkey > 0 ? MeasurementStore(db).get(mkey) : std::nullopt;
    QString reason;
    const double apart = row ? takenAt - row->ZUDATE : 0;
    if (!row)
        reason = QString::fromUtf8("沒有鍵值為 %1 的量測").arg(mkey);
    else if (row->CUSTNO.compare(custNo, Qt::CaseInsensitive) != 0 || row->ZUVOTA != high)
        reason = QString::fromUtf8("量測 %1 不是同一位受測者以相同電位的量測，不能當作重複量測").arg(mkey);
    else if (apart <= 0 || apart >= 30.0 / 1440)
        reason = QString::fromUtf8("量測 %1 不是 30 分鐘內的前一次量測，不能當作重複量測").arg(mkey);
    if (why) *why = reason;
    if (!reason.isEmpty()) return 0;
    const qint64 first = readMeasurementExtras(db, mkey).conditions.repeatOf;
    return first > 0 ? first : mkey;
}

Status appendMeasurementWithExtras(Database& db, MeasurementRow& row, const EnergySet& energy)
{
    Transaction t(db);
    if (!t.active()) return t.begun();
    Status s = MeasurementStore(db).append(row);
    if (s) s = writeMeasurementExtras(db, row.MKEY, energy.Quality, energy.Conditions);
    if (s) s = t.commit();
    if (!s) row.MKEY = 0; // rolled back: the key belongs to no row
    return s;
}

void loadMeasurementExtras(Database& db, qint64 dataKey, EnergySet& energy)
{
    const MeasurementExtras e = readMeasurementExtras(db, dataKey);
    energy.Quality = e.quality;
    energy.Conditions = e.conditions;
}

} // namespace lumo
