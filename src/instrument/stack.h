#pragma once
// Everything the program needs to speak to an instrument, real or simulated:
// the clock, the HID backend, the device controller with plugging followed,
// the instrument and an optional exchange trace.

#include "instrument/hiddevice.h"
#include "instrument/instrument.h"
#include "instrument/simulator.h"

#include <memory>

namespace lumo {

class HotplugMonitor;
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
        Simulated
    };
    // clock: injected (tests) or a real clock owned by the stack when null.
    explicit InstrumentStack(Kind kind, Clock* clock = nullptr, const QString& tracePath = QString());
    ~InstrumentStack();

    Clock& clock() { return *m_clock; }
    Instrument& instrument() { return *m_instrument; }
    THidDeviceController& controller() { return *m_controller; }
    SimulatedInstrument* simulator() { return m_simulator; }
    bool traceOpen() const { return m_traceOk; }

    // The first device-change pass (the instrument, if present, is attached).
    void start();

private:
    std::unique_ptr<Clock> m_ownClock;
    Clock* m_clock;
    std::unique_ptr<HidBackend> m_backend;
    SimulatedInstrument* m_simulator = nullptr;
    std::unique_ptr<THidDeviceController> m_controller;
    std::unique_ptr<Instrument> m_instrument;
    std::unique_ptr<HotplugMonitor> m_hotplug;
    InstrumentTrace m_trace;
    bool m_traceOk = false;
};

} // namespace lumo
