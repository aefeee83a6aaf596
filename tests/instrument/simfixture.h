#pragma once
// The instrument stack on the simulated instrument in virtual time.

#include "instrument/instrument.h"
#include "instrument/simulator.h"

namespace lumo::test {

struct SimStack
{
    VirtualClock clock;
    SimulatedInstrument sim{clock};
    THidDeviceController controller{sim};
    Instrument instrument{controller, clock};

    SimStack()
    {
        // A reply that is due is waited for (the read thread hands it over), not spun for.
        clock.setSettle([this] {
            if (sim.replyReady() || controller.anyDeliveryPending()) return controller.waitForHandover(5) || true;
            return controller.deliverPending();
        });
        clock.setTick([this](qint64) { sim.timeAdvanced(); });
        sim.setOnChange([this] { controller.enumerate(); });
        controller.enumerate(true);
    }
    ~SimStack() { instrument.release(); }
};

} // namespace lumo::test
