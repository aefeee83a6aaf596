// A stored knowledge text: any characters. The decipher refuses or gives
// bytes; its text form takes the same decision.
#include "knowledge/decipher.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString stored = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto bytes = lumo::decipherKnowledgeBytes(stored, &error);
    const auto text = lumo::DecipherKnowledgeText(stored);
    if (bytes.has_value() != text.has_value()) std::abort();
    if (!bytes && error.isEmpty()) std::abort();
    return 0;
}
