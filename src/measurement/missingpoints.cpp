#include "measurement/missingpoints.h"

namespace lumo {
namespace {
// Up to this many points the status line names them, with their source points up to the half.
constexpr int NamedLimit = 6;
constexpr int SourcePointLimit = 3;
} // namespace

QVector<int> missingPoints(const EnergySet& e)
{
    QVector<int> out;
    for (int p = 1; p <= PointCount; ++p)
        if (e.Readings[size_t(p - 1)] == 0) out << p;
    return out;
}

QString pointPlaceName(int point)
{
    QString s = positionText(point) + shortName(meridianOfPoint(point));
    return s.remove(QLatin1Char(' '));
}

QString missingPointsText(const EnergySet& e)
{
    const QVector<int> missing = missingPoints(e);
    if (missing.isEmpty() || !e.hasData()) return {};
    QString text = QString::fromUtf8("缺少 %1 個測量點").arg(missing.size());
    if (missing.size() <= NamedLimit) {
        QStringList names;
        for (int p : missing)
            names << (missing.size() <= SourcePointLimit
                          ? pointPlaceName(p) + QLatin1Char(' ') + sourcePoint(meridianOfPoint(p))
                          : pointPlaceName(p));
        text += QString::fromUtf8("：") + names.join(QString::fromUtf8("、"));
    } else {
        text += QString::fromUtf8("（表格中標示的空格）");
    }
    return text + QString::fromUtf8("；能量分析及能量比對需要 24 點全部測量。");
}

} // namespace lumo
