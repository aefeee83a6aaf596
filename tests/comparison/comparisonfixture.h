#pragma once
// Subjects and measurements stored in a practice's database for the comparison tests.

#include "base/formats.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"

#include <QtTest>

namespace lumo::test {

inline SubjectRow storeSubject(SharedState& s, const QString& number, const QString& name, bool male = true)
{
    SubjectRow r;
    r.CUSTNO = number;
    r.NAME = name;
    r.SEX = male;
    const Status st = SubjectStore(*s.MainDatabase).append(r);
    if (!st) qFatal("%s", qPrintable(st.error));
    return r;
}

inline std::array<double, 24> filled(double v)
{
    std::array<double, 24> a;
    a.fill(v);
    return a;
}

// A measurement of the subject at `at` (a date-time), stored as given.
inline MeasurementRow storeMeasurement(SharedState& s, const QString& number, const QDateTime& at,
                                       const std::array<double, 24>& values, bool high = false)
{
    MeasurementRow m;
    m.CUSTNO = number;
    m.ZUDATE = dayNumber(at);
    m.ZUVOTA = high;
    m.ZU = values;
    const Status st = MeasurementStore(*s.MainDatabase).append(m);
    if (!st) qFatal("%s", qPrintable(st.error));
    return m;
}

// Values that differ from point to point, so a curve has a shape.
inline std::array<double, 24> varied(double base, double step = 1.5)
{
    std::array<double, 24> a;
    for (int i = 0; i < 24; ++i)
        a[size_t(i)] = base + step * ((i * 7) % 11);
    return a;
}

} // namespace lumo::test
