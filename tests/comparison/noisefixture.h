#pragma once
// A practice in a temporary folder for the noise tests and the tests of what
// is kept beside a measurement: started as the program starts, with
// measurements stored as given.

#include "records/measurements.h"
#include "support/practicedir.h"

#include <array>

namespace lumo::test {

struct Records : StartedPractice
{
    qint64 add(const QString& no, double when, const std::array<double, 24>& zu, bool high = false)
    {
        MeasurementRow r;
        r.CUSTNO = no;
        r.ZUDATE = when;
        r.ZUVOTA = high;
        r.ZU = zu;
        MeasurementStore(db()).append(r);
        return r.MKEY;
    }
};

} // namespace lumo::test
