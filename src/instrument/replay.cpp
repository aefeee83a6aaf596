#include "instrument/replay.h"

#include "instrument/protocol.h"

#include <QFile>

namespace lumo {

class ReplayBackend::Transport : public HidTransport
{
public:
    explicit Transport(ReplayBackend& replay) : m_replay(replay) {}
    ~Transport() override { m_replay.m_replies.takenOn(); }
    bool write(const QByteArray& report) override { return m_replay.handleWrite(report); }
    int read(QByteArray& report, int timeoutMs) override
    {
        m_cancelled = false;
        return m_replay.m_replies.take(report, timeoutMs, m_cancelled);
    }
    void cancel() override
    {
        m_cancelled = true;
        m_replay.m_replies.cancel();
    }
    bool inputInTransit() const override { return m_replay.m_replies.inTransit(); }
    void inputTakenOn() override { m_replay.m_replies.takenOn(); }
    int inputReportLength() override { return m_replay.reportLength(TraceRecord::Kind::Input); }
    int outputReportLength() override { return m_replay.reportLength(TraceRecord::Kind::Output); }
    QString indexedString(int index) override { return m_replay.handleString(index); }
    void flushInput() override { m_replay.m_replies.clear(); }

private:
    ReplayBackend& m_replay;
    std::atomic<bool> m_cancelled{false};
};

ReplayBackend::ReplayBackend(Clock& clock, QVector<TraceRecord> records)
    : m_clock(clock), m_records(std::move(records)), m_start(clock.nowMs()), m_writeAt(m_start)
{
    // Input the instrument sent before the program wrote anything.
    scheduleInputs();
}

ReplayBackend::~ReplayBackend() = default;

std::unique_ptr<ReplayBackend> ReplayBackend::load(Clock& clock, const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: cannot be read").arg(path);
        return nullptr;
    }
    ParsedTrace trace = parseTrace(f.readAll());
    if (!trace.error.isEmpty()) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, trace.error);
        return nullptr;
    }
    return std::make_unique<ReplayBackend>(clock, std::move(trace.records));
}

QVector<HidInterfaceInfo> ReplayBackend::enumerate()
{
    if (m_records.isEmpty()) return {};
    return {{QStringLiteral("replay-instrument"), QStringLiteral("replay:"), protocol::VendorId,
             protocol::ProductId, 0x0100}};
}

std::unique_ptr<HidTransport> ReplayBackend::open(const HidInterfaceInfo&)
{
    return std::make_unique<Transport>(*this);
}

int ReplayBackend::reportLength(TraceRecord::Kind kind) const
{
    // The lengths the recorded instrument had, read off its reports.
    for (const TraceRecord& r : m_records) {
        const bool output = r.kind == TraceRecord::Kind::Output || r.kind == TraceRecord::Kind::Refused;
        if ((kind == TraceRecord::Kind::Input) ? r.kind == TraceRecord::Kind::Input : output)
            return int(r.bytes.size());
    }
    return protocol::ReportBufferSize;
}

bool ReplayBackend::handleWrite(const QByteArray& report)
{
    TraceRecord sent;
    sent.kind = TraceRecord::Kind::Output;
    sent.bytes = report;
    if (!m_mismatch.isEmpty()) return true; // gone silent: the report is taken and never answered
    const TraceRecord* r = m_next < m_records.size() ? &m_records.at(m_next) : nullptr;
    if (!r || (r->kind != TraceRecord::Kind::Output && r->kind != TraceRecord::Kind::Refused) ||
        r->bytes != report) {
        leaveTrace(r ? describeTraceRecord(*r) : QString(), describeTraceRecord(sent));
        return true;
    }
    ++m_next;
    if (m_clock.isVirtual()) {
        // Virtual time catches up with the trace: what the program spent
        // between two exchanges in the recorded session passes here too.
        const qint64 target = m_start + r->ms;
        if (target > m_clock.nowMs()) m_clock.elapse(int(target - m_clock.nowMs()));
    }
    m_writeAt = m_clock.nowMs();
    m_writeRecordedMs = r->ms;
    if (r->kind == TraceRecord::Kind::Refused) {
        scheduleInputs();
        return false;
    }
    // As the simulated instrument does, the exchange's first frame passes in
    // the write (at most the reply's delay), so the virtual times of a trace
    // recorded from it come back the same.
    if (m_clock.isVirtual()) {
        const bool replyNext =
            m_next < m_records.size() && m_records.at(m_next).kind == TraceRecord::Kind::Input;
        m_clock.elapse(replyNext ? int(std::min<qint64>(1, m_records.at(m_next).ms - r->ms)) : 1);
    }
    scheduleInputs();
    return true;
}

QString ReplayBackend::handleString(int index)
{
    if (!m_mismatch.isEmpty()) return QString();
    const TraceRecord* r = m_next < m_records.size() ? &m_records.at(m_next) : nullptr;
    if (!r || r->kind != TraceRecord::Kind::String || r->stringIndex != index) {
        leaveTrace(r ? describeTraceRecord(*r) : QString(),
                   QStringLiteral("a read of string descriptor %1").arg(index));
        return QString();
    }
    ++m_next;
    scheduleInputs();
    return traceStringText(r->bytes);
}

void ReplayBackend::scheduleInputs()
{
    while (m_next < m_records.size() && m_records.at(m_next).kind == TraceRecord::Kind::Input) {
        const TraceRecord& r = m_records.at(m_next++);
        m_replies.push(r.bytes, m_writeAt + (r.ms - m_writeRecordedMs));
    }
}

void ReplayBackend::leaveTrace(const QString& expected, const QString& sent)
{
    m_mismatch = expected.isEmpty()
                     ? QStringLiteral("after the end of the trace the program sent %1").arg(sent)
                     : QStringLiteral("line %1: the trace expected %2; the program sent %3")
                           .arg(m_records.at(m_next).line)
                           .arg(expected, sent);
    m_replies.clear();
    if (m_onMismatch) m_onMismatch(m_mismatch);
}

} // namespace lumo
