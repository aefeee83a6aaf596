// The instrument's input reports: any bytes of any length. The fields of a
// reply and the output report of a command of any length and report size.
#include "instrument/protocol.h"

#include <algorithm>
#include <cstdlib>

using namespace lumo::protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    probeReading(reply);
    lumo::protocol::modelNumberOfCode(modelCode(reply));
    const QString r = registerValue(reply);
    usageCounter(r, r, r);
    // The first byte picks a report length around the real one (65), the rest is the command.
    const int length = size > 0 ? int(int8_t(data[0])) : 0;
    const QByteArray report = outputReport(reply.mid(1), length);
    // Never longer than the report buffer, never empty, the report id first.
    if (report.size() != std::clamp(length, 1, ReportBufferSize) || report.at(0) != 0) std::abort();
    return 0;
}
