#pragma once
// A subject's progress over time: one row per stored measurement, in date
// order, with the analysis figures a course of treatment is judged by.

#include "analysis/energy.h"
#include "records/measurementextras.h"
#include "records/rows.h"

#include <QByteArray>
#include <QVector>

namespace lumo {

struct TrendRow
{
    qint64 MKEY = 0;
    double takenAt = 0;
    bool high = false;     // VoltageMode
    bool analysed = false; // false: the analysis refused the measurement
    double BodyEnergy = 0; // compensated
    double bandTop = 0;    // BodyEnergy + UpperOuterLimit
    double bandBottom = 0; // BodyEnergy - LowerOuterLimit
    double UpperLowerRatio = 0, LeftRightRatio = 0, YinYangRatio = 0, AutonomicRatio = 0;
    int UpperLowerGrade = 0, LeftRightGrade = 0, YinYangGrade = 0, AutonomicGrade = 0;
    int highMeridians = 0, lowMeridians = 0;
    QVector<Meridian> meridiansHigh, meridiansLow; // judged high and low, in Meridian order
};

// The four ratios in the order the table and the chart show them.
constexpr int TrendRatioCount = 4;
double trendRatio(const TrendRow& row, int ratio);
int trendGrade(const TrendRow& row, int ratio);
QString trendGradeText(const TrendRow& row, int ratio, TextStyle style = TextStyle::Screen);
QString trendRatioLabel(int ratio); // "精神狀態比值" ...
// The meridians' names without blanks, "肺經、心包經"; empty for none.
QString meridianNames(const QVector<Meridian>& meridians);
NormalRange trendNormalRange(int ratio, bool male);

// The rows of the measurements in date order (then by key), each analysed with
// the subject's sex.
QVector<TrendRow> buildTrend(QVector<MeasurementRow> measurements, const CompensationTable& table, bool male);
int analysedCount(const QVector<TrendRow>& rows);

// How the visits were taken, at most three lines whatever their number: the
// visits with poor points, those whose time of day is more than 3 hours from
// the first visit's, and those whose conditions differ from its.
// `measurements` in any order.
QStringList trendNotes(const QVector<TrendRow>& rows, const QVector<MeasurementRow>& measurements,
                       const QHash<qint64, MeasurementExtras>& extras);

// The table as UTF-8 with a byte-order mark, a header row, CRLF line ends;
// numbers in the shortest form that reads back as the same double.
QByteArray trendCsv(const QVector<TrendRow>& rows);

} // namespace lumo
