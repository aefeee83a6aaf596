#include "modules.h"

namespace lumo {

ModuleTable standardModules()
{
    ModuleTable t;
    return t;
}

} // namespace lumo
