#pragma once
// Replaying an instrument trace (--replay-instrument): a backend that plays
// the instrument of a recorded session. Each report the program writes must
// be the next one the trace holds; the input reports recorded after it then
// arrive with their recorded delays, on the program's clock. When the program
// writes or asks for something else, the replay reports the mismatch once and
// answers nothing more, as an instrument gone silent.

#include "base/clock.h"
#include "instrument/replyqueue.h"
#include "instrument/traceformat.h"
#include "instrument/transport.h"

#include <functional>

namespace lumo {

class ReplayBackend : public HidBackend, public VirtualTimeDevice
{
public:
    // The trace's time 0 is now on the clock.
    ReplayBackend(Clock& clock, QVector<TraceRecord> records);
    ~ReplayBackend() override;
    // Null with *error set when the file cannot be read or is not a trace.
    static std::unique_ptr<ReplayBackend> load(Clock& clock, const QString& path, QString* error);

    bool available() const override { return true; }
    // The instrument, unless the trace is empty (a session without one).
    QVector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidTransport> open(const HidInterfaceInfo& info) override;

    bool replyReady() const override { return m_replies.ready(); }
    void timeAdvanced() override { m_replies.wake(); }

    // Where the program first left the trace; empty while it follows it.
    QString mismatch() const { return m_mismatch; }
    void setOnMismatch(std::function<void(const QString&)> f) { m_onMismatch = std::move(f); }
    // Records not yet used, and the line of the first of them.
    int remaining() const { return int(m_records.size()) - m_next; }
    int nextLine() const { return m_next < m_records.size() ? m_records.at(m_next).line : 0; }

    class Transport;

private:
    friend class Transport;
    bool handleWrite(const QByteArray& report);
    QString handleString(int index);
    void scheduleInputs();
    void leaveTrace(const QString& expected, const QString& sent);
    int reportLength(TraceRecord::Kind kind) const;

    Clock& m_clock;
    QVector<TraceRecord> m_records;
    int m_next = 0;
    qint64 m_start;
    // The write that the coming input records are timed from: when it happened
    // in this run and in the trace.
    qint64 m_writeAt;
    qint64 m_writeRecordedMs = 0;
    ReplyQueue m_replies{m_clock};
    QString m_mismatch;
    std::function<void(const QString&)> m_onMismatch;
};

} // namespace lumo
