#include "shell/shellwords.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace lumo {

QStringList splitShellWords(const QString& text)
{
    QStringList words;
    QString word;
    bool inWord = false; // a word was started (an empty "" is a word too)
    enum
    {
        Plain,
        Single,
        Double
    } state = Plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (state) {
        case Plain:
            if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
                if (inWord) words << word;
                word.clear();
                inWord = false;
            } else if (c == QLatin1Char('\'')) {
                state = Single;
                inWord = true;
            } else if (c == QLatin1Char('"')) {
                state = Double;
                inWord = true;
            } else if (c == QLatin1Char('\\') && i + 1 < text.size() &&
                       QStringLiteral(" \t'\"\\").contains(text.at(i + 1))) {
                word += text.at(++i);
                inWord = true;
            } else {
                word += c;
                inWord = true;
            }
            break;
        case Single:
            if (c == QLatin1Char('\''))
                state = Plain;
            else
                word += c;
            break;
        case Double:
            if (c == QLatin1Char('"')) {
                state = Plain;
            } else if (c == QLatin1Char('\\') && i + 1 < text.size() &&
                       QStringLiteral("$`\"\\\n").contains(text.at(i + 1))) {
                word += text.at(++i);
            } else {
                word += c;
            }
            break;
        }
    }
    if (inWord) words << word;
    return words;
}

bool isWebAddress(const QString& text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(text).hasMatch() || text.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive);
}

QUrl documentUrl(const QString& text)
{
    if (isWebAddress(text)) return QUrl(text);
    return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

} // namespace lumo
