#pragma once
// The printed analysis report: header, subject block and the sections the
// print options choose, always in the same order, with its own page breaks.

#include "analysis/analysislists.h"
#include "analysis/reportpage.h"
#include "shell/configuration.h"
#include "records/rows.h"

#include <QPagedPaintDevice>

namespace lumo {

struct ReportInput
{
    EnergyAnalysis analysis;
    EnergySet energy;
    SubjectRow subject;
    const Configuration* config = nullptr;
    QString options;          // PrintOptions, 20 characters (a shorter text counts the rest as off)
    AnalysisLists lists;
    KnowledgeTexts* knowledge = nullptr;
    QStringList userPrograms; // the matching programs of the main database, in order
    Database* programDatabase = nullptr; // where their descriptions are
    QString treatmentRecord;
    QDate today = QDate::currentDate();
    // Why the measurement cannot be analysed (empty when it can): the report
    // then prints its values and "無法分析" with this reason instead of verdicts.
    QString refusal;
};

struct ReportOutcome
{
    bool abandoned = false;
    int pages = 0;
};

// Prints onto the device (a PDF writer or a printer, already set up).
// `abandoned` is asked before each section, entry and line; an abandoned job
// calls `discard` while it is still open (a printer aborts it there).
ReportOutcome PrintAnalysisReport(const ReportInput& in, QPagedPaintDevice& device,
                                  const std::function<bool()>& abandoned = {}, const std::function<void()>& discard = {});

// The same onto any paint device that turns its pages through `turnPage`.
ReportOutcome PrintAnalysisReport(const ReportInput& in, QPaintDevice& device, const std::function<void()>& turnPage,
                                  const std::function<bool()>& abandoned = {}, const std::function<void()>& discard = {});

// Writes the report as a PDF file (A4); false with a message on failure. The
// file is produced whole in memory, checked for its end, and only then put in
// place beside and renamed, so a full disk or a failed writer keeps the old
// file and says so; a path that is not a regular file is refused. An
// abandoned report leaves no file (and no message: it is not a failure).
bool printReportToPdf(const ReportInput& in, const QString& path, QString* error,
                      const std::function<bool()>& abandoned = {});

// The report as the bytes of a PDF file (A4), for callers that place the
// file themselves; false when abandoned (error empty) or when the writer
// produced no complete file (error says so).
bool renderReportPdf(const ReportInput& in, QByteArray* pdf, QString* error,
                     const std::function<bool()>& abandoned = {});

// The notice after a PDF was written, naming the file.
QString pdfWrittenNotice(const QString& path);
// The same for the comparison and trend reports.
QString reportPdfWrittenNotice(const QString& path);

// The printed chart variant: the screen picture in a box of 150 x 90 mm below the cursor.
void printChart(ReportPage& page, int chart, const EnergyAnalysis& a);

} // namespace lumo
