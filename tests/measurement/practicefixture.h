#pragma once
// A data directory, the shared state and the simulated instrument in virtual time.

#include "instrument/simfixture.h"
#include "support/practicedir.h"

namespace lumo::test {

struct Practice : StartedPractice
{
    SimStack sim;
    Practice()
    {
        state.instrument = &sim.instrument;
        state.InstrumentReady = true;
        // A 4 ms polling frame: a quarter of the exchanges of a 1 ms device, still
        // about 150 readings averaged per tick, and quick on a busy machine.
        sim.sim.setReplyDelayMs(4);
    }
    int commandCount(const QByteArray& c) const
    {
        int n = 0;
        for (const QByteArray& x : sim.sim.log())
            n += x == c;
        return n;
    }
};

} // namespace lumo::test
