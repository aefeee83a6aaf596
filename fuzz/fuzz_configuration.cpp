// ZuDefTw.ini as found on a disk: any bytes. Parsing never fails, and what it
// gives is written back as a file the parser reads to the same settings.
#include "shell/configuration.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const lumo::Configuration c =
        lumo::parseConfiguration(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QByteArray written = lumo::serializeConfiguration(c);
    if (lumo::serializeConfiguration(lumo::parseConfiguration(written)) != written) std::abort();
    return 0;
}
