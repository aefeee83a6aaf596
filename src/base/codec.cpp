#include "base/codec.h"

#include <cerrno>
#include <iconv.h>

namespace lumo {
namespace {

// iconv descriptors are not thread-safe, so each call opens its own; the
// texts converted here are short (settings lines, knowledge fields).
class Converter
{
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid()) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; on an invalid or unconvertible sequence
    // calls onBad(out, offset of the sequence in the input) and skips `skip` input bytes.
    template <typename OnBad>
    QByteArray run(const QByteArray& in, int skipOnBad, OnBad onBad, bool* clean = nullptr)
    {
        QByteArray out;
        if (clean) *clean = true;
        if (!valid()) return out;
        char* src = const_cast<char*>(in.constData());
        size_t srcLeft = size_t(in.size());
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, int(dst - buffer));
            if (rc != size_t(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a truncated double-byte character at the end)
            if (clean) *clean = false;
            onBad(out, qsizetype(src - in.constData()));
            size_t skip = std::min<size_t>(size_t(skipOnBad), srcLeft);
            src += skip;
            srcLeft -= skip;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, int(dst - buffer));
        return out;
    }

private:
    iconv_t m_cd;
};

} // namespace

QString fromCp950(const QByteArray& bytes)
{
    Converter c("UTF-8", Cp950Name);
    // A rejected lead byte is replaced alone: the byte after it may start a valid character.
    QByteArray utf8 = c.run(bytes, 1, [](QByteArray& out, qsizetype) { out.append("\xEF\xBF\xBD"); });
    return QString::fromUtf8(utf8);
}

QByteArray toCp950(const QString& text)
{
    Converter c(Cp950Name, "UTF-16LE");
    QByteArray in(reinterpret_cast<const char*>(text.utf16()), int(text.size() * 2));
    // Skip one UTF-16 unit (two bytes); a surrogate pair yields two '?'.
    return c.run(in, 2, [](QByteArray& out, qsizetype) { out.append('?'); });
}

std::optional<QByteArray> toCp950Strict(const QString& text, qsizetype* badIndex)
{
    Converter c(Cp950Name, "UTF-16LE");
    QByteArray in(reinterpret_cast<const char*>(text.utf16()), int(text.size() * 2));
    qsizetype first = -1;
    QByteArray out = c.run(in, 2, [&](QByteArray&, qsizetype offset) {
        if (first < 0) first = offset / 2;
    });
    if (!c.valid()) first = 0;
    if (first >= 0) {
        if (badIndex) *badIndex = first;
        return std::nullopt;
    }
    return out;
}

bool isValidCp950(const QByteArray& bytes)
{
    Converter c("UTF-8", Cp950Name);
    bool clean = true;
    c.run(
        bytes, 1, [](QByteArray&, qsizetype) {}, &clean);
    return clean;
}

} // namespace lumo
