#pragma once
// The printed comparison pages: the two-record report "L.U.M.O. 能量比對分析報表"
// and the multi-record report "L.U.M.O. 多重能量比對分析報表", drawn with the
// report page operations, and the PDF file that stands in for a printer.

#include "analysis/reportpage.h"
#include "base/status.h"
#include "comparison/comparisonchart.h"

#include <QDateTime>
#include <QPagedPaintDevice>
#include <functional>
#include <optional>

namespace lumo {

struct Configuration;

// What a header block of one measurement shows.
struct RecordBlock
{
    QString number;
    QString name;
    double bodyEnergy = 0;
    bool high = false; // VoltageMode
    double takenAt = 0;
};

struct TwoRecordPage
{
    const Configuration* config = nullptr;
    RecordBlock base;
    std::optional<RecordBlock> comparison; // only once a record was loaded on the screen
    ComparisonChart chart;
    QStringList notes; // how the measurements were taken, and the band of no real change
    QDateTime printedAt = QDateTime::currentDateTime();
};

struct MultiRecordPage
{
    const Configuration* config = nullptr;
    QVector<RecordBlock> entries;
    ComparisonChart chart; // bandSeries: the entry selected in the subject list
    QStringList notes;     // how the measurements were taken
    QDateTime printedAt = QDateTime::currentDateTime();
};

// The print jobs' titles.
QString twoRecordJobTitle();   // "L.U.M.O 能量比對資料."
QString multiRecordJobTitle(); // "L.U.M.O 多重能量比對資料."

// Title, the practice's two lines, the print time and the rule under them,
// from 10 mm down; the cursor ends below the rule.
void comparisonPageHeader(ReportPage& page, const QString& title, const Configuration& config,
                          const QDateTime& at);

// Draws the page; false when the job was abandoned on the way.
bool printTwoRecordPage(ReportPage& page, const TwoRecordPage& in);
bool printMultiRecordPage(ReportPage& page, const MultiRecordPage& in);

// A report as a PDF file (A4, 300 dots per inch): `draw` prints onto the page
// and returns false when the job was abandoned. The file is replaced whole or
// not at all; an abandoned job writes nothing and is no failure (`abandoned` set).
// `reportSize` sets the line height: 10 points, or 8 for the dense trend table.
Status printToPdfFile(const QString& path, const QString& title, const std::function<bool(ReportPage&)>& draw,
                      bool* abandoned = nullptr, int reportSize = 10);

// The same job onto a printer or any paged device already set up. An
// abandoned job calls `discard` while it is still open (a printer aborts it there).
bool printOnDevice(QPagedPaintDevice& device, const std::function<bool(ReportPage&)>& draw,
                   const std::function<void()>& discard = {}, int reportSize = 10);

} // namespace lumo
