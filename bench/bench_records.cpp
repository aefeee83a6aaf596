// Records benchmark over a busy practice (100,000 subjects, 10 measurements each).
//   bench_records [--subjects N] [--db FILE]
// Prints the time of each operation the screens perform and the peak memory.

#include "practice.h"
#include "records/measurements.h"
#include "records/subjects.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

using namespace lumo;

namespace {

template <typename F>
double timeMs(F&& f, int repeat = 1)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < repeat; ++i) f();
    return double(t.nsecsElapsed()) / 1e6 / repeat;
}

void line(const char* what, double ms, double target)
{
    std::printf("%-46s %9.2f ms   (target %6.0f ms)%s\n", what, ms, target, ms <= target ? "" : "  OVER");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bench::PracticeSize size;
    QString dbPath;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == QLatin1String("--subjects")) size.subjects = a[++i].toInt();
        else if (a[i] == QLatin1String("--db")) dbPath = a[++i];
    }
    QTemporaryDir dir;
    if (dbPath.isEmpty()) dbPath = dir.filePath(QStringLiteral("lumo4.mdb"));
    if (!QFileInfo::exists(dbPath)) {
        QElapsedTimer g;
        g.start();
        Status st = bench::generatePractice(dbPath, size);
        if (!st) {
            std::fprintf(stderr, "generation failed: %s\n", qPrintable(st.error));
            return 2;
        }
        std::printf("generated %d subjects, %d measurements in %.1f s\n", size.subjects,
                    size.subjects * size.measurementsEach, g.elapsed() / 1000.0);
    }
    Status st;
    auto db = Database::open(dbPath, FileKind::Main, Database::Access::ReadWrite, &st);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(st.error));
        return 2;
    }
    SubjectList list(*db);
    SubjectStore subjects(*db);
    MeasurementStore measurements(*db);

    const double open = timeMs([&] {
        list.sort(SubjectField::NAME, false);
        for (int r = 0; r < 30; ++r) list.rowAt(r); // the first screenful
    });
    line("open subject list sorted by name", open, 300);

    const QStringList typed = {QString::fromUtf8("林"), QString::fromUtf8("林志"), QString::fromUtf8("林志明")};
    int found = -1;
    const double search = timeMs([&] {
        for (const QString& t : typed) found = list.findPrefix(SubjectField::NAME, t);
        list.rowAt(found);
    }) / typed.size();
    line("search-as-you-type step (name)", search, 20);

    const double searchOther = timeMs([&] { found = list.findPrefix(SubjectField::TEL, QStringLiteral("09")); });
    line("search step on another field (telephone)", searchOther, 20);

    const QString custNo = list.rowAt(list.size() / 2).CUSTNO;
    const double listing = timeMs([&] { measurements.listForSubject(custNo); }, 20);
    line("list one subject's measurements", listing, 5);

    const double append = timeMs(
        [&] {
            MeasurementRow m;
            m.CUSTNO = custNo;
            for (int i = 0; i < 24; ++i)
                m.ZU[size_t(i)] = 40 + i;
            Transaction t(*db);
            if (!t.active()) return;
            measurements.append(m);
            t.commit();
        },
        10);
    line("append one measurement (committed)", append, 10);

    const double remove = timeMs([&] { subjects.removeWithMeasurements(list.keyAt(list.size() / 3)); });
    line("delete one subject with its measurements", remove, 50);

    const double scroll = timeMs([&] {
        for (int r = 0; r < list.size(); r += 25) list.rowAt(r);
    });
    std::printf("%-46s %9.2f ms   (%d rows, %.3f ms per screenful)\n", "scroll the whole subject list", scroll,
                list.size(), scroll / (list.size() / 25.0));

    std::printf("%-46s %9.1f MB   (target    200 MB)\n", "peak memory", bench::peakMemoryMb());
    return 0;
}
