#pragma once
// The instrument trace file: what --trace-instrument writes and
// --replay-instrument reads, so that a practitioner's session with a real
// instrument can be replayed as a test. One line per report:
//
//     <ms> <direction> <bytes>   [# comment]
//
//   ms         milliseconds since the trace began, on the program's clock; never
//              decreasing
//   direction  ">"  an output report the program wrote to the instrument
//              "!"  an output report the instrument refused (the write failed)
//              "<"  an input report the program read from the instrument
//              "sN" string descriptor N as the program read it (N decimal)
//   bytes      two-digit hexadecimal numbers separated by blanks: a report with
//              its report-id byte first; a string as its UTF-16LE code units
//              (none: the string could not be read)
//
// Blank lines and everything from "#" to the end of a line are comments; the
// writer puts the readable text of each report there.

#include <QByteArray>
#include <QString>
#include <QVector>

namespace lumo {

struct TraceRecord
{
    enum class Kind
    {
        Output,
        Refused,
        Input,
        String
    };
    qint64 ms = 0;
    Kind kind = Kind::Output;
    int stringIndex = 0; // Kind::String
    QByteArray bytes;
    int line = 0; // where it stood in the file (1-based), for messages
};

// One line, ending in a newline.
QByteArray formatTraceRecord(const TraceRecord& record);
// The line that opens a trace file.
QByteArray traceFileHeader();

// String records carry the text as UTF-16LE code units.
QByteArray traceStringBytes(const QString& text);
QString traceStringText(const QByteArray& bytes);

struct ParsedTrace
{
    QVector<TraceRecord> records;
    QString error; // "line N: ..." when the text is not a trace; records then empty
};
ParsedTrace parseTrace(const QByteArray& text);

// "> 00 58 30 ..." style description of a record, for mismatch messages.
QString describeTraceRecord(const TraceRecord& record);

} // namespace lumo
