#include "instrument/stack.h"

#include "instrument/hidapibackend.h"
#include "instrument/replay.h"
#include "instrument/trace.h"
#include "instrument/udevmonitor.h"

namespace lumo {

void followVirtualTime(VirtualClock& clock, VirtualTimeDevice& device, THidDeviceController& controller)
{
    clock.setSettle([&device, &controller, seen = controller.deliveredCount()]() mutable {
        // A report handled while the pass processed events (the reply a loop
        // waits for, typically): time stands still until the loop has looked,
        // or each exchange would sometimes last a millisecond longer.
        if (controller.deliveredCount() != seen) {
            seen = controller.deliveredCount();
            return true;
        }
        // A due reply only counts while a read thread is there to take it.
        if (controller.anyDeliveryPending() || (device.replyReady() && controller.anyReading())) {
            controller.waitForHandover(5);
            seen = controller.deliveredCount();
            return true;
        }
        if (!controller.deliverPending()) return false;
        seen = controller.deliveredCount();
        return true;
    });
    clock.setTick([&device](qint64) { device.timeAdvanced(); });
}

InstrumentStack::InstrumentStack(Kind kind, Clock* clock, const QString& tracePath, const QString& replayPath)
{
    if (!clock) {
        m_ownClock = std::make_unique<RealClock>();
        clock = m_ownClock.get();
    }
    m_clock = clock;
    VirtualTimeDevice* model = nullptr;
    if (kind == Kind::Simulated) {
        auto sim = std::make_unique<SimulatedInstrument>(*m_clock);
        m_simulator = sim.get();
        model = m_simulator;
        m_backend = std::move(sim);
    } else if (kind == Kind::Replay) {
        std::unique_ptr<ReplayBackend> replay = ReplayBackend::load(*m_clock, replayPath, &m_replayError);
        if (!replay) replay = std::make_unique<ReplayBackend>(*m_clock, QVector<TraceRecord>());
        m_replay = replay.get();
        model = m_replay;
        m_backend = std::move(replay);
    } else {
        m_backend = std::make_unique<HidapiBackend>();
    }
    HidBackend* backend = m_backend.get();
    if (!tracePath.isEmpty()) {
        m_traceWriter = std::make_unique<TraceWriter>(*m_clock);
        m_traceOk = m_traceWriter->open(tracePath);
        if (m_traceOk) {
            m_tracing = std::make_unique<TracingBackend>(*m_backend, *m_traceWriter);
            backend = m_tracing.get();
        }
    }
    m_controller = std::make_unique<THidDeviceController>(*backend);
    m_instrument = std::make_unique<Instrument>(*m_controller, *m_clock);
    if (m_simulator) m_simulator->setOnChange([this] { m_controller->enumerate(); });
    if (model) {
        if (auto* virtualClock = dynamic_cast<VirtualClock*>(m_clock))
            followVirtualTime(*virtualClock, *model, *m_controller);
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
