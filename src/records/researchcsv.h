#pragma once
// The practice's numbers for a spreadsheet: lumo-subjects.csv and
// lumo-measurements.csv, UTF-8 with a byte-order mark (so spreadsheet programs
// read the Chinese texts), comma separated, quoted as RFC 4180 says, lines
// ending in CR LF. Measurements carry their readings, the compensated values
// and the analysis figures with their grades (empty where the analysis refuses
// a measurement). Texts never run as formulas in a spreadsheet; numbers are
// written with the digits they were stored with. The anonymous form names no
// person: a pseudonym of this export instead of the subject number, the birth
// year instead of the birth date, none of the texts.

#include "records/database.h"

#include <QByteArray>
#include <functional>

namespace lumo {

inline constexpr const char* ResearchSubjectsFile = "lumo-subjects.csv";
inline constexpr const char* ResearchMeasurementsFile = "lumo-measurements.csv";

struct ResearchCsvOptions
{
    // 不含個人資料: SUBJECT, a pseudonym drawn at random for this export, in
    // place of the subject number and the row keys (each file in the order of
    // the pseudonyms, which tells nothing of the numbers); BIRTHYEAR in place
    // of the birth date; no name, address, telephone, e-mail, remarks, nor the
    // free texts CUSTCAT and CUSTFG that no screen shows.
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

// One text field as RFC 4180 writes it: quoted when it holds a comma, a quote,
// a line break or leading or trailing blanks, quotes doubled. A text that a
// spreadsheet would take for a formula (one that begins with =, +, -, @, a tab
// or a carriage return) gets a leading apostrophe, which spreadsheets read as
// "text" and do not show.
QString csvField(const QString& value);

// A stored number as the files write it: 15 significant digits, which is all
// a double holds faithfully (an empty field for a value that is not finite).
QByteArray csvNumber(double value);

} // namespace lumo
