#pragma once
// The printed trend page "L.U.M.O. 歷次能量趨勢報表": the header of the
// comparison pages, the subject, the trend chart and the table of every
// measurement, with page breaks when the table runs long.

#include "analysis/reportpage.h"
#include "comparison/noise.h"
#include "comparison/trend.h"

#include <QDateTime>
#include <functional>

namespace lumo {

struct Configuration;

struct TrendPage
{
    const Configuration* config = nullptr;
    SubjectRow subject;
    QVector<TrendRow> rows;
    QDateTime printedAt = QDateTime::currentDateTime();
    const NoiseFigures* noise = nullptr; // the band of no real change, when drawn
    QStringList notes{};                 // how the visits were taken
};

QString trendJobTitle();  // "L.U.M.O 歷次能量趨勢資料."
QString trendPageTitle(); // "L.U.M.O. 歷次能量趨勢報表"
// The page's report size: its lines are those of the 8-point table.
constexpr int TrendReportSize = 8;

// The names of `meridians` ("肺經、心包經") as lines no wider than `width`
// by `widthOf`: a name is never split, a line holds at least one.
QStringList meridianNameLines(const QVector<Meridian>& meridians, int width,
                              const std::function<int(const QString&)>& widthOf);

// False when the job was abandoned on the way.
bool printTrendPage(ReportPage& page, const TrendPage& in);

} // namespace lumo
