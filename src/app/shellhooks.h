#pragma once
// The main window's instrument steps, on an instrument stack.

#include "app/tzuform.h"

namespace lumo {
class InstrumentStack;
ShellInstrumentHooks instrumentHooks(InstrumentStack& stack, SharedState& state);
} // namespace lumo
