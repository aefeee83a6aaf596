#pragma once
// Reads CSV text as RFC 4180 defines it, written here from the RFC and not
// from the program's writer: records end in CR LF, a field is quoted when it
// starts with a quote, a quote inside a quoted field is doubled, and a quoted
// field may hold commas and line breaks.

#include <QString>
#include <QStringList>
#include <QVector>

namespace lumo::test {

struct CsvRead
{
    QVector<QStringList> records;
    QString error; // empty when the text is well formed
};

inline CsvRead readCsv(const QString& text)
{
    CsvRead r;
    QStringList record;
    QString field;
    bool quoted = false, inQuotes = false, fieldStarted = false;
    auto endField = [&] {
        record << field;
        field.clear();
        quoted = inQuotes = fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else
                inQuotes = false;
            continue;
        }
        if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = inQuotes = fieldStarted = true;
        } else if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n')) {
                r.error = QStringLiteral("CR without LF at %1").arg(i);
                return r;
            }
            ++i;
            endField();
            r.records << record;
            record.clear();
        } else if (c == QLatin1Char('\n') || (quoted && c != QLatin1Char('"'))) {
            r.error = QStringLiteral("unexpected character at %1").arg(i);
            return r;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (inQuotes)
        r.error = QStringLiteral("unterminated quoted field");
    else if (fieldStarted || !record.isEmpty())
        r.error = QStringLiteral("last record without CR LF");
    return r;
}

} // namespace lumo::test
