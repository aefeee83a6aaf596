#pragma once
// The instrument stack on the simulated instrument in virtual time.

#include "instrument/instrument.h"
#include "instrument/simulator.h"
#include "instrument/stack.h"

namespace lumo::test {

struct SimStack
{
    VirtualClock clock;
    SimulatedInstrument sim{clock};
    THidDeviceController controller{sim};
    Instrument instrument{controller, clock};

    SimStack()
    {
        followVirtualTime(clock, sim, controller);
        sim.setOnChange([this] { controller.enumerate(); });
        controller.enumerate(true);
    }
    ~SimStack() { instrument.release(); }
};

} // namespace lumo::test
