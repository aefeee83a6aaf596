#include "records/subjectcsv.h"

#include "base/boundedread.h"
#include "base/codec.h"

#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// What one line's bytes say of the file's encoding.
enum class LineKind
{
    Ascii, // says nothing
    Utf8,  // valid UTF-8 with characters beyond ASCII
    Big5,  // not UTF-8, but lead and trail bytes as code page 950 pairs them
    Broken // neither
};

bool isUtf8(const char* p, qsizetype n)
{
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = d.decode(QByteArrayView(p, n)); // decoding happens on the conversion
    return !d.hasError();
}

// Code page 950's form: a lead byte 0x81-0xFE and a trail 0x40-0x7E or 0xA1-0xFE.
bool isBig5Form(const char* p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (b < 0x80) continue;
        if (b == 0x80 || b == 0xFF || i + 1 >= n) return false;
        const auto t = static_cast<unsigned char>(p[++i]);
        if (!((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE))) return false;
    }
    return true;
}

LineKind kindOf(const char* p, qsizetype n)
{
    bool ascii = true;
    for (qsizetype i = 0; i < n && ascii; ++i)
        ascii = static_cast<unsigned char>(p[i]) < 0x80;
    if (ascii) return LineKind::Ascii;
    if (isUtf8(p, n)) return LineKind::Utf8;
    return isBig5Form(p, n) ? LineKind::Big5 : LineKind::Broken;
}

// The encoding, decided by every line of the file: the one most lines beyond
// ASCII fit. A UTF-8 file with a few bad bytes stays UTF-8 (the rows that
// hold them are problems); a file whose header fits one and whose rows fit
// the other is refused rather than read with garbled names.
struct Decoded
{
    QString text;
    QString encoding;
    QSet<int> foreignLines; // lines (1-based, counted at LF) that do not fit the encoding
};

Status decode(const QByteArray& bytes, Decoded* out)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom)) {
        out->encoding = QStringLiteral("UTF-8");
        out->text = QString::fromUtf8(bytes.constData() + bom.size(), bytes.size() - bom.size());
        return Status::success();
    }
    QVector<LineKind> kinds;
    int utf8 = 0, big5 = 0;
    // Lines end as the parser counts them (CR LF, LF or CR); neither encoding
    // uses those bytes inside a character.
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        kinds << kindOf(bytes.constData() + start, end - start);
        if (kinds.size() > 1) {
            utf8 += kinds.last() == LineKind::Utf8;
            big5 += kinds.last() == LineKind::Big5;
        }
        start = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
    }
    const LineKind header = kinds.value(0, LineKind::Ascii);
    if ((header == LineKind::Utf8 && big5 > utf8) || (header == LineKind::Big5 && utf8 > big5))
        return Status::failure(
            u("標題列是 %1，資料列卻是 %2：檔案的編碼前後不一致，請另存為同一種編碼後再匯入")
                .arg(header == LineKind::Utf8 ? u("UTF-8") : u("Big5"),
                     header == LineKind::Utf8 ? u("Big5") : u("UTF-8")));
    const bool isBig5 = big5 > utf8 || (big5 == utf8 && header == LineKind::Big5);
    out->encoding = isBig5 ? QStringLiteral("Big5") : QStringLiteral("UTF-8");
    out->text = isBig5 ? fromCp950(bytes) : QString::fromUtf8(bytes);
    for (int i = 0; i < kinds.size(); ++i)
        if (kinds[i] == LineKind::Broken || kinds[i] == (isBig5 ? LineKind::Utf8 : LineKind::Big5))
            out->foreignLines.insert(i + 1);
    return Status::success();
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

public:
    // The line the next record starts on, or where the text ended.
    int line() const { return m_line; }
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

// A record that spans a line whose bytes do not fit the file's encoding.
QString foreignBytes(const Decoded& d, int first, int last)
{
    for (int l = first; l <= last; ++l)
        if (d.foreignLines.contains(l)) return u("第 %1 行有無法以 %2 讀取的位元組").arg(l).arg(d.encoding);
    return {};
}

} // namespace

Status parseCsv(const QByteArray& bytes, CsvTable* out, const CsvLimits& limits)
{
    *out = CsvTable{};
    if (bytes.size() > limits.maxBytes) return tooLarge(limits);
    Decoded decoded;
    if (Status s = decode(bytes, &decoded); !s) return s;
    out->encoding = decoded.encoding;
    out->separator = separatorOf(decoded.text);
    Parser parser(decoded.text, out->separator, limits);
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
        if (row.problem.isEmpty()) row.problem = foreignBytes(decoded, row.line, parser.line() - 1);
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
