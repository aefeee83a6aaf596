#pragma once
// A practice prepared as the program prepares its data directory (delivered
// knowledge texts and programs included, so reports print whole), with
// subjects and measurements made to order.

#include "base/formats.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "support/practicedir.h"

namespace lumo::test {

struct TravelPractice : PracticeDir
{
    TravelPractice() : PracticeDir(QStringLiteral("data"))
    {
        messages.setDefaultAnswer(true);
        start();
    }

    SubjectRow subject(const QString& custNo, const QString& name, bool male = true, double birth = 0)
    {
        SubjectRow s;
        s.CUSTNO = custNo;
        s.NAME = name;
        s.SEX = male;
        s.DBIRTH = birth;
        SubjectStore(db()).append(s);
        return s;
    }
    // Readings base + point / 10; the day number of 2024-03-05 14:30:12 plus `day`.
    MeasurementRow measurement(const QString& custNo, double base, int day = 0, const QString& memo = {})
    {
        MeasurementRow m;
        m.CUSTNO = custNo;
        m.ZUDATE = 45356.0 + (14 * 3600 + 30 * 60 + 12) / 86400.0 + day;
        m.ZUVOTA = day % 2 == 1;
        for (int p = 0; p < 24; ++p)
            m.ZU[size_t(p)] = base == 0 ? 0 : base + (p + 1) / 10.0;
        m.MEMO1 = memo;
        MeasurementStore(db()).append(m);
        return m;
    }
};

} // namespace lumo::test
