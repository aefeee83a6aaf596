// Helper for the concurrency test: a second workstation appending measurements.
//   records_writer DBFILE COUNT TAG
#include "records/measurements.h"

#include <QCoreApplication>

using namespace lumo;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4) return 1;
    Status st;
    auto db = Database::open(a[1], FileKind::Main, Database::Access::ReadWrite, &st);
    if (!db) return 2;
    MeasurementStore store(*db);
    const int count = a[2].toInt();
    for (int i = 0; i < count; ++i) {
        MeasurementRow r;
        r.CUSTNO = a[3];
        r.ZU[0] = i;
        Transaction t(*db);
        if (!store.append(r)) return 3;
        if (!t.commit()) return 4;
    }
    return 0;
}
