#include "instrument/trace.h"

#include <QMutexLocker>

namespace lumo {
namespace {

class TracingTransport : public HidTransport
{
public:
    TracingTransport(std::unique_ptr<HidTransport> inner, TraceWriter& writer)
        : m_inner(std::move(inner)), m_writer(writer)
    {
    }
    bool write(const QByteArray& report) override
    {
        return m_writer.recordWrite(report, [&] { return m_inner->write(report); });
    }
    int read(QByteArray& report, int timeoutMs) override
    {
        const int n = m_inner->read(report, timeoutMs);
        // Recorded before the report leaves read(): its line then always comes
        // before the line of the command that follows it.
        if (n > 0) m_writer.record(TraceRecord::Kind::Input, report.left(n));
        return n;
    }
    void cancel() override { m_inner->cancel(); }
    int inputReportLength() override { return m_inner->inputReportLength(); }
    int outputReportLength() override { return m_inner->outputReportLength(); }
    QString indexedString(int index) override
    {
        const QString text = m_inner->indexedString(index);
        m_writer.record(TraceRecord::Kind::String, traceStringBytes(text), index);
        return text;
    }
    void flushInput() override { m_inner->flushInput(); }
    bool inputInTransit() const override { return m_inner->inputInTransit(); }
    void inputTakenOn() override { m_inner->inputTakenOn(); }

private:
    std::unique_ptr<HidTransport> m_inner;
    TraceWriter& m_writer;
};

} // namespace

bool TraceWriter::open(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    m_start = m_clock.nowMs();
    return m_file.write(traceFileHeader()) > 0 && m_file.flush();
}

void TraceWriter::record(TraceRecord::Kind kind, const QByteArray& bytes, int stringIndex)
{
    QMutexLocker lock(&m_mutex);
    writeLine(m_clock.nowMs(), kind, bytes, stringIndex);
}

bool TraceWriter::recordWrite(const QByteArray& report, const std::function<bool()>& write)
{
    // Timed before the write, so a reply's delay counts from the moment its
    // command left (as the replay counts it). The lock is held across the
    // write: a reply the read thread takes meanwhile waits to be recorded
    // until its command's line is written.
    QMutexLocker lock(&m_mutex);
    const qint64 before = m_clock.nowMs();
    const bool ok = write();
    writeLine(before, ok ? TraceRecord::Kind::Output : TraceRecord::Kind::Refused, report, 0);
    return ok;
}

void TraceWriter::writeLine(qint64 now, TraceRecord::Kind kind, const QByteArray& bytes, int stringIndex)
{
    if (!m_file.isOpen()) return;
    TraceRecord r;
    r.ms = now - m_start;
    r.kind = kind;
    r.bytes = bytes;
    r.stringIndex = stringIndex;
    m_file.write(formatTraceRecord(r));
    m_file.flush();
}

std::unique_ptr<HidTransport> TracingBackend::open(const HidInterfaceInfo& info)
{
    std::unique_ptr<HidTransport> t = m_inner.open(info);
    if (!t) return nullptr;
    return std::make_unique<TracingTransport>(std::move(t), m_writer);
}

} // namespace lumo
