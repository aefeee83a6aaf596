#include "app/shellhooks.h"
#include "widgets/modal.h"

#include "app/tzustatu.h"
#include "instrument/stack.h"

namespace lumo {

ShellInstrumentHooks instrumentHooks(InstrumentStack& stack, SharedState& state)
{
    ShellInstrumentHooks h;
    h.attach = [&stack] {
        stack.instrument().release(); // one held from an earlier pass
        stack.start();
    };
    h.startupCheck = [&stack, &state](QWidget* parent) {
        TZuStatu status(state, &stack.instrument(), stack.clock(), parent);
        execModal(status);
        return state.InstrumentReady;
    };
    h.sendIdle = [&stack] { stack.instrument().EndMeasuring(); };
    h.hardwareVersion = [&stack] { return stack.instrument().hardwareVersion(); };
    h.usageCounter = [&stack] { return stack.instrument().ReadUsageCounter(); };
    h.playTone = [&stack](int tone) { stack.instrument().PlayTone(tone); };
    return h;
}

} // namespace lumo
