#pragma once
// What the records benchmark's two parts share: the timing, the FIGURE lines,
// the targets, and the figures of the screens' operations on either engine.

#include "bare.h"
#include "practice.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>
#include <QVector>
#include <cstdio>

namespace lumo::bench {

template <typename F> double timeMs(F&& f, int repeat = 1)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < repeat; ++i)
        f();
    return double(t.nsecsElapsed()) / 1e6 / repeat;
}

// The targets each figure is held to (a local file by default).
struct Targets
{
    double open = 20, search = 10, sort = 20, scroll = 1000, worstScreen = 16, measurements = 5, append = 10,
           remove = 20, count = 50, candidates = 20;
};

// One line per figure, and "FIGURE <prefix><name>" beside "FIGURE <prefix>bare_<name>".
struct Figures
{
    QByteArray prefix;
    double ratioLimit = 0; // the layer at most this many times the bare work (0: not held)
    QVector<QByteArray> lines;
    void add(const char* name, const char* what, double ms, double bare, double target)
    {
        const double ratio = bare > 0 ? ms / bare : 0.0;
        const bool over = ms > target || (ratioLimit > 0 && ratio > ratioLimit);
        std::printf("%-44s %9.2f ms  bare %8.2f ms  ratio %5.1f  (target %4.0f ms)%s\n", what, ms, bare,
                    ratio, target, over ? "  OVER" : "");
        lines << "FIGURE " + prefix + name + " " + QByteArray::number(ms, 'f', 3) + " ms";
        lines << "FIGURE " + prefix + "bare_" + name + " " + QByteArray::number(bare, 'f', 3) + " ms";
    }
    void print() const
    {
        for (const QByteArray& l : lines)
            std::printf("%s\n", l.constData());
    }
};

} // namespace lumo::bench

namespace lumo {
class Database;
}

void listFigures(lumo::Database& db, lumo::bench::Bare& bare, lumo::bench::Figures& f,
                 const lumo::bench::Targets& t);
void changeFigures(lumo::Database& db, lumo::bench::Bare& bare, lumo::bench::Figures& f,
                   const lumo::bench::Targets& t);

// --large, or LUMO_BENCH_LARGE=1.
bool largePractice(const QStringList& args);
// Generates the practice file when it is not there yet; false (and why, on stderr) when that fails.
bool ensurePractice(const QString& path, lumo::bench::PracticeSize size);
// --database or --server.
bool onServer(const QStringList& args);
// The server's figures (serverbench.cpp): the practice file moved to the server when it is empty.
int runOnServer(const QStringList& args, const QString& practiceFile);
