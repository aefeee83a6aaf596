#pragma once
// Reads a spreadsheet's CSV file of subjects: UTF-8 with or without a
// byte-order mark, or Big5 (code page 950) as older programs here write it;
// comma or tab separated; fields quoted as RFC 4180 says; lines ending in
// CR LF, LF or CR. The file is someone else's: it is bounded in size, in
// columns and in cells, so no file exhausts memory, and a broken row is
// reported with its line instead of shifting the fields of every row after it.
// The encoding is the one most of the file's lines fit: a row whose bytes fit
// the other one (or none) is a broken row, and a header that fits the other
// one than the rows refuses the file.

#include "base/status.h"

#include <QStringList>
#include <QVector>

namespace lumo {

struct CsvLimits
{
    qint64 maxBytes = 32 * 1024 * 1024; // 100,000 subjects with every field filled take about 20 MB
    int maxColumns = 256;
    int maxFieldChars = 65536;
    qint64 maxCells = 2000000; // rows times columns kept: 100,000 subjects of 20 fields
};

struct CsvRow
{
    int line = 0; // the file's line where the row starts (1-based)
    QStringList fields;
    QString problem; // what is broken in the row's form; empty when nothing
};

struct CsvTable
{
    QString encoding; // "UTF-8" or "Big5"
    QChar separator;  // ',' or '\t'
    QStringList header;
    QVector<CsvRow> rows; // the data rows; blank lines are left out
};

// Reads the file whole (a regular file up to maxBytes). A file that is too
// large, too wide or without a header row is an error; a broken row is kept
// with its problem.
Status readCsvFile(const QString& path, CsvTable* out, const CsvLimits& limits = {});
Status parseCsv(const QByteArray& bytes, CsvTable* out, const CsvLimits& limits = {});

} // namespace lumo
