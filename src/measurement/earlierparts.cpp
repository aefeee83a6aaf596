#include "measurement/earlierparts.h"

#include "base/formats.h"

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

quint32 bitOf(int point)
{
    return 1u << (point - 1);
}

QString timeText(double day)
{
    return day > 0 ? shortDateOfDay(day) + QLatin1Char(' ') + longTimeOfDay(day) : u("時間不明");
}

} // namespace

int earlierPartOf(const MeasurementQuality& q, int point)
{
    if (point < 1 || point > PointCount) return -1;
    for (int i = 0; i < q.earlier.size(); ++i)
        if (q.earlier.at(i).points & bitOf(point)) return i;
    return -1;
}

int earlierPointCount(const MeasurementQuality& q, const std::array<double, PointCount>& readings)
{
    int n = 0;
    for (int p = 1; p <= PointCount; ++p)
        if (readings[size_t(p - 1)] != 0 && earlierPartOf(q, p) >= 0) ++n;
    return n;
}

void keepAsEarlierPart(MeasurementQuality& q, const std::array<double, PointCount>& readings, double takenAt)
{
    EarlierPart part{takenAt, 0};
    for (int p = 1; p <= PointCount; ++p)
        if (readings[size_t(p - 1)] != 0 && earlierPartOf(q, p) < 0) part.points |= bitOf(p);
    if (part.points != 0) q.earlier.append(part);
}

void pointRenewed(MeasurementQuality& q, int point)
{
    if (point < 1 || point > PointCount) return;
    for (EarlierPart& part : q.earlier)
        part.points &= ~bitOf(point);
    q.earlier.removeIf([](const EarlierPart& part) { return part.points == 0; });
}

QString earlierPartsText(const EnergySet& e)
{
    const int earlier = earlierPointCount(e.Quality, e.Readings);
    if (earlier == 0) return {};
    QStringList parts;
    for (const EarlierPart& part : e.Quality.earlier) {
        int n = 0;
        for (int p = 1; p <= PointCount; ++p)
            if ((part.points & bitOf(p)) && e.Readings[size_t(p - 1)] != 0) ++n;
        if (n > 0) parts << u("先前的數值 %1 點（%2）").arg(n).arg(timeText(part.takenAt));
    }
    int latest = 0;
    for (int p = 1; p <= PointCount; ++p)
        if (e.Readings[size_t(p - 1)] != 0 && earlierPartOf(e.Quality, p) < 0) ++latest;
    parts << u("本次測量 %1 點（%2）").arg(latest).arg(timeText(e.TakenAt));
    return u("本筆量測由 %1 次測量組成：").arg(parts.size()) + parts.join(u("，")) + u("。");
}

QString earlierCellNote(const MeasurementQuality& q, int point)
{
    const int i = earlierPartOf(q, point);
    return i < 0 ? QString() : u("先前的數值（%1）").arg(timeText(q.earlier.at(i).takenAt));
}

} // namespace lumo
