#pragma once
// The twelve meridians, the 24 measuring points and the value-grid mapping.
// Every screen, chart and report speaks about these, so they live in one place.

#include "measurement/conditions.h"
#include "measurement/quality.h"

#include <QString>
#include <QStringList>
#include <array>

namespace lumo {

enum class Meridian {
    Lung,
    Pericardium,
    Heart,
    SmallIntestine,
    Sanjiao,
    LargeIntestine,
    Spleen,
    Liver,
    Kidney,
    Bladder,
    GallBladder,
    Stomach
};
constexpr int MeridianCount = 12;
constexpr int PointCount = 24;

enum class Limb { Hand, Foot };
enum class Organ { Yin, Yang };
enum class Side { Left, Right };

struct MeridianInfo
{
    Limb limb;
    Organ organ;
    const char* elementLabel; // "  金": two leading blanks keep the six labels four bytes wide
    const char* channelName;  // "手太陰 肺  經"
    const char* shortName;    // "肺  經"
    const char* sourcePoint;  // "太淵 LU9"
    const char* englishLabel; // "Lung Meridian(LU)"
    double coefficient;
};

const MeridianInfo& meridianInfo(Meridian m);
inline const MeridianInfo& meridianInfo(int m) { return meridianInfo(Meridian(m)); }

QString shortName(Meridian m);      // "肺  經" (value grids)
QString chartName(Meridian m);      // " 肺  經" (chart columns)
QString fullWidthName(Meridian m);  // "肺　經" (analysis grid, printed report)
QString channelName(Meridian m);    // "手太陰 肺  經"
QString sourcePoint(Meridian m);    // "太淵 LU9"
QString englishLabel(Meridian m);   // "Lung Meridian(LU)"
QString elementLabel(Meridian m);   // "  金"

// The exterior-interior partner of the same element.
Meridian pairedMeridian(Meridian m);

// Point numbering 1..24: left hand, right hand, left foot, right foot,
// each run in Meridian order.
Meridian meridianOfPoint(int point);
Side sideOfPoint(int point);
Limb limbOfPoint(int point);
QString positionText(int point); // "左  手", "右  手", "左  腳", "右  腳"
int leftPointOf(Meridian m);
int rightPointOf(Meridian m);

// Value grids: column 1..12 in Meridian order, row 1 left, row 2 right.
struct GridCell
{
    int column;
    int row;
    bool operator==(const GridCell&) const = default;
};
GridCell gridCellOfPoint(int point);
int pointOfGridCell(int column, int row); // 0 when the cell is outside the grid

QString rowLabel(int row); // "左  側", "右  側"

// Point pictures: style 1 photo "P", 2 drawing "G", 3 composite "C".
QString pictureFileName(int point, int style);

using CompensationTable = std::array<double, MeridianCount>;
const CompensationTable& defaultCompensationTable();
double compensate(int point, double reading, const CompensationTable& table = defaultCompensationTable());

// The largest reading there is, in uA. Far above anything the instrument
// delivers (its largest count at the lowest accepted calibration, 2000 counts
// per 200 uA, is about 410 uA), so every real reading passes and readings
// above 200 uA stay legitimate; a larger or a negative value, an infinity or a
// NaN is a damaged or mistyped value, not a measurement, and no analysis or
// display takes it as one.
constexpr double MaxReading = 1000;
// A finite number from 0 to MaxReading (false for NaN too).
inline bool isValidReading(double v)
{
    return v >= 0 && v <= MaxReading;
}

// The one in-memory measurement. Readings are what the database stores;
// Compensated is what analysis, charts and comparisons use.
struct EnergySet
{
    std::array<double, PointCount> Readings{};
    std::array<double, PointCount> Compensated{};
    double TakenAt = 0; // day number, 0 when not set
    bool VoltageMode = false; // true = high potential
    QStringList Memo;
    // How each reading was taken (grades, samples, repeats); never part of
    // the readings themselves.
    MeasurementQuality Quality;
    // Entered when the measurement is saved, read back with a stored one.
    MeasurementConditions Conditions;

    void setReading(int point, double value, const CompensationTable& table = defaultCompensationTable());
    void recompensate(const CompensationTable& table = defaultCompensationTable());
    void clearReadings();     // and what was known of how they were taken
    bool allMeasured() const;  // every reading non-zero
    bool hasData() const;      // the readings do not sum to 0
};

} // namespace lumo
