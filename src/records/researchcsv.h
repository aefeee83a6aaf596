#pragma once
// The practice's numbers for a spreadsheet: lumo-subjects.csv and
// lumo-measurements.csv, UTF-8 with a byte-order mark (so spreadsheet programs
// read the Chinese texts), comma separated, quoted as RFC 4180 says, lines
// ending in CR LF. Measurements carry their readings, the compensated values
// and the analysis figures with their grades (empty where the analysis refuses
// a measurement). The anonymous form leaves out what names a person.

#include "records/database.h"

#include <QByteArray>
#include <functional>

namespace lumo {

inline constexpr const char* ResearchSubjectsFile = "lumo-subjects.csv";
inline constexpr const char* ResearchMeasurementsFile = "lumo-measurements.csv";

struct ResearchCsvOptions
{
    // 不含個人資料: without names, addresses, telephone numbers, e-mail and the
    // free-text remarks; the subject number stays.
    bool anonymous = false;
    QString custNo; // one subject only (compared without regard to case); empty: every subject
};

struct ResearchCsv
{
    QByteArray subjects;
    QByteArray measurements;
};

// The number of rows the two files will hold.
qint64 researchCsvRows(Database& main, const ResearchCsvOptions& options, Status* status);

// Reads the practice in one snapshot; perRow after each written row. A subject
// number that names no subject is an error.
Status buildResearchCsv(Database& main, const ResearchCsvOptions& options, ResearchCsv* out,
                        const std::function<void()>& perRow = {});

// Writes both files into the directory, each replaced as a whole. osError:
// the system's error number of a failed write.
Status writeResearchCsv(const QString& directory, const ResearchCsv& csv, int* osError = nullptr);

// One field as RFC 4180 writes it: quoted when it holds a comma, a quote, a
// line break or leading or trailing blanks, quotes doubled.
QString csvField(const QString& value);

} // namespace lumo
