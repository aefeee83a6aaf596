#pragma once
// The simulated instrument: an in-process device behind the transport seam
// that answers the command protocol, keeps its registers, and carries a probe
// that tests script in virtual time. `lumo --simulate` runs the program on it.

#include "base/clock.h"
#include "instrument/handscript.h"
#include "instrument/replyqueue.h"
#include "instrument/simcontacts.h"
#include "instrument/transport.h"

#include <QMutex>
#include <QStringList>
#include <functional>
#include <memory>
#include <random>

namespace lumo {

// The reply of the simulated instrument to one command, with every field at the
// character position the program reads it from (characters counted from 1):
//   D000000 -> "D0000" + reading as three hex digits      (6-8)
//   P000000 -> "P0" + six-character model code            (3-8)
//   R0n0000 -> "R0n0" + register n as two hex digits + "00" (5-6)
//   anything else -> the command echoed
QByteArray simulatedReply(const QByteArray& command, int probeCounts, const QByteArray& modelCode,
                          const QString& registerValue);

class SimulatedProbe
{
public:
    // Counts per uA of the simulated electronics (the default calibration 4000 / 200).
    static constexpr double CountsPerMicroampere = 20.0;

    void touch(double microamperes, qint64 now);
    void lift();
    void setValue(double microamperes) { m_value = microamperes; }
    void setNoise(double microamperes) { m_noise = microamperes; }
    void setDrift(double microamperesPerSecond) { m_drift = microamperesPerSecond; }
    bool touching(qint64 now) const;
    double value() const { return m_value; }

    // The automatic mode is a steady hand: it touches each of the 24 points in
    // turn with seeded, plausible values and holds the probe there until the
    // instrument sounds that the point was stored, then lifts and moves on. It
    // follows the program however fast the program reads, so a slow machine
    // never makes it lift in the middle of a reading. A point that is not
    // stored within the longest hold is let go and touched again.
    void startAutomatic(qint64 now, unsigned seed = 7);
    // The same round with the hands of a script: drift, noise, pressure
    // steps and early lifts at each point. A lifted probe is put on the same
    // point again after AutoLiftMs, held steady the second time.
    void startScripted(qint64 now, const HandScript& hands);
    void stopAutomatic() { m_auto = false; }
    bool automatic() const { return m_auto; }
    double automaticValue(int point) const { return m_hands[size_t(point - 1)].value; }
    // The instrument sounded the tone of a stored point.
    void pointStored(qint64 now);
    static constexpr qint64 AutoFirstTouchMs = 800;
    static constexpr qint64 AutoLongestHoldMs = 6000;
    static constexpr qint64 AutoLiftMs = 1200; // from one point to the next

    int counts(qint64 now); // the raw reading 0..4095

    // Raw readings returned one per probe read, before anything else; the last
    // one repeats once the script is used up.
    void setScript(QList<int> counts) { m_script = std::move(counts); }

    // Locating and calibration (simcontacts.cpp): the tip on the handle, the
    // probe on a stretch of skin, and the potential the instrument was set to.
    HandleContact& handle() { return m_handle; }
    SkinProfile& skin() { return m_skin; }
    void setOnSkin(bool on) { m_onSkin = on; }
    bool onSkin() const { return m_onSkin; }
    void setHighPotential(bool high) { m_highPotential = high; }
    bool highPotential() const { return m_highPotential; }

private:
    bool contactCounts(qint64 now, int& counts);
    void settleEarlyLift(qint64 now);
    bool liftPending() const;
    HandleContact m_handle;
    SkinProfile m_skin;
    bool m_onSkin = false;
    bool m_highPotential = false;
    bool m_touching = false;
    double m_value = 0;
    double m_noise = 0.15;
    double m_drift = 0;
    qint64 m_touchedAt = 0;
    bool m_auto = false;
    int m_autoIndex = 0;      // the point being touched, 0-based
    qint64 m_autoTouchAt = 0; // when the hand arrives on it
    bool m_liftDone = false;  // the point's early lift is behind the hand
    std::array<PointHand, 24> m_hands{};
    std::mt19937 m_rng{1};
    QList<int> m_script;
};

class SimulatedInstrument : public HidBackend, public VirtualTimeDevice
{
public:
    struct Device
    {
        QString id;
        quint16 vendor, product;
        bool plugged = true;
    };

    explicit SimulatedInstrument(Clock& clock);
    ~SimulatedInstrument() override;

    bool available() const override { return true; }
    QVector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidTransport> open(const HidInterfaceInfo& info) override;

    // Plugging: the instrument itself, and other devices for tests.
    void plug();
    void unplug();
    bool plugged() const;
    void addDevice(quint16 vendor, quint16 product);
    // Called after every plug or unplug (the program runs an enumeration pass).
    void setOnChange(std::function<void()> f) { m_onChange = std::move(f); }

    // Identity.
    void setModel(int number); // 1..6 of the model table, 0: an unknown code
    void setHardwareString(const QString& s) { m_hardware = s; }
    QString hardwareString() const { return m_hardware; }
    QByteArray modelCode() const { return m_modelCode; }
    QString registerValue(int n) const;
    void setRegister(int n, const QString& hh);

    // Faults.
    void setNoReply(bool on) { m_noReply = on; }
    void setReplyDelayMs(int ms) { m_delayMs = ms; }
    void failNextWrites(int count) { m_failWrites = count; }
    void setShortReplies(bool on) { m_shortReplies = on; }

    SimulatedProbe& probe() { return m_probe; }
    // Every command received, tones and lamps included, in order.
    QList<QByteArray> log() const;
    // When each logged command arrived, on the instrument's clock.
    QList<qint64> logTimes() const;
    void clearLog();

    // A reply is due for the read thread, or was read and is on its way to the
    // thread's handover (virtual time waits for it).
    bool replyReady() const override { return m_replies.ready(); }
    // Wakes waiting reads when virtual time moves on (late replies become due).
    void timeAdvanced() override { m_replies.wake(); }

    class Transport;

private:
    friend class Transport;
    bool handleWrite(const QByteArray& report);

    Clock& m_clock;
    std::vector<Device> m_devices;
    std::function<void()> m_onChange;
    QByteArray m_modelCode;
    QString m_hardware = QStringLiteral("LUMO USB HW 2.1");
    QString m_registers[9];
    bool m_noReply = false;
    int m_delayMs = 1; // a full-speed HID device answers in the next 1 ms frame
    int m_failWrites = 0;
    bool m_shortReplies = false;
    SimulatedProbe m_probe;

    ReplyQueue m_replies{m_clock};
    mutable QMutex m_mutex; // the log, the registers and the open transport
    QList<QByteArray> m_log;
    QList<qint64> m_logTimes;
    Transport* m_open = nullptr;
};

} // namespace lumo
