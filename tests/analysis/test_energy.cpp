#include "analysis/energy.h"

#include <QtTest>
#include <cmath>
#include <limits>

using namespace lumo;

namespace {

std::array<double, 24> all(double v)
{
    std::array<double, 24> a;
    a.fill(v);
    return a;
}

// Compensated values with the hands (points 1-12) at `upper` and the feet at `lower`.
std::array<double, 24> handsFeet(double upper, double lower)
{
    std::array<double, 24> a{};
    for (int i = 0; i < 24; ++i) a[size_t(i)] = i < 12 ? upper : lower;
    return a;
}

} // namespace

class TestEnergy : public QObject
{
    Q_OBJECT
private slots:
    void allEqual()
    {
        auto a = analyseCompensated(all(40), true);
        QVERIFY(a);
        QCOMPARE(a->BodyEnergy, 40.0);
        for (double g : a->GroupSum) QCOMPARE(g, 120.0);
        QCOMPARE(a->YinYangRatio, 1.0);
        QCOMPARE(a->UpperLowerRatio, 1.0);
        QCOMPARE(a->LeftRightRatio, 1.0);
        QCOMPARE(a->AutonomicRatio, 1.0);
        QCOMPARE(a->band.UpperInnerLimit, 10.5296875);
        QCOMPARE(a->band.UpperOuterLimit, 19.228125);
        QCOMPARE(a->band.LowerInnerLimit, 9.6140625);
        QCOMPARE(a->band.LowerOuterLimit, 18.3125);
        for (int v : a->GradeTable) QCOMPARE(v, 0);
        QCOMPARE(bodyText(a->BodyGrade), QString::fromUtf8("體能及元氣狀態正常"));
    }

    void band30()
    {
        const PhysiologicalBand b = bandOf(30);
        QCOMPARE(b.BandFactor, 0.83125);
        QCOMPARE(b.UpperInnerLimit, 9.559375);
        QCOMPARE(b.UpperOuterLimit, 17.45625);
        QCOMPARE(b.LowerInnerLimit, 8.728125);
        QCOMPARE(b.LowerOuterLimit, 16.625);
    }

    void bodyGrades_data()
    {
        QTest::addColumn<double>("energy");
        QTest::addColumn<bool>("male");
        QTest::addColumn<int>("grade");
        const double bounds[2][6] = {{19, 26, 28, 60, 62, 68}, {18, 24, 26, 59, 61, 67}};
        for (int sex = 0; sex < 2; ++sex)
            for (int i = 0; i < 6; ++i) {
                const double b = bounds[sex][i];
                const char* who = sex == 0 ? "male" : "female";
                QTest::addRow("%s %g", who, b) << b << (sex == 0) << (i - 2);
                QTest::addRow("%s below %g", who, b) << std::nextafter(b, 0.0) << (sex == 0) << (i - 3);
            }
        QTest::newRow("male 27.99") << 27.99 << true << -1;
        QTest::newRow("female 58.5") << 58.5 << false << 0;
    }
    void bodyGrades()
    {
        QFETCH(double, energy);
        QFETCH(bool, male);
        QFETCH(int, grade);
        QCOMPARE(bodyGrade(energy, male), grade);
    }

    void ratioGrades_data()
    {
        QTest::addColumn<int>("table"); // 0 mental male, 1 mental female, 2 left/right, 3 yin/yang
        QTest::addColumn<double>("ratio");
        QTest::addColumn<int>("grade");
        const double bounds[4][6] = {{0.63, 0.83, 0.88, 1.16, 1.31, 1.41},
                                     {0.53, 0.73, 0.78, 1.06, 1.2, 1.29},
                                     {0.4, 0.7, 0.8, 1.2, 1.3, 1.6},
                                     {0.4, 0.7, 0.8, 1.2, 1.3, 1.6}};
        for (int t = 0; t < 4; ++t)
            for (int i = 0; i < 6; ++i) {
                QTest::addRow("table %d at %g", t, bounds[t][i]) << t << bounds[t][i] << (i - 2);
                QTest::addRow("table %d below %g", t, bounds[t][i]) << t << std::nextafter(bounds[t][i], 0.0) << (i - 3);
            }
        QTest::newRow("male 1.15") << 0 << 1.15 << 0;
    }
    void ratioGrades()
    {
        QFETCH(int, table);
        QFETCH(double, ratio);
        QFETCH(int, grade);
        const int g = table == 0 ? upperLowerGrade(ratio, true)
                    : table == 1 ? upperLowerGrade(ratio, false)
                    : table == 2 ? leftRightGrade(ratio)
                                 : yinYangGrade(ratio);
        QCOMPARE(g, grade);
    }

    void autonomicGrades_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<int>("grade");
        QTest::newRow("1.5") << 1.5 << 0;
        QTest::newRow("above 1.5") << std::nextafter(1.5, 2.0) << 1;
        QTest::newRow("1.8") << 1.8 << 1;
        QTest::newRow("2.1") << 2.1 << 2;
        QTest::newRow("2.1000001") << 2.1000001 << 3;
    }
    void autonomicGrades()
    {
        QFETCH(double, ratio);
        QFETCH(int, grade);
        QCOMPARE(autonomicGrade(ratio), grade);
    }

    void bandMarks_data()
    {
        QTest::addColumn<double>("deviation");
        QTest::addColumn<int>("mark");
        const PhysiologicalBand b = bandOf(40);
        QTest::newRow("upper inner") << b.UpperInnerLimit << 0;
        QTest::newRow("above upper inner") << std::nextafter(b.UpperInnerLimit, 99.0) << 1;
        QTest::newRow("upper outer") << b.UpperOuterLimit << 1;
        QTest::newRow("above upper outer") << std::nextafter(b.UpperOuterLimit, 99.0) << 2;
        QTest::newRow("lower inner") << -b.LowerInnerLimit << 0;
        QTest::newRow("below lower inner") << std::nextafter(-b.LowerInnerLimit, -99.0) << -1;
        QTest::newRow("lower outer") << -b.LowerOuterLimit << -1;
        QTest::newRow("below lower outer") << std::nextafter(-b.LowerOuterLimit, -99.0) << -2;
        QTest::newRow("zero") << 0.0 << 0;
    }
    void bandMarks()
    {
        QFETCH(double, deviation);
        QFETCH(int, mark);
        QCOMPARE(BandMark(deviation, bandOf(40)), mark);
    }

    void pairStatuses_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("difference");
        QTest::addColumn<int>("status");
        for (double be : {40.0, 30.0}) {
            const double f = bandOf(be).BandFactor;
            QTest::addRow("22 x %g", be) << be << 22 * f << 1;
            QTest::addRow("below 22 x %g", be) << be << std::nextafter(22 * f, 0.0) << 0;
            QTest::addRow("41 x %g", be) << be << 41 * f << 2;
            QTest::addRow("below 41 x %g", be) << be << std::nextafter(41 * f, 0.0) << 1;
        }
    }
    void pairStatuses()
    {
        QFETCH(double, factor);
        QFETCH(double, difference);
        QFETCH(int, status);
        QCOMPARE(pairStatus(difference, bandOf(factor)), status);
    }

    void groupMinZero()
    {
        std::array<double, 24> v = all(30);
        v[0] = v[1] = v[2] = 0; // G1: the left hand yin meridians
        auto a = analyseCompensated(v, true);
        QVERIFY(a);
        QCOMPARE(a->GroupSum[0], 0.0);
        QCOMPARE(a->GroupMin, 1.0);
        QCOMPARE(a->AutonomicRatio, a->GroupMax);
        QCOMPARE(a->AutonomicGrade, 3);
    }

    void refusedMeasurements_data()
    {
        QTest::addColumn<int>("zeroFrom"); // the values of one kind set to zero
        QTest::newRow("all zero") << 0;
        QTest::newRow("no yang") << 1;
        QTest::newRow("no lower") << 2;
        QTest::newRow("no right") << 3;
    }
    void refusedMeasurements()
    {
        QFETCH(int, zeroFrom);
        std::array<double, 24> v = all(zeroFrom == 0 ? 0 : 30);
        for (int p = 1; p <= 24; ++p) {
            const bool yang = ((p - 1) / 3) % 2 == 1;
            if ((zeroFrom == 1 && yang) || (zeroFrom == 2 && p > 12) || (zeroFrom == 3 && ((p >= 7 && p <= 12) || p >= 19)))
                v[size_t(p - 1)] = 0;
        }
        QString error;
        QVERIFY(!analyseCompensated(v, true, &error));
        QVERIFY(error.contains(QString::fromUtf8("無法分析"))); // the interface's language
    }

    // A reading is a finite number from 0 to 1000 uA; anything else is refused
    // before it reaches a sum, naming the point, in the interface's language.
    void readingsOutOfRange_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<double>("reading");
        QTest::addColumn<bool>("accepted");
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("1e308") << 5 << 1e308 << false;
        QTest::newRow("infinity") << 1 << inf << false;
        QTest::newRow("minus infinity") << 24 << -inf << false;
        QTest::newRow("not a number") << 13 << std::numeric_limits<double>::quiet_NaN() << false;
        QTest::newRow("negative") << 7 << -0.1 << false;
        QTest::newRow("above 1000") << 12 << 1000.0001 << false;
        QTest::newRow("1000") << 12 << 1000.0 << true;
        QTest::newRow("above the instrument's largest") << 3 << 450.0 << true;
        QTest::newRow("above 200") << 3 << 200.5 << true;
        QTest::newRow("0") << 3 << 0.0 << true;
    }
    void readingsOutOfRange()
    {
        QFETCH(int, point);
        QFETCH(double, reading);
        QFETCH(bool, accepted);
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 40);
        e.Readings[size_t(point - 1)] = reading;
        QString error;
        const auto a = ComputeEnergyAnalysis(e, defaultCompensationTable(), true, &error);
        QCOMPARE(bool(a), accepted);
        QCOMPARE(checkReadings(e.Readings).ok, accepted);
        if (accepted) {
            QVERIFY(std::isfinite(a->BodyEnergy));
            return;
        }
        QVERIFY2(error.contains(QString::fromUtf8("無法分析")), qPrintable(error));
        QVERIFY2(error.contains(QString::fromUtf8("第 %1 點").arg(point)), qPrintable(error));
        QCOMPARE(unanalysableText(), QString::fromUtf8("無法分析"));
    }

    void compensatedValuesThatAreNoNumbersAreRefused()
    {
        std::array<double, 24> v = all(40);
        v[9] = std::numeric_limits<double>::quiet_NaN();
        QString error;
        QVERIFY(!analyseCompensated(v, true, &error));
        QVERIFY(error.contains(QString::fromUtf8("第 10 點")));
        v[9] = -1;
        QVERIFY(!analyseCompensated(v, true, &error));
    }

    void ratiosAndCompensation()
    {
        EnergySet e;
        for (int p = 1; p <= 24; ++p) e.setReading(p, 40);
        e.Readings[0] = 10.0; // stored Lung value
        auto a = ComputeEnergyAnalysis(e, defaultCompensationTable(), true);
        QVERIFY(a);
        QCOMPARE(a->Values[0], 8.541); // enters every sum compensated
        auto hf = analyseCompensated(handsFeet(321.5 / 12, 300.0 / 12), true);
        QVERIFY(qFuzzyCompare(hf->UpperTotal, 321.5));
        QVERIFY(qFuzzyCompare(hf->UpperLowerRatio, 321.5 / 300.0));
    }

    void judgementsAndWarning()
    {
        std::array<double, 24> v = all(15); // body energy 15: male grade -3
        v[0] = 40;                              // left Lung high
        v[6] = 2;                               // right Lung low: opposite sides
        v[12] = v[18] = 40;                     // Spleen both high
        auto a = analyseCompensated(v, true);
        QVERIFY(a);
        QCOMPARE(a->BodyGrade, -3);
        QCOMPARE(IndexJudgement(*a, 13), Judgement::Low);
        QVERIFY(bodyEnergyWarning(*a));
        QCOMPARE(MeridianJudgement(*a, Meridian::Lung), Judgement::None);
        QCOMPARE(MeridianJudgement(*a, Meridian::Spleen), Judgement::High);
        QCOMPARE(MeridianJudgement(*a, Meridian::Kidney), Judgement::Normal);
        auto b = analyseCompensated(all(20), true); // grade -2: low, no warning
        QCOMPARE(IndexJudgement(*b, 13), Judgement::Low);
        QVERIFY(!bodyEnergyWarning(*b));
    }

    void texts()
    {
        QCOMPARE(bodyText(-3), QString::fromUtf8("體能狀況低落,元氣不足"));
        QCOMPARE(bodyText(-3, TextStyle::Print), QString::fromUtf8("體能狀況低落，元氣不足"));
        QCOMPARE(upperLowerText(3, TextStyle::Print), QString::fromUtf8("上焦氣血旺盛，有明顯精神壓力傾向"));
        QCOMPARE(autonomicText(2), QString::fromUtf8("自律神經系統有中度失衡傾象"));
        QCOMPARE(pairStatusText(1, TextStyle::Print), QString::fromUtf8("尚  可"));
        QCOMPARE(bodyRangeText(false), QStringLiteral("(26 - 58)"));
        QCOMPARE(upperLowerRangeText(true), QStringLiteral("(0.88-1.15)"));
    }
};

QTEST_GUILESS_MAIN(TestEnergy)
#include "test_energy.moc"
