#include "instrument/simulator.h"

#include "instrument/protocol.h"

#include <QMutexLocker>
#include <cmath>

namespace lumo {

QByteArray simulatedReply(const QByteArray& command, int probeCounts, const QByteArray& modelCode,
                          const QString& registerValue)
{
    QByteArray r;
    const char letter = command.isEmpty() ? ' ' : command.at(0);
    if (letter == 'D')
        r = "D0000" + QByteArray::number(probeCounts, 16).toUpper().rightJustified(3, '0');
    else if (letter == 'P')
        r = "P0" + modelCode.leftJustified(6, ' ', true);
    else if (letter == 'R')
        r = command.left(4) + registerValue.toLatin1().rightJustified(2, '0', true) + "00";
    else
        r = command.left(7);
    return r.leftJustified(8, ' ', true);
}

void SimulatedProbe::touch(double microamperes, qint64 now)
{
    m_auto = false;
    m_touching = true;
    m_value = microamperes;
    m_touchedAt = now;
}

void SimulatedProbe::lift()
{
    m_auto = false;
    m_touching = false;
}

void SimulatedProbe::startAutomatic(qint64 now, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> body(42.0, 6.0);
    std::normal_distribution<double> point(0.0, 7.0);
    const double level = std::clamp(body(rng), 25.0, 60.0);
    HandScript steady(24);
    for (PointHand& h : steady) {
        h.value = std::clamp(level + point(rng), 8.0, 120.0);
        h.noisePct = m_noise / h.value * 100; // the steady hand's fixed noise in uA
    }
    startScripted(now, steady);
    m_rng.seed(seed + 1);
}

void SimulatedProbe::startScripted(qint64 now, const HandScript& hands)
{
    m_auto = true;
    m_autoIndex = 0;
    m_autoTouchAt = now + AutoFirstTouchMs;
    m_liftDone = false;
    for (int i = 0; i < 24; ++i)
        m_hands[size_t(i)] = hands.value(i);
}

void SimulatedProbe::pointStored(qint64 now)
{
    if (!m_auto || !touching(now)) return;
    ++m_autoIndex;
    m_autoTouchAt = now + AutoLiftMs;
    m_liftDone = false;
    if (m_autoIndex >= 24) m_auto = false;
}

bool SimulatedProbe::liftPending() const
{
    return m_auto && !m_liftDone && m_hands[size_t(m_autoIndex)].liftAtMs.has_value();
}

// The early lift is over: the hand comes back to the same point, steady now.
void SimulatedProbe::settleEarlyLift(qint64 now)
{
    if (!liftPending()) return;
    if (now - m_autoTouchAt < *m_hands[size_t(m_autoIndex)].liftAtMs + PointHand::LiftFallMs) return;
    m_liftDone = true;
    m_autoTouchAt = now + AutoLiftMs;
}

bool SimulatedProbe::touching(qint64 now) const
{
    if (!m_auto) return m_touching;
    const qint64 t = now - m_autoTouchAt;
    if (liftPending() && t >= *m_hands[size_t(m_autoIndex)].liftAtMs + PointHand::LiftFallMs) return false;
    return t >= 0 && t % (AutoLongestHoldMs + AutoLiftMs) < AutoLongestHoldMs;
}

int SimulatedProbe::counts(qint64 now)
{
    if (!m_script.isEmpty()) return m_script.size() == 1 ? m_script.first() : m_script.takeFirst();
    if (int c = 0; contactCounts(now, c)) return c;
    settleEarlyLift(now);
    if (!touching(now)) return 0;
    double ua = m_value + m_drift * double(now - m_touchedAt) / 1000.0;
    double spread = m_noise;
    if (m_auto) {
        const PointHand& h = m_hands[size_t(m_autoIndex)];
        ua = h.microamperes((now - m_autoTouchAt) % (AutoLongestHoldMs + AutoLiftMs), liftPending());
        spread = h.noisePct / 100 * h.value;
    }
    std::normal_distribution<double> noise(0.0, spread);
    const double c = std::round((ua + noise(m_rng)) * CountsPerMicroampere);
    return int(std::clamp(c, 0.0, 4095.0));
}

class SimulatedInstrument::Transport : public HidTransport
{
public:
    explicit Transport(SimulatedInstrument& sim) : m_sim(sim) {}
    ~Transport() override
    {
        {
            QMutexLocker lock(&m_sim.m_mutex);
            if (m_sim.m_open == this) m_sim.m_open = nullptr;
        }
        m_sim.m_replies.takenOn();
    }
    bool write(const QByteArray& report) override { return m_sim.handleWrite(report); }
    int read(QByteArray& report, int timeoutMs) override
    {
        m_cancelled = false;
        return m_sim.m_replies.take(report, timeoutMs, m_cancelled);
    }
    void cancel() override
    {
        m_cancelled = true;
        m_sim.m_replies.cancel();
    }
    bool inputInTransit() const override { return m_sim.m_replies.inTransit(); }
    void inputTakenOn() override { m_sim.m_replies.takenOn(); }
    int inputReportLength() override { return 9; }
    int outputReportLength() override { return 9; }
    QString indexedString(int index) override { return index == 3 ? m_sim.m_hardware : QString(); }
    void flushInput() override { m_sim.m_replies.clear(); }

private:
    SimulatedInstrument& m_sim;
    std::atomic<bool> m_cancelled{false};
};

SimulatedInstrument::SimulatedInstrument(Clock& clock) : m_clock(clock)
{
    m_devices.push_back({QStringLiteral("sim-instrument-1"), protocol::VendorId, protocol::ProductId, true});
    setModel(1);
    const char* serial[] = {"12", "34", "56", "78", "9A", "BC", "00", "01", "A3"};
    for (int i = 0; i < 9; ++i)
        m_registers[i] = QString::fromLatin1(serial[i]);
}

SimulatedInstrument::~SimulatedInstrument() = default;

QVector<HidInterfaceInfo> SimulatedInstrument::enumerate()
{
    QVector<HidInterfaceInfo> list;
    for (const Device& d : m_devices)
        if (d.plugged) list.append({d.id, QStringLiteral("sim:") + d.id, d.vendor, d.product, 0x0100});
    return list;
}

std::unique_ptr<HidTransport> SimulatedInstrument::open(const HidInterfaceInfo& info)
{
    auto t = std::make_unique<Transport>(*this);
    // Only the instrument answers; other simulated devices accept and ignore reports.
    if (info.vendor == protocol::VendorId && info.product == protocol::ProductId &&
        info.instanceId == m_devices.front().id) {
        QMutexLocker lock(&m_mutex);
        m_open = t.get();
    }
    return t;
}

void SimulatedInstrument::plug()
{
    m_devices.front().plugged = true;
    m_replies.setGone(false);
    if (m_onChange) m_onChange();
}

void SimulatedInstrument::unplug()
{
    m_devices.front().plugged = false;
    m_replies.setGone(true);
    if (m_onChange) m_onChange();
}

bool SimulatedInstrument::plugged() const
{
    return m_devices.front().plugged;
}

void SimulatedInstrument::addDevice(quint16 vendor, quint16 product)
{
    m_devices.push_back({QStringLiteral("sim-device-%1").arg(m_devices.size() + 1), vendor, product, true});
    if (m_onChange) m_onChange();
}

void SimulatedInstrument::setModel(int number)
{
    m_modelCode = "XX9999";
    for (const auto& m : protocol::models())
        if (m.number == number) m_modelCode = m.code;
}

QString SimulatedInstrument::registerValue(int n) const
{
    QMutexLocker lock(&m_mutex);
    return (n >= 0 && n < 9) ? m_registers[n] : QString();
}

void SimulatedInstrument::setRegister(int n, const QString& hh)
{
    QMutexLocker lock(&m_mutex);
    if (n >= 0 && n < 9) m_registers[n] = hh;
}

QList<QByteArray> SimulatedInstrument::log() const
{
    QMutexLocker lock(&m_mutex);
    return m_log;
}

QList<qint64> SimulatedInstrument::logTimes() const
{
    QMutexLocker lock(&m_mutex);
    return m_logTimes;
}

void SimulatedInstrument::clearLog()
{
    QMutexLocker lock(&m_mutex);
    m_log.clear();
    m_logTimes.clear();
}

bool SimulatedInstrument::handleWrite(const QByteArray& report)
{
    if (!m_devices.front().plugged) return false;
    if (m_failWrites > 0) {
        --m_failWrites;
        return false;
    }
    const QByteArray command = report.mid(1, 7);
    // In virtual time the exchange's frame passes here, so the reply is due at once
    // and no thread has to notice time passing; in real time the reader waits it out.
    qint64 due;
    if (m_clock.isVirtual()) {
        const int frame = std::min(m_delayMs, 1);
        m_clock.elapse(frame);
        due = m_clock.nowMs() + (m_delayMs - frame); // a late reply stays late
    } else {
        due = m_clock.nowMs() + m_delayMs;
    }
    const qint64 now = m_clock.nowMs();
    QMutexLocker lock(&m_mutex);
    m_log.append(command);
    m_logTimes.append(now);
    // The tones of a stored point (5, and 6 after the last) tell the hand to move on.
    if (command == protocol::toneCommands(5).first() || command == protocol::toneCommands(6).first())
        m_probe.pointStored(now);
    if (command.startsWith('H') || command.startsWith('L')) m_probe.setHighPotential(command.startsWith('H'));
    if (command.startsWith('W') && command.size() >= 5) {
        const int n = command.at(2) - '0';
        if (n >= 0 && n < 9) m_registers[n] = QString::fromLatin1(command.mid(3, 2));
    }
    if (m_noReply) return true;
    QString reg;
    if (command.startsWith('R') && command.size() >= 3) {
        const int n = command.at(2) - '0';
        if (n >= 0 && n < 9) reg = m_registers[n];
    }
    const int counts = command.startsWith('D') ? m_probe.counts(now) : 0;
    QByteArray reply = simulatedReply(command, counts, m_modelCode, reg);
    if (m_shortReplies) reply = reply.left(3);
    m_replies.push(QByteArray(1, '\0') + reply, due);
    return true;
}

} // namespace lumo
