#include "knowledge/decipher.h"

#include "base/codec.h"

#include <QList>
#include <cstring>

namespace lumo {
namespace {

constexpr int kKeyLength = 13;

int hexValue(const QString& s, int from, int count)
{
    if (count <= 0) return -1; // the empty pair is no number
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const int d = QChar(s.at(i)).isDigit() ? s.at(i).unicode() - '0'
                      : (s.at(i).toLower() >= QLatin1Char('a') && s.at(i).toLower() <= QLatin1Char('f'))
                          ? s.at(i).toLower().unicode() - 'a' + 10
                          : -1;
        if (d < 0 || s.at(i).unicode() > 0x7F) return -1;
        v = v * 16 + d;
    }
    return v;
}

} // namespace

std::optional<QByteArray> decipherKnowledgeBytes(const QString& s, QString* error)
{
    const int n = int(s.size());
    if (n == 0) return QByteArray();
    auto fail = [&](int position) {
        if (error)
            *error = QStringLiteral("'%1' is not a valid stored text (no hexadecimal pair at %2)")
                         .arg(s.left(40), QString::number(position));
        return std::nullopt;
    };
    int prev = hexValue(s, 0, std::min(2, n));
    if (prev < 0) return fail(1);
    QByteArray out;
    out.reserve(n / 2);
    int i = 0;
    int p = 3; // 1-based read position
    do {
        const int available = std::min(2, n - p + 1);
        const int c = hexValue(s, p - 1, available);
        if (c < 0) return fail(p);
        i = i < kKeyLength ? i + 1 : 1;
        int a = c ^ int(KnowledgeKey[i - 1]);
        a = a > prev ? a - prev : a + 255 - prev;
        out.append(char(a));
        prev = c;
        p += 2;
    } while (p < n);
    return out;
}

std::optional<QString> DecipherKnowledgeText(const QString& stored, QString* error)
{
    auto bytes = decipherKnowledgeBytes(stored, error);
    if (!bytes) return std::nullopt;
    return fromCp950(*bytes);
}

std::optional<QString> encipherKnowledgeBytes(const QByteArray& plain, int firstPair, QString* error)
{
    if (firstPair < 0 || firstPair > 255) {
        if (error) *error = QStringLiteral("the first pair must be 00..FF");
        return std::nullopt;
    }
    QString out = QStringLiteral("%1").arg(firstPair, 2, 16, QLatin1Char('0')).toUpper();
    if (plain.isEmpty()) return QString(); // an empty text is stored empty
    int prev = firstPair;
    int i = 0;
    for (int j = 0; j < plain.size(); ++j) {
        const int a = quint8(plain.at(j));
        i = i < kKeyLength ? i + 1 : 1;
        int x;
        if (a >= 1 && a + prev <= 255)
            x = a + prev; // deciphered through the "greater than" branch
        else if (a + prev >= 255)
            x = a + prev - 255; // through the other branch
        else {
            if (error) *error = QStringLiteral("byte %1 of the text cannot be stored").arg(j + 1);
            return std::nullopt;
        }
        const int c = x ^ int(KnowledgeKey[i - 1]);
        out += QStringLiteral("%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
        prev = c;
    }
    return out;
}

std::optional<QString> EncipherKnowledgeText(const QString& plain, int firstPair, QString* error)
{
    // A character the stored form cannot hold is refused, not turned into '?'.
    qsizetype bad = -1;
    const auto bytes = toCp950Strict(plain, &bad);
    if (!bytes) {
        if (error) {
            const char32_t cp = QStringView(plain).mid(bad).toUcs4().value(0);
            *error = QStringLiteral("character %1 ('%2', U+%3) has no code page 950 form")
                         .arg(QString::number(bad + 1), QString::fromUcs4(&cp, 1),
                              QStringLiteral("%1").arg(uint(cp), 4, 16, QLatin1Char('0')).toUpper());
        }
        return std::nullopt;
    }
    return encipherKnowledgeBytes(*bytes, firstPair, error);
}

} // namespace lumo
