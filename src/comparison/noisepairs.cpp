// The practice's repeat pairs, read from the keys stored with the measurements.
#include "comparison/noise.h"

#include "measurement/qualitycodec.h"
#include "records/engine.h"
#include "records/measurementextras.h"
#include "records/measurements.h"

#include <QHash>
#include <QMap>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace lumo {
namespace {

constexpr double OneSecond = 1.0 / 86400;
constexpr double RepeatWindow = RepeatWindowMinutes / 1440;

bool complete(const MeasurementRow& r)
{
    return std::all_of(r.ZU.begin(), r.ZU.end(), [](double v) { return v > 0 && isValidReading(v); });
}

bool sameSubject(const MeasurementRow& a, const MeasurementRow& b)
{
    return a.CUSTNO.compare(b.CUSTNO, Qt::CaseInsensitive) == 0;
}

struct Taken
{
    MeasurementRow row;
    std::array<double, 24> values{};
    std::array<bool, 24> poor{};
};

Taken takenOf(const MeasurementRow& row, const MeasurementExtras& extras, const CompensationTable& table)
{
    Taken t{row, {}, {}};
    for (int p = 1; p <= 24; ++p) {
        const size_t i = size_t(p - 1);
        t.values[i] = compensate(p, row.ZU[i], table);
        const PointGrade& g = extras.quality.grades[i];
        t.poor[i] = g.validFor(row.ZU[i]) && g.grade == QualityGrade::C;
    }
    return t;
}

void addPair(NoiseAccumulator& acc, const Taken& a, const Taken& b)
{
    std::array<bool, 24> poor{};
    for (size_t i = 0; i < 24; ++i)
        poor[i] = a.poor[i] || b.poor[i];
    acc.addPair(a.values, b.values, poor);
}

// Each measurement keyed as a repeat, with the first measurement of its session.
QHash<qint64, qint64> repeatKeys(Database& db)
{
    QHash<qint64, qint64> firstOf;
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    // A file of an earlier version has no such column: none of its measurements is a repeat.
    if (!q.exec(QStringLiteral("SELECT DATAKEY, REPEATOF FROM ZUCOND WHERE REPEATOF > 0"))) return firstOf;
    while (q.next())
        if (q.value(0).toLongLong() != q.value(1).toLongLong())
            firstOf.insert(q.value(0).toLongLong(), q.value(1).toLongLong());
    return firstOf;
}

// The sessions: the first measurement and its repeats, in the order taken;
// members of another subject or potential, or not complete, left out.
QVector<QVector<Taken>> sessionsOf(Database& db, const QHash<qint64, qint64>& firstOf,
                                   const CompensationTable& table)
{
    QMap<qint64, QVector<qint64>> members;
    for (auto it = firstOf.begin(); it != firstOf.end(); ++it)
        members[it.value()] << it.key();
    QVector<qint64> keys;
    for (auto it = members.begin(); it != members.end(); ++it)
        keys << it.key() << it.value();
    const QHash<qint64, MeasurementExtras> extras = readMeasurementExtras(db, keys);
    MeasurementStore store(db);
    QVector<QVector<Taken>> sessions;
    for (auto it = members.begin(); it != members.end(); ++it) {
        const auto first = store.get(it.key());
        if (!first || !complete(*first)) continue;
        QVector<Taken> s{takenOf(*first, extras.value(first->MKEY), table)};
        for (qint64 k : it.value()) {
            const auto r = store.get(k);
            if (r && complete(*r) && sameSubject(*r, *first) && r->ZUVOTA == first->ZUVOTA)
                s << takenOf(*r, extras.value(k), table);
        }
        std::sort(s.begin() + 1, s.end(),
                  [](const Taken& a, const Taken& b) { return a.row.ZUDATE < b.row.ZUDATE; });
        sessions << s;
    }
    return sessions;
}

// Repeat sessions of a subject on different days: each session's first
// measurement against the next session's, each session in one pair.
void addBetweenVisits(NoiseAccumulator& acc, QVector<QVector<Taken>> sessions)
{
    std::sort(sessions.begin(), sessions.end(), [](const QVector<Taken>& a, const QVector<Taken>& b) {
        const int c = a[0].row.CUSTNO.compare(b[0].row.CUSTNO, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a[0].row.ZUDATE < b[0].row.ZUDATE;
    });
    for (int i = 0; i + 1 < sessions.size(); ++i) {
        const Taken &a = sessions[i][0], &b = sessions[i + 1][0];
        if (sessions[i].size() < 2 || sessions[i + 1].size() < 2) continue; // not repeat sessions
        if (!sameSubject(a.row, b.row) || a.row.ZUVOTA != b.row.ZUVOTA) continue;
        if (std::floor(a.row.ZUDATE) == std::floor(b.row.ZUDATE)) continue;
        addPair(acc, a, b);
        ++i;
    }
}

// Points measured twice within a measurement, both readings graded and not C.
int addPointRepeats(Database& db, NoiseAccumulator& acc, const CompensationTable& table)
{
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT QUALITY FROM ZUQUAL WHERE REPEATS > 0"))) return 0;
    int counted = 0;
    while (q.next()) {
        MeasurementQuality m;
        if (!decodeQuality(q.value(0).toByteArray(), m)) continue;
        for (const RepeatReading& r : m.repeats) {
            const PointGrade &kept = m.grades[size_t(r.point - 1)], &other = r.other;
            if (!kept.graded() || !other.graded() || kept.grade == QualityGrade::C ||
                other.grade == QualityGrade::C)
                continue;
            acc.addPointRepeat(r.point, compensate(r.point, other.value, table),
                               compensate(r.point, kept.value, table));
            ++counted;
        }
    }
    return counted;
}

// Older measurements minutes apart that the program of the time took for
// pairs: counted, so the noise page can say they are left out. Read along the
// (CUSTNO, ZUDATE, MKEY) index alone.
int unkeyedPairs(Database& db, const QHash<qint64, qint64>& firstOf)
{
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    const QString custNo = db.engine().caseless(QStringLiteral("CUSTNO"));
    if (!q.exec(
            QStringLiteral("SELECT CUSTNO, ZUDATE, MKEY FROM ZUDATA ORDER BY %1, ZUDATE, MKEY").arg(custNo)))
        return 0;
    QString lastNo;
    double lastDate = 0;
    qint64 lastKey = 0;
    int count = 0;
    while (q.next()) {
        const QString no = q.value(0).toString();
        const double date = q.value(1).toDouble();
        const qint64 key = q.value(2).toLongLong();
        const double apart = date - lastDate;
        if (lastKey && no.compare(lastNo, Qt::CaseInsensitive) == 0 && apart >= OneSecond &&
            apart < RepeatWindow && !firstOf.contains(key) && !firstOf.contains(lastKey)) {
            ++count;
            lastKey = 0; // each measurement in one pair
            continue;
        }
        lastNo = no;
        lastDate = date;
        lastKey = key;
    }
    return count;
}

} // namespace

NoiseFigures practiceNoise(Database& db, const CompensationTable& table)
{
    const QHash<qint64, qint64> firstOf = repeatKeys(db);
    const QVector<QVector<Taken>> sessions = sessionsOf(db, firstOf, table);
    NoiseAccumulator within, between;
    for (const QVector<Taken>& s : sessions)
        for (int i = 0; i + 1 < s.size(); i += 2)
            addPair(within, s[i], s[i + 1]);
    addBetweenVisits(between, sessions);
    NoiseFigures f;
    f.pointRepeats = addPointRepeats(db, within, table);
    f.within = within.figures();
    f.between = between.figures();
    f.unkeyedPairs = unkeyedPairs(db, firstOf);
    return f;
}

} // namespace lumo
