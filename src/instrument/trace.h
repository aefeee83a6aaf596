#pragma once
// Recording the instrument's traffic (--trace-instrument): a backend that wraps
// another and writes every report and string read to a trace file in the
// format of traceformat.h, timed on the program's clock.

#include "base/clock.h"
#include "instrument/traceformat.h"
#include "instrument/transport.h"

#include <QFile>
#include <QMutex>
#include <functional>

namespace lumo {

// Written from the user-interface thread (writes, strings) and from the read
// thread (input reports): one line at a time under a lock, flushed at once so
// that a session that ends abruptly keeps its trace.
class TraceWriter
{
public:
    explicit TraceWriter(const Clock& clock) : m_clock(clock) {}
    bool open(const QString& path);
    void record(TraceRecord::Kind kind, const QByteArray& bytes, int stringIndex = 0);
    // Records an output report as written or refused, by what write() returns.
    bool recordWrite(const QByteArray& report, const std::function<bool()>& write);

private:
    void writeLine(qint64 now, TraceRecord::Kind kind, const QByteArray& bytes, int stringIndex);
    const Clock& m_clock;
    QMutex m_mutex;
    QFile m_file;
    qint64 m_start = 0;
};

class TracingBackend : public HidBackend
{
public:
    TracingBackend(HidBackend& inner, TraceWriter& writer) : m_inner(inner), m_writer(writer) {}
    bool available() const override { return m_inner.available(); }
    QVector<HidInterfaceInfo> enumerate() override { return m_inner.enumerate(); }
    std::unique_ptr<HidTransport> open(const HidInterfaceInfo& info) override;
    OpenFailure lastOpenFailure() const override { return m_inner.lastOpenFailure(); }

private:
    HidBackend& m_inner;
    TraceWriter& m_writer;
};

} // namespace lumo
