#include "modules.h"

#include "../knowledge/tzuadv.h"

namespace lumo {

ModuleTable standardModules()
{
    ModuleTable t;
    t[Module::Explanation] = [](SharedState& s, QWidget* parent) { return new TZuadv(s, parent); };
    return t;
}

} // namespace lumo
