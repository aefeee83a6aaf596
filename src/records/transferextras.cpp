#include "records/transferextras.h"

#include "measurement/qualitycodec.h"
#include "records/measurementextras.h"

#include <QHash>
#include <QSqlQuery>

namespace lumo {
namespace {

QVector<qint64> keysInOrder(Database& db, const QString& sql, Status* status)
{
    QVector<qint64> keys;
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        *status = Status::failure(sqlError(q));
        return keys;
    }
    while (q.next())
        keys << q.value(0).toLongLong();
    *status = Status::success();
    return keys;
}

std::optional<double> optionalNumber(const QVariant& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return v.isNull() || !ok ? std::nullopt : std::optional<double>(d);
}

// Reads the side rows of a file, each into `into` under the key its DATAKEY maps to.
Status readSideRows(LegacySource& source, const QHash<qint64, qint64>& keyOf,
                    QHash<qint64, MeasurementExtras>& into)
{
    Status st;
    if (!source.tableName(QStringLiteral("ZUQUAL")).isEmpty()) {
        auto rows = source.open(QStringLiteral("ZUQUAL"), &st);
        if (!rows) return st;
        const int key = rows->columnIndex(QStringLiteral("DATAKEY")),
                  blob = rows->columnIndex(QStringLiteral("QUALITY"));
        LegacyRow row;
        while (key >= 0 && blob >= 0 && rows->next(&row)) {
            const qint64 to = keyOf.value(row.value(key).toLongLong(), 0);
            if (to <= 0) continue; // its measurement did not travel
            MeasurementExtras& e = into[to];
            e.hasQuality = decodeQuality(row.value(blob).toByteArray(), e.quality);
        }
        if (!(st = rows->error())) return st;
    }
    if (source.tableName(QStringLiteral("ZUCOND")).isEmpty()) return Status::success();
    auto rows = source.open(QStringLiteral("ZUCOND"), &st);
    if (!rows) return st;
    int c[8];
    const char* names[8] = {"DATAKEY",  "RESTMIN",  "MEALHRS",  "EXERCISE",
                            "ROOMTEMP", "HUMIDITY", "SKINPREP", "OPNOTE"};
    for (int i = 0; i < 8; ++i)
        if ((c[i] = rows->columnIndex(QLatin1String(names[i]))) < 0) return Status::success();
    const int repeatOf = rows->columnIndex(QStringLiteral("REPEATOF")); // absent before the repeat keys
    LegacyRow row;
    while (rows->next(&row)) {
        const qint64 to = keyOf.value(row.value(c[0]).toLongLong(), 0);
        if (to <= 0) continue;
        MeasurementConditions m;
        m.restMinutes = optionalNumber(row.value(c[1]));
        m.mealHours = optionalNumber(row.value(c[2]));
        if (auto v = optionalNumber(row.value(c[3]))) m.exercise = int(*v);
        m.roomTemperature = optionalNumber(row.value(c[4]));
        m.humidity = optionalNumber(row.value(c[5]));
        if (auto v = optionalNumber(row.value(c[6]))) m.skinPreparation = int(*v);
        m.note = row.value(c[7]).toString();
        // A repeat's session key names a measurement of the file: its key here, or none when it stayed
        // behind.
        if (repeatOf >= 0) m.repeatOf = keyOf.value(row.value(repeatOf).toLongLong(), 0);
        into[to].conditions = sanitizedConditions(m);
        into[to].hasConditions = !into[to].conditions.isEmpty();
    }
    return rows->error();
}

Status writeAll(Database& db, const QHash<qint64, MeasurementExtras>& extras)
{
    for (auto it = extras.begin(); it != extras.end(); ++it) {
        if (it.key() <= 0) continue;
        const MeasurementQuality none;
        Status st = writeMeasurementExtras(db, it.key(), it->hasQuality ? it->quality : none, it->conditions);
        if (!st) return st;
    }
    return Status::success();
}

} // namespace

const QStringList& measurementSideTables()
{
    static const QStringList tables = {QStringLiteral("ZUQUAL"), QStringLiteral("ZUCOND")};
    return tables;
}

qint64 largestMeasurementKey(Database& main, Status* status)
{
    const QVector<qint64> k =
        keysInOrder(main, QStringLiteral("SELECT COALESCE(MAX(MKEY), 0) FROM ZUDATA"), status);
    return k.value(0);
}

QVector<qint64> keysAfter(Database& main, qint64 after, Status* status)
{
    return keysInOrder(
        main, QStringLiteral("SELECT MKEY FROM ZUDATA WHERE MKEY > %1 ORDER BY MKEY").arg(after), status);
}

Status exportMeasurementExtras(Database& main, Database& transfer)
{
    // Both in MKEY order, one for one: the export appended the rows in that order.
    Status st;
    const QVector<qint64> from =
        keysInOrder(main, QStringLiteral("SELECT MKEY FROM ZUDATA ORDER BY MKEY"), &st);
    if (!st) return st;
    const QVector<qint64> to =
        keysInOrder(transfer, QStringLiteral("SELECT MKEY FROM ZUDATA ORDER BY MKEY"), &st);
    if (!st) return st;
    if (from.size() != to.size()) return Status::success(); // not the rows just exported: nothing is paired
    QHash<qint64, MeasurementExtras> extras = readMeasurementExtras(main, from);
    QHash<qint64, MeasurementExtras> moved;
    QHash<qint64, qint64> keyOf;
    for (int i = 0; i < from.size(); ++i)
        keyOf.insert(from[i], to[i]);
    for (int i = 0; i < from.size(); ++i) {
        if (!extras.contains(from[i])) continue;
        MeasurementExtras e = extras.value(from[i]);
        e.conditions.repeatOf = keyOf.value(e.conditions.repeatOf, 0); // the session's key in the file
        moved.insert(to[i], e);
    }
    return writeAll(transfer, moved);
}

Status importMeasurementExtras(Database& main, LegacySource& source, const QVector<qint64>& appended)
{
    if (source.tableName(QStringLiteral("ZUQUAL")).isEmpty() &&
        source.tableName(QStringLiteral("ZUCOND")).isEmpty())
        return Status::success();
    // The file's keys in the order its rows were read and appended.
    Status st;
    auto rows = source.open(QStringLiteral("ZUDATA"), &st);
    if (!rows) return st;
    const int key = rows->columnIndex(QStringLiteral("MKEY"));
    if (key < 0) return Status::success();
    QHash<qint64, qint64> keyOf;
    LegacyRow row;
    for (int i = 0; rows->next(&row); ++i)
        if (i < appended.size()) keyOf.insert(row.value(key).toLongLong(), appended[i]);
    if (!(st = rows->error())) return st;
    QHash<qint64, MeasurementExtras> extras;
    if (!(st = readSideRows(source, keyOf, extras))) return st;
    return writeAll(main, extras);
}

Status clearMeasurementExtras(Database& main)
{
    for (const QString& table : measurementSideTables()) {
        QSqlQuery q(main.sql());
        if (!q.exec(QStringLiteral("DELETE FROM %1").arg(table))) return Status::failure(sqlError(q));
    }
    return Status::success();
}

} // namespace lumo
