// A transfer file of any content: read as the import reads it (the scan, then
// every row into a main database), never trusted.
#include "fuzzsupport.h"

#include "records/database.h"
#include "records/legacysource.h"
#include "records/transfer.h"

#include <QFile>

using namespace lumo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Environment& env = fuzz::environment();
    const QString path = env.write(data, size, "ZuTran.mdb");
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    Status st;
    std::unique_ptr<LegacySource> source = openSqliteSource(path, &st);
    if (!source) return 0;
    const TransferGroups both{true, true};
    ImportScan scan;
    if (!scanImport(*source, both, &scan)) return 0;
    const QString mainPath = env.dir.filePath(QStringLiteral("lumo4.mdb"));
    QFile::remove(mainPath);
    auto main = Database::create(mainPath, FileKind::Main, &st);
    if (!main) return 0;
    importRows(*main, *source, ImportChoice{both, false, true}, scan, {});
    return 0;
}
