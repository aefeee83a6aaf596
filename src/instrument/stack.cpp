#include "instrument/stack.h"

#include "instrument/hidapibackend.h"
#include "instrument/udevmonitor.h"

namespace lumo {

void followVirtualTime(VirtualClock& clock, VirtualTimeDevice& device, THidDeviceController& controller)
{
    clock.setSettle([&device, &controller] {
        // A due reply only counts while a read thread is there to take it.
        if (controller.anyDeliveryPending() || (device.replyReady() && controller.anyReading())) {
            controller.waitForHandover(5);
            return true;
        }
        return controller.deliverPending();
    });
    clock.setTick([&device](qint64) { device.timeAdvanced(); });
}

InstrumentStack::InstrumentStack(Kind kind, Clock* clock, const QString& tracePath)
{
    if (!clock) {
        m_ownClock = std::make_unique<RealClock>();
        clock = m_ownClock.get();
    }
    m_clock = clock;
    if (kind == Kind::Simulated) {
        auto sim = std::make_unique<SimulatedInstrument>(*m_clock);
        m_simulator = sim.get();
        m_backend = std::move(sim);
    } else {
        m_backend = std::make_unique<HidapiBackend>();
    }
    m_controller = std::make_unique<THidDeviceController>(*m_backend);
    m_instrument = std::make_unique<Instrument>(*m_controller, *m_clock);
    if (!tracePath.isEmpty()) {
        m_traceOk = m_trace.open(tracePath);
        if (m_traceOk) m_instrument->setTrace(&m_trace);
    }
    if (m_simulator) {
        m_simulator->setOnChange([this] { m_controller->enumerate(); });
        if (auto* virtualClock = dynamic_cast<VirtualClock*>(m_clock))
            followVirtualTime(*virtualClock, *m_simulator, *m_controller);
    } else if (m_backend->available()) {
        m_hotplug = std::make_unique<HotplugMonitor>();
        QObject::connect(m_hotplug.get(), &HotplugMonitor::devicesChanged, m_controller.get(),
                         [this] { m_controller->enumerate(); });
    }
}

InstrumentStack::~InstrumentStack()
{
    m_instrument.reset();
    m_controller.reset();
}

void InstrumentStack::start()
{
    m_controller->enumerate(true);
}

} // namespace lumo
