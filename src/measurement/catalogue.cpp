#include "measurement/catalogue.h"

#include <cassert>

namespace lumo {
namespace {

const std::array<MeridianInfo, MeridianCount> kMeridians = {{
    {Limb::Hand, Organ::Yin, "  金", "手太陰 肺  經", "肺  經", "太淵 LU9", "Lung Meridian(LU)", 0.8541},
    {Limb::Hand, Organ::Yin, "相火", "手厥陰 心包經", "心包經", "大陵 PC7", "Pericardium Meridian(PC)", 0.9318},
    {Limb::Hand, Organ::Yin, "君火", "手少陰 心  經", "心  經", "神門 HT7", "Heart Meridian(HT)", 1.1081},
    {Limb::Hand, Organ::Yang, "君火", "手太陽 小腸經", "小腸經", "腕骨 SI4", "Small Intestine Meridian(SI)", 0.9318},
    {Limb::Hand, Organ::Yang, "相火", "手少陽 三焦經", "三焦經", "陽池 SJ4", "Sanjiao Meridian(SJ)", 0.8039},
    {Limb::Hand, Organ::Yang, "  金", "手陽明 大腸經", "大腸經", "陽谿 LI5", "Large Intestine Meridian(LI)", 0.8039},
    {Limb::Foot, Organ::Yin, "  土", "足太陰 脾  經", "脾  經", "太白 SP3", "Spleen Meridian(SP)", 1.0},
    {Limb::Foot, Organ::Yin, "  木", "足厥陰 肝  經", "肝  經", "太衝 LR3", "Liver Meridian(LR)", 1.2424},
    {Limb::Foot, Organ::Yin, "  水", "足少陰 腎  經", "腎  經", "大鐘 KI4", "Kidney Meridian(KI)", 1.0},
    {Limb::Foot, Organ::Yang, "  水", "足太陽 膀胱經", "膀胱經", "束骨 BL65", "Bladder Meridian(BL)", 1.0789},
    {Limb::Foot, Organ::Yang, "  木", "足少陽 膽  經", "膽  經", "丘墟 GB40", "Gall Bladder Meridian(GB)", 1.2424},
    {Limb::Foot, Organ::Yang, "  土", "足陽明 胃  經", "胃  經", "衝陽 ST42", "Stomach Meridian(ST)", 1.1388},
}};

bool validPoint(int p) { return p >= 1 && p <= PointCount; }

} // namespace

const MeridianInfo& meridianInfo(Meridian m) { return kMeridians[size_t(m)]; }

QString shortName(Meridian m) { return QString::fromUtf8(meridianInfo(m).shortName); }

QString chartName(Meridian m)
{
    QString s = shortName(m);
    // Two-character organ names carry the padding blanks; they get one more in front.
    return s.contains(QLatin1Char(' ')) ? QLatin1Char(' ') + s : s;
}

QString fullWidthName(Meridian m)
{
    QString s = shortName(m);
    s.replace(QLatin1String("  "), QString(QChar(0x3000)));
    return s;
}

QString channelName(Meridian m) { return QString::fromUtf8(meridianInfo(m).channelName); }
QString sourcePoint(Meridian m) { return QString::fromUtf8(meridianInfo(m).sourcePoint); }
QString englishLabel(Meridian m) { return QString::fromUtf8(meridianInfo(m).englishLabel); }
QString elementLabel(Meridian m) { return QString::fromUtf8(meridianInfo(m).elementLabel); }

Meridian pairedMeridian(Meridian m)
{
    // Within a limb columns 1<->6, 2<->5, 3<->4 are partners.
    int i = int(m);
    int base = i < 6 ? 0 : 6;
    return Meridian(base + 5 - (i - base));
}

Meridian meridianOfPoint(int p)
{
    assert(validPoint(p));
    if (p <= 6) return Meridian(p - 1);
    if (p <= 12) return Meridian(p - 7);
    if (p <= 18) return Meridian(p - 7);
    return Meridian(p - 13);
}

Side sideOfPoint(int p) { return (p <= 6 || (p >= 13 && p <= 18)) ? Side::Left : Side::Right; }
Limb limbOfPoint(int p) { return p <= 12 ? Limb::Hand : Limb::Foot; }

QString positionText(int p)
{
    static const char* texts[] = {"左  手", "右  手", "左  腳", "右  腳"};
    return QString::fromUtf8(texts[(p - 1) / 6]);
}

int leftPointOf(Meridian m)
{
    int i = int(m);
    return i < 6 ? i + 1 : i + 7;
}

int rightPointOf(Meridian m)
{
    int i = int(m);
    return i < 6 ? i + 7 : i + 13;
}

GridCell gridCellOfPoint(int p)
{
    assert(validPoint(p));
    if (p <= 6) return {p, 1};
    if (p <= 12) return {p - 6, 2};
    if (p <= 18) return {p - 6, 1};
    return {p - 12, 2};
}

int pointOfGridCell(int c, int r)
{
    if (c < 1 || c > 12 || r < 1 || r > 2) return 0;
    if (r == 1) return c <= 6 ? c : c + 6;
    return c <= 6 ? c + 6 : c + 12;
}

QString rowLabel(int row) { return QString::fromUtf8(row == 1 ? "左  側" : "右  側"); }

QString pictureFileName(int p, int style)
{
    static const char styles[] = {'P', 'G', 'C'};
    if (style < 1 || style > 3) style = 1;
    int m = int(meridianOfPoint(p));
    int digit = m < 6 ? m + 1 : m - 5;
    return QStringLiteral("%1%2%3%4.bmp")
        .arg(QChar::fromLatin1(styles[style - 1]),
             QChar::fromLatin1(sideOfPoint(p) == Side::Left ? 'L' : 'R'),
             QChar::fromLatin1(limbOfPoint(p) == Limb::Hand ? 'h' : 'f'), QString::number(digit));
}

const CompensationTable& defaultCompensationTable()
{
    static const CompensationTable table = [] {
        CompensationTable t{};
        for (int m = 0; m < MeridianCount; ++m) t[size_t(m)] = kMeridians[size_t(m)].coefficient;
        return t;
    }();
    return table;
}

double compensate(int point, double reading, const CompensationTable& table)
{
    return reading * table[size_t(meridianOfPoint(point))];
}

void EnergySet::setReading(int point, double value, const CompensationTable& table)
{
    Readings[size_t(point - 1)] = value;
    Compensated[size_t(point - 1)] = compensate(point, value, table);
}

void EnergySet::recompensate(const CompensationTable& table)
{
    for (int p = 1; p <= PointCount; ++p) Compensated[size_t(p - 1)] = compensate(p, Readings[size_t(p - 1)], table);
}

void EnergySet::clearReadings()
{
    Readings.fill(0);
    Compensated.fill(0);
    Quality.clear();
    Conditions = MeasurementConditions();
}

bool EnergySet::allMeasured() const
{
    for (double v : Readings)
        if (v == 0) return false;
    return true;
}

bool EnergySet::hasData() const
{
    double sum = 0;
    for (double v : Readings) sum += v;
    return sum != 0;
}

} // namespace lumo
