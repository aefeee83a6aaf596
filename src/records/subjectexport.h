#pragma once
// A copy of everything the practice keeps about one subject, for the subject
// to take away: one folder holding subject.json (a FHIR R4 bundle), the
// research files of the subject with the person's fields, and the printed
// report of each measurement as PDF. The folder appears whole or not at all.

#include "base/status.h"
#include "records/rows.h"

#include <QDate>
#include <functional>

namespace lumo {

struct SharedState;

inline constexpr const char* SubjectBundleFile = "subject.json";

struct SubjectExportOutcome
{
    QString folder; // where it now is
    int measurements = 0;
};

// The folder's proposed name in a chosen directory: "LUMO-" + the number +
// "-" + the date, with characters that file systems refuse replaced by "_".
QString subjectFolderName(const QString& custNo, const QDate& day);

// The report of measurement n (1-based, in the listed order) in the folder.
QString reportFileName(int n, const MeasurementRow& m);

// Writes the folder `folder`, which must not exist yet (its parent must).
// The subject's measurements are those listed under its number; a number that
// more than one subject holds is refused (their measurements cannot be told
// apart until the subjects are merged). `printOptions` chooses the report's
// sections as the analysis screen's print options do. The reports are rendered
// on every core; `progress` runs on the calling thread, after each report it
// renders, with the count all threads have done and the total. The first
// failure stops every thread, and nothing is left at or beside `folder`.
Status exportSubjectRecords(SharedState& state, const SubjectRow& subject, const QString& folder,
                            const QString& printOptions, SubjectExportOutcome* outcome = nullptr,
                            const std::function<void(int, int)>& progress = {});

// How many subjects hold the number (compared without regard to case).
qint64 countSubjectsWithNumber(class Database& db, const QString& custNo);

// What the log says of an export: the subject, where its folder went and how many measurements.
QString exportAuditText(const SubjectRow& subject, const QString& folder, int measurements);

} // namespace lumo
