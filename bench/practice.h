#pragma once
// A busy practice for the benchmarks: subjects with realistic names, numbers,
// addresses and telephones, each with a run of measurements.

#include "records/database.h"

namespace lumo::bench {

struct PracticeSize
{
    int subjects = 100000;
    int measurementsEach = 10;
};

// Creates the main database at path (replacing nothing: the file must not exist).
Status generatePractice(const QString& path, PracticeSize size, unsigned seed = 42);

// Peak resident memory of this process in megabytes.
double peakMemoryMb();
// Resident memory now, in megabytes (at the start: the program and its libraries).
double currentMemoryMb();

} // namespace lumo::bench
