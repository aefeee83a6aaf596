#include "records/subjectcsv.h"

#include "base/boundedread.h"
#include "base/codec.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// UTF-8 when the file says so with its mark or is valid UTF-8 throughout;
// otherwise the code page the older programs of a practice here write.
QString decode(const QByteArray& bytes, QString* encoding)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom)) {
        *encoding = QStringLiteral("UTF-8");
        return QString::fromUtf8(bytes.constData() + bom.size(), bytes.size() - bom.size());
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        *encoding = QStringLiteral("UTF-8");
        return text;
    }
    *encoding = QStringLiteral("Big5");
    return fromCp950(bytes);
}

// The separator of the file: the one of comma and tab that the first line
// holds more of outside quotes (a tab-separated file's first line rarely holds
// a comma, a comma-separated one's never a tab).
QChar separatorOf(const QString& text)
{
    int commas = 0, tabs = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char('\t'))
            ++tabs;
    }
    return tabs > commas ? QLatin1Char('\t') : QLatin1Char(',');
}

class Parser
{
public:
    Parser(const QString& text, QChar sep, const CsvLimits& limits)
        : m_text(text), m_sep(sep), m_limits(limits)
    {
    }

    // One record from the current position; false at the end of the text.
    bool next(CsvRow* row)
    {
        skipBlankLines();
        if (m_pos >= m_text.size()) return false;
        *row = CsvRow{m_line, {}, {}};
        for (;;) {
            QString field;
            const bool more = readField(&field, row);
            if (row->fields.size() < m_limits.maxColumns)
                row->fields << field;
            else if (row->problem.isEmpty())
                row->problem = u("欄位超過 %1 個").arg(m_limits.maxColumns);
            if (!more) break;
        }
        return true;
    }

private:
    bool atLineEnd(qsizetype i) const
    {
        return i >= m_text.size() || m_text[i] == QLatin1Char('\n') || m_text[i] == QLatin1Char('\r');
    }
    void takeLineEnd()
    {
        if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('\r')) ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('\n')) ++m_pos;
        ++m_line;
    }
    void skipBlankLines()
    {
        while (m_pos < m_text.size() && atLineEnd(m_pos))
            takeLineEnd();
    }
    void append(QString* field, QChar c, CsvRow* row)
    {
        if (field->size() < m_limits.maxFieldChars)
            field->append(c);
        else if (row->problem.isEmpty())
            row->problem = u("欄位超過 %1 個字").arg(m_limits.maxFieldChars);
    }
    // Reads one field; true when another field of the same record follows.
    bool readField(QString* field, CsvRow* row)
    {
        if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('"')) return readQuoted(field, row);
        while (!atLineEnd(m_pos) && m_text[m_pos] != m_sep)
            append(field, m_text[m_pos++], row);
        return finishField();
    }
    bool readQuoted(QString* field, CsvRow* row)
    {
        ++m_pos;
        for (;;) {
            if (m_pos >= m_text.size()) {
                row->problem = u("引號沒有結束");
                return false;
            }
            const QChar c = m_text[m_pos++];
            if (c == QLatin1Char('"')) {
                if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('"')) {
                    append(field, c, row);
                    ++m_pos;
                    continue;
                }
                break;
            }
            if (c == QLatin1Char('\n') ||
                (c == QLatin1Char('\r') && !(m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('\n'))))
                ++m_line;
            append(field, c, row);
        }
        // Text after the closing quote: the quotes of the row do not pair up.
        if (!atLineEnd(m_pos) && m_text[m_pos] != m_sep) {
            if (row->problem.isEmpty()) row->problem = u("引號不成對");
            while (!atLineEnd(m_pos) && m_text[m_pos] != m_sep)
                append(field, m_text[m_pos++], row);
        }
        return finishField();
    }
    bool finishField()
    {
        if (m_pos < m_text.size() && m_text[m_pos] == m_sep) {
            ++m_pos;
            return true;
        }
        takeLineEnd();
        return false;
    }

    const QString& m_text;
    QChar m_sep;
    const CsvLimits& m_limits;
    qsizetype m_pos = 0;
    int m_line = 1;
};

Status tooLarge(const CsvLimits& limits)
{
    return Status::failure(u("檔案超過 %1 MB，不像是受測者清單").arg(limits.maxBytes / (1024 * 1024)));
}

bool blank(const CsvRow& row)
{
    for (const QString& f : row.fields)
        if (!f.trimmed().isEmpty()) return false;
    return true;
}

} // namespace

Status parseCsv(const QByteArray& bytes, CsvTable* out, const CsvLimits& limits)
{
    *out = CsvTable{};
    if (bytes.size() > limits.maxBytes) return tooLarge(limits);
    const QString text = decode(bytes, &out->encoding);
    out->separator = separatorOf(text);
    Parser parser(text, out->separator, limits);
    CsvRow row;
    if (!parser.next(&row)) return Status::failure(u("檔案是空的"));
    if (!row.problem.isEmpty())
        return Status::failure(u("第 %1 行 (標題列)：%2").arg(row.line).arg(row.problem));
    out->header = row.fields;
    qint64 cells = out->header.size();
    while (parser.next(&row)) {
        if (blank(row) && row.problem.isEmpty()) continue;
        // Columns beyond the header's that hold something: a separator inside
        // an unquoted field has moved the row's values.
        for (qsizetype i = out->header.size(); i < row.fields.size() && row.problem.isEmpty(); ++i)
            if (!row.fields[i].trimmed().isEmpty()) row.problem = u("欄位比標題列多");
        cells += row.fields.size();
        if (cells > limits.maxCells)
            return Status::failure(u("檔案的資料格超過 %1 個，不像是受測者清單").arg(limits.maxCells));
        out->rows << row;
    }
    return Status::success();
}

Status readCsvFile(const QString& path, CsvTable* out, const CsvLimits& limits)
{
    QByteArray bytes;
    const QFileInfo info(path);
    if (info.isFile() && info.size() > limits.maxBytes) return tooLarge(limits);
    // The reader refuses what is no regular file (a FIFO, a device) and a file that grew meanwhile.
    if (Status s = readRegularFile(path, limits.maxBytes, &bytes); !s) return s;
    return parseCsv(bytes, out, limits);
}

} // namespace lumo
