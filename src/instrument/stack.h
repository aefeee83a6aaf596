#pragma once
// Everything the program needs to speak to an instrument, real, simulated or
// replayed from a trace: the clock, the HID backend, the device controller with
// plugging followed, the instrument and an optional trace of the traffic.

#include "instrument/hiddevice.h"
#include "instrument/instrument.h"
#include "instrument/simulator.h"

#include <memory>

namespace lumo {

class HotplugMonitor;
class ReplayBackend;
class TraceWriter;
class VirtualClock;

// Lets virtual time wait for what a device model (the simulated instrument, a
// replayed trace) has on its way in real time (a due reply, a report in the
// read thread's hands, its handler), and tells the model when time moves on.
void followVirtualTime(VirtualClock& clock, VirtualTimeDevice& device, THidDeviceController& controller);

class InstrumentStack
{
public:
    enum class Kind
    {
        Real,
        Simulated,
        Replay
    };
    // clock: injected (tests) or a real clock owned by the stack when null.
    // tracePath: where the traffic is recorded; replayPath: the trace that
    // Kind::Replay plays.
    explicit InstrumentStack(Kind kind, Clock* clock = nullptr, const QString& tracePath = QString(),
                             const QString& replayPath = QString());
    ~InstrumentStack();

    Clock& clock() { return *m_clock; }
    Instrument& instrument() { return *m_instrument; }
    THidDeviceController& controller() { return *m_controller; }
    SimulatedInstrument* simulator() { return m_simulator; }
    bool traceOpen() const { return m_traceOk; }
    ReplayBackend* replay() { return m_replay; }
    // Why the trace to replay could not be loaded; the stack then finds no instrument.
    QString replayError() const { return m_replayError; }

    // The first device-change pass (the instrument, if present, is attached).
    void start();

private:
    std::unique_ptr<Clock> m_ownClock;
    Clock* m_clock;
    std::unique_ptr<HidBackend> m_backend;
    std::unique_ptr<TraceWriter> m_traceWriter;
    std::unique_ptr<HidBackend> m_tracing;
    SimulatedInstrument* m_simulator = nullptr;
    ReplayBackend* m_replay = nullptr;
    QString m_replayError;
    std::unique_ptr<THidDeviceController> m_controller;
    std::unique_ptr<Instrument> m_instrument;
    std::unique_ptr<HotplugMonitor> m_hotplug;
    bool m_traceOk = false;
};

} // namespace lumo
