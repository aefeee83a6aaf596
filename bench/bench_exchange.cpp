// Instrument exchange benchmark: SendCommand round trips through the real
// read thread and the marshalling, with the simulated instrument answering at once.
//   bench_exchange [--count N]

#include "instrument/stack.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lumo;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 20000;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i)
        if (a[i] == QLatin1String("--count")) count = a[++i].toInt();

    InstrumentStack stack(InstrumentStack::Kind::Simulated);
    stack.start();
    Instrument& inst = stack.instrument();
    stack.simulator()->setReplyDelayMs(0); // answering at once: the program alone is measured
    stack.simulator()->probe().touch(45.0, stack.clock().nowMs());
    for (int i = 0; i < 200; ++i) inst.ReadProbe(); // warm up

    std::vector<double> us;
    us.reserve(size_t(count));
    int missed = 0;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        if (!inst.SendCommand("D000000")) ++missed;
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    const double seconds = double(total.nsecsElapsed()) / 1e9;
    std::sort(us.begin(), us.end());
    const double median = us[us.size() / 2];
    const double p99 = us[size_t(double(us.size()) * 0.99)];
    const double rate = count / seconds;
    std::printf("exchanges                    %d (%d without reply)\n", count, missed);
    std::printf("round trip median            %8.1f us\n", median);
    std::printf("round trip 99th percentile   %8.1f us\n", p99);
    std::printf("exchanges per second         %8.0f   (target  2000)%s\n", rate, rate >= 2000 ? "" : "  UNDER");
    return missed == 0 ? 0 : 1;
}
