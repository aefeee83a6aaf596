#include "instrument/traceformat.h"

#include <QList>

namespace lumo {
namespace {

QByteArray directionOf(const TraceRecord& r)
{
    switch (r.kind) {
    case TraceRecord::Kind::Output:
        return ">";
    case TraceRecord::Kind::Refused:
        return "!";
    case TraceRecord::Kind::Input:
        return "<";
    case TraceRecord::Kind::String:
        return "s" + QByteArray::number(r.stringIndex);
    }
    return "?";
}

// The readable part of a report: its characters after the id byte, blanks at
// the end kept visible inside the quotes, anything unprintable as a dot.
QByteArray readableText(const TraceRecord& r)
{
    if (r.kind == TraceRecord::Kind::String) {
        QString text = traceStringText(r.bytes);
        for (QChar& c : text)
            if (c.unicode() < 0x20) c = QLatin1Char('.'); // a line break would end the record's line
        return '"' + text.toUtf8() + '"';
    }
    QByteArray text;
    for (int i = 1; i < r.bytes.size(); ++i) {
        const char c = r.bytes.at(i);
        text += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return '"' + text + '"';
}

bool parseDirection(const QByteArray& token, TraceRecord& r)
{
    if (token == ">")
        r.kind = TraceRecord::Kind::Output;
    else if (token == "!")
        r.kind = TraceRecord::Kind::Refused;
    else if (token == "<")
        r.kind = TraceRecord::Kind::Input;
    else if (token.size() >= 2 && token.at(0) == 's') {
        bool ok = false;
        r.stringIndex = token.mid(1).toInt(&ok);
        if (!ok || r.stringIndex < 1 || r.stringIndex > 255) return false;
        r.kind = TraceRecord::Kind::String;
    } else
        return false;
    return true;
}

bool parseByte(const QByteArray& token, char& out)
{
    if (token.size() != 2) return false;
    bool ok = false;
    const int v = token.toInt(&ok, 16);
    out = char(v);
    return ok;
}

QString lineError(int line, const QString& what)
{
    return QStringLiteral("line %1: %2").arg(line).arg(what);
}

} // namespace

QByteArray traceFileHeader()
{
    return "# lumo instrument trace: ms since start, direction (> written, ! refused, < read, sN string "
           "descriptor N), bytes in hexadecimal\n";
}

QByteArray formatTraceRecord(const TraceRecord& r)
{
    QByteArray line = QByteArray::number(r.ms) + ' ' + directionOf(r);
    if (!r.bytes.isEmpty()) line += ' ' + r.bytes.toHex(' ').toUpper();
    return line + "  # " + readableText(r) + '\n';
}

QString describeTraceRecord(const TraceRecord& r)
{
    QByteArray text = directionOf(r);
    if (!r.bytes.isEmpty()) text += ' ' + r.bytes.toHex(' ').toUpper();
    return QString::fromUtf8(text + ' ' + readableText(r));
}

QByteArray traceStringBytes(const QString& text)
{
    QByteArray out;
    for (QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
    return out;
}

QString traceStringText(const QByteArray& bytes)
{
    QString text;
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(quint8(bytes.at(i)) | (quint8(bytes.at(i + 1)) << 8)));
    return text;
}

ParsedTrace parseTrace(const QByteArray& text)
{
    ParsedTrace result;
    const QList<QByteArray> lines = text.split('\n');
    qint64 last = 0;
    for (int n = 0; n < lines.size(); ++n) {
        QByteArray body = lines.at(n);
        const int hash = body.indexOf('#');
        if (hash >= 0) body.truncate(hash);
        const QList<QByteArray> tokens = body.simplified().split(' ');
        if (tokens.size() == 1 && tokens.first().isEmpty()) continue;
        TraceRecord r;
        r.line = n + 1;
        bool ok = false;
        r.ms = tokens.first().toLongLong(&ok);
        if (!ok || r.ms < 0)
            return {{}, lineError(r.line, QStringLiteral("the time is not a number of milliseconds"))};
        if (r.ms < last) return {{}, lineError(r.line, QStringLiteral("the time goes back"))};
        last = r.ms;
        if (tokens.size() < 2 || !parseDirection(tokens.at(1), r))
            return {{}, lineError(r.line, QStringLiteral("the direction is not >, !, < or sN"))};
        for (int t = 2; t < tokens.size(); ++t) {
            char byte = 0;
            if (!parseByte(tokens.at(t), byte))
                return {{},
                        lineError(r.line, QStringLiteral("\"%1\" is not a hexadecimal byte")
                                              .arg(QString::fromLatin1(tokens.at(t))))};
            r.bytes += byte;
        }
        if (r.kind != TraceRecord::Kind::String && r.bytes.isEmpty())
            return {{}, lineError(r.line, QStringLiteral("a report without bytes"))};
        if (r.kind == TraceRecord::Kind::String && r.bytes.size() % 2 != 0)
            return {{}, lineError(r.line, QStringLiteral("a string of an odd number of bytes"))};
        result.records.append(r);
    }
    return result;
}

} // namespace lumo
