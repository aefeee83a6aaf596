#include "base/json.h"

#include <charconv>
#include <cmath>

namespace lumo {

QByteArray shortestNumber(double v)
{
    if (!std::isfinite(v)) return "null";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, int(r.ptr - buf));
}

QByteArray jsonString(const QString& s)
{
    QString escaped;
    escaped.reserve(s.size() + 2);
    for (QChar c : s) {
        const ushort u = c.unicode();
        if (u == '"' || u == '\\') {
            escaped += QLatin1Char('\\');
            escaped += c;
        } else if (u == '\n') {
            escaped += QLatin1String("\\n");
        } else if (u == '\r') {
            escaped += QLatin1String("\\r");
        } else if (u == '\t') {
            escaped += QLatin1String("\\t");
        } else if (u < 0x20) {
            escaped += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        } else {
            escaped += c; // surrogate halves stay together for toUtf8 below
        }
    }
    return '"' + escaped.toUtf8() + '"';
}

void JsonWriter::separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) m_out += ", ";
        m_first.back() = false;
    }
}

JsonWriter& JsonWriter::beginObject()
{
    separate();
    m_out += "{";
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject()
{
    m_out += "}";
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray()
{
    separate();
    m_out += "[";
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    m_out += "]";
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(const QString& k)
{
    separate();
    m_out += jsonString(k);
    m_out += ": ";
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(double v)
{
    separate();
    m_out += shortestNumber(v);
    return *this;
}

JsonWriter& JsonWriter::value(int v)
{
    separate();
    m_out += QByteArray::number(v);
    return *this;
}

JsonWriter& JsonWriter::value(qint64 v)
{
    separate();
    m_out += QByteArray::number(v);
    return *this;
}

JsonWriter& JsonWriter::value(bool v)
{
    separate();
    m_out += v ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::value(const QString& v)
{
    separate();
    m_out += jsonString(v);
    return *this;
}

JsonWriter& JsonWriter::null()
{
    separate();
    m_out += "null";
    return *this;
}

} // namespace lumo
