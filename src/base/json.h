#pragma once
// A small JSON writer that keeps keys in the order they are written (the
// command-line output lists settings in file order) and writes numbers in the
// shortest form that reads back to the same double.

#include <QByteArray>
#include <QString>
#include <vector>

namespace lumo {

class JsonWriter
{
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(const QString& k);
    JsonWriter& value(double v);
    JsonWriter& value(int v);
    JsonWriter& value(qint64 v);
    JsonWriter& value(bool v);
    JsonWriter& value(const QString& v);
    JsonWriter& value(const char* v) { return value(QString::fromUtf8(v)); }
    JsonWriter& null();

    template <typename Range>
    JsonWriter& numbers(const Range& r)
    {
        beginArray();
        for (double v : r) value(v);
        return endArray();
    }

    const QByteArray& text() const { return m_out; }

private:
    void separate();
    QByteArray m_out;
    std::vector<bool> m_first; // per open container: nothing written yet
    bool m_afterKey = false;
};

// The shortest decimal text that reads back to the same double.
QByteArray shortestNumber(double v);
QByteArray jsonString(const QString& s);

} // namespace lumo
