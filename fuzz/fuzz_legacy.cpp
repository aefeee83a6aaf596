// An Access file of the earlier Windows program, of any content: every table
// listed and every row read through libmdb.
#include "fuzzsupport.h"

#include "records/legacysource.h"

using namespace lumo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::environment().write(data, size, "legacy.mdb");
    Status st;
    std::unique_ptr<LegacySource> source = openJetSource(path, &st);
    if (!source) return 0;
    for (const QString& table : source->tables()) {
        source->rowCount(table, &st);
        std::unique_ptr<LegacyCursor> rows = source->open(table, &st);
        if (!rows) continue;
        LegacyRow row;
        // A damaged page chain may claim any number of rows.
        for (int n = 0; n < 5000 && rows->next(&row); ++n) {
        }
    }
    return 0;
}
