#include "base/visibletext.h"

#include <QStringView>

namespace lumo {
namespace {

// Characters that print nothing a reader could tell apart: controls, format
// characters (zero widths, direction overrides), separators other than the
// blank, private and unassigned code points, lone surrogates; and the marks'
// own brackets.
bool hidden(char32_t c)
{
    if (c == U'\u27E8' || c == U'\u27E9') return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Separator_Space:
        return c != U' ';
    default:
        return false;
    }
}

QString markName(char32_t c)
{
    switch (c) {
    case U' ':
        return QString::fromUtf8("空白");
    case U'\n':
        return QString::fromUtf8("換行");
    case U'\r':
        return QString::fromUtf8("歸位");
    case U'\t':
        return QString::fromUtf8("定位");
    default:
        return QStringLiteral("U+") +
               QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    }
}

QString mark(char32_t c, qsizetype count)
{
    QString m = QChar(0x27E8) + markName(c);
    if (count > 1) m += QChar(0x00D7) + QString::number(count);
    return m + QChar(0x27E9);
}

// The code point at i (a lone surrogate stands for itself) and its length.
char32_t codePointAt(QStringView s, qsizetype i, int* length)
{
    const QChar c = s.at(i);
    if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, s.at(i + 1));
    }
    *length = 1;
    return c.unicode();
}

} // namespace

QString visibleText(const QString& text, int maxChars)
{
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        int length = 0;
        const char32_t c = codePointAt(text, i, &length);
        const bool blank = c == U' ';
        if (!blank && !hidden(c)) {
            out += QStringView(text).mid(i, length);
            i += length;
            continue;
        }
        // The run of this same character.
        qsizetype count = 0;
        qsizetype j = i;
        int step = 0;
        while (j < text.size() && codePointAt(text, j, &step) == c) {
            j += step;
            ++count;
        }
        if (blank && count == 1)
            out += QLatin1Char(' ');
        else
            out += mark(c, count);
        i = j;
    }
    if (maxChars > 0 && out.size() > maxChars)
        return out.left(maxChars) + QString::fromUtf8("…（共 %1 字）").arg(text.size());
    return out;
}

} // namespace lumo
