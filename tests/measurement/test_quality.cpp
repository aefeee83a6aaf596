// Reading grades: scripted hands through the real measuring run in virtual
// time, the stored form of the grades, and the scripts themselves.
#include "measurement/measuringrun.h"
#include "measurement/practicefixture.h"
#include "measurement/qualitycodec.h"

#include <QtTest>

using namespace lumo;
using namespace lumo::test;

Q_DECLARE_METATYPE(lumo::PointHand)

namespace {

struct StopAfterFirst : MeasuringView
{
    MeasuringRun* run = nullptr;
    QList<int> shown;
    void showPoint(int p) override
    {
        shown << p;
        if (p == 2) run->requestStop();
    }
};

// One point measured by the hand; the run stops when it moves on to point 2.
void measureFirstPoint(Practice& f, const PointHand& hand, StopAfterFirst& view)
{
    MeasuringRun run(f.state, f.sim.instrument, view);
    view.run = &run;
    f.sim.sim.probe().startScripted(f.sim.clock.nowMs(), HandScript(24, hand));
    run.start();
}

PointHand hand(double drift, double noise, int stepAt = -1, double step = 0, int liftAt = -1)
{
    PointHand h;
    h.value = 45;
    h.driftPctPerS = drift;
    h.noisePct = noise;
    if (stepAt >= 0) h.stepAtMs = stepAt;
    h.stepPct = step;
    if (liftAt >= 0) h.liftAtMs = liftAt;
    return h;
}

QualitySamples syntheticSamples(double level, double noise, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0, noise);
    QualitySamples s;
    for (int ms = 0; ms < 2400; ms += 4)
        s.append({quint16(ms), quint16(std::clamp(level + n(rng), 0.0, 4095.0)), quint8(ms / 600 + 1)});
    return s;
}

} // namespace

class TestQuality : public QObject
{
    Q_OBJECT
private slots:
    // Each hand with the grade and the reason it earns: the reason is the
    // test furthest beyond its bound, a slope only when the window's noise
    // does not explain it, on the log scale (a rise and a fall alike). A
    // probe leaving the skin at the end is read again; a hand too unsteady to
    // hold contact is stored as C from its third touch. `figure`: the reason's
    // figure within 20 % (0: not checked); `touches`: -n for n or more.
    void gradesThroughTheRun_data()
    {
        QTest::addColumn<PointHand>("hand");
        QTest::addColumn<int>("replyDelayMs");
        QTest::addColumn<QString>("grade");
        QTest::addColumn<int>("touches");
        QTest::addColumn<double>("figure");
        const QString s = QString::fromUtf8("波動"), d = QString::fromUtf8("漂移"),
                      p = QString::fromUtf8("壓力跳動");
        QTest::newRow("steady") << hand(0, 1) << 4 << QStringLiteral("A") << 1 << 0.0;
        QTest::newRow("noise only, 9 %") << hand(0, 9) << 4 << "B " + s << 1 << 9.0;
        QTest::newRow("noise only, 28 %") << hand(0, 28) << 4 << "C " + s << 1 << 28.0;
        QTest::newRow("drift up 10 %/s") << hand(10, 1) << 4 << "B " + d << 1 << 10.0;
        QTest::newRow("drift down 10 %/s") << hand(-10, 1) << 4 << "B " + d << 1 << -10.0;
        QTest::newRow("fast drift") << hand(40, 1) << 4 << "C " + d << 1 << 40.0;
        QTest::newRow("pressure step of 8 %") << hand(0, 1, 2000, 8) << 4 << "B " + p << 1 << 7.7;
        QTest::newRow("pressure step of 20 %") << hand(0, 1, 2000, 20) << 4 << "C " + p << 1 << 18.2;
        QTest::newRow("pressure step in the third tick")
            << hand(0, 1, 1400, -15) << 4 << "C " + p << 1 << 16.3;
        QTest::newRow("small step before the window")
            << hand(0, 1, 700, 8) << 4 << QStringLiteral("A") << 1 << 0.0;
        QTest::newRow("lifted late, read again")
            << hand(0, 1, -1, 0, 2250) << 4 << QStringLiteral("A") << -2 << 0.0;
        QTest::newRow("lifted early, touched again")
            << hand(0, 1, -1, 0, 900) << 4 << QStringLiteral("A") << 2 << 0.0;
        QTest::newRow("very noisy hand, 45 %") << hand(0, 45) << 4 << "C " + s << -3 << 0.0;
        QTest::newRow("slow instrument") << hand(0, 1) << 200 << QString::fromUtf8("C 取樣") << 1 << 0.0;
    }
    void gradesThroughTheRun()
    {
        QFETCH(PointHand, hand);
        QFETCH(int, replyDelayMs);
        QFETCH(QString, grade);
        QFETCH(int, touches);
        QFETCH(double, figure);
        Practice f;
        f.sim.sim.setReplyDelayMs(replyDelayMs);
        StopAfterFirst view;
        measureFirstPoint(f, hand, view);
        const PointGrade& g = f.state.energy.Quality.grades[0];
        QVERIFY2(g.validFor(f.state.energy.Readings[0]), "graded with the value it belongs to");
        const QString got = QString(QChar(char(g.grade))) + QLatin1Char(' ') + qualityReason(g);
        QVERIFY2(got.trimmed().startsWith(grade), qPrintable(got));
        if (figure != 0) QVERIFY2(std::fabs(g.figure / figure - 1) < 0.2, qPrintable(got));
        const int shown = int(view.shown.count(1)); // a reading taken again shows the point again
        QVERIFY2(touches < 0 ? shown >= -touches : shown == touches, qPrintable(QString::number(shown)));
        // Near the value the hand holds: a late lift no longer pulls it down.
        if (hand.noisePct < 10 && !hand.stepAtMs && hand.driftPctPerS == 0)
            QVERIFY(std::fabs(f.state.energy.Readings[0] / 45 - 1) < 0.01);
    }

    // The value stays what it always was: the mean of the fourth tick's
    // readings over the counts per uA, whatever the grade.
    void readingIsTheFourthTicksMean_data()
    {
        QTest::addColumn<PointHand>("hand");
        QTest::newRow("steady") << hand(0, 1);
        QTest::newRow("noisy") << hand(0, 15);
        QTest::newRow("step") << hand(0, 1, 2000, 20);
    }
    void readingIsTheFourthTicksMean()
    {
        QFETCH(PointHand, hand);
        Practice f;
        StopAfterFirst view;
        measureFirstPoint(f, hand, view);
        double sum = 0;
        int n = 0;
        for (const QualitySample& s : f.state.energy.Quality.samples[0])
            if (s.tick == 4) {
                sum += s.counts;
                ++n;
            }
        QVERIFY(n > 100);
        QCOMPARE(f.state.energy.Readings[0], sum / n / 20.0);
    }

    // A reading settling as 1000 + 200 exp(-t / 400 ms): the fit finds the
    // time constant on its grid and the level it settles to, whether the
    // readings come at a steady rate or at uneven, repeated times.
    void settlingFitFindsTimeConstant_data()
    {
        QTest::addColumn<QList<int>>("gaps");
        QTest::newRow("every millisecond") << QList<int>{1};
        QTest::newRow("uneven and repeated times") << QList<int>{1, 3, 0, 2, 1, 7};
    }
    void settlingFitFindsTimeConstant()
    {
        QFETCH(QList<int>, gaps);
        QualitySamples s;
        for (int ms = 1200, i = 0; ms < 2400; ms += gaps[i++ % gaps.size()]) {
            const double counts = 1000 + 200 * std::exp(-(ms - 1200) / 400.0);
            s.append({quint16(ms), quint16(std::lround(counts)), quint8(ms < 1800 ? 3 : 4)});
        }
        const QualityFigures f = measureQuality(s, QualityThresholds());
        QVERIFY2(std::fabs(f.tauMs - 400) < 400 * 0.06, qPrintable(QString::number(f.tauMs)));
        QVERIFY2(std::fabs((1 + f.plateauPct / 100) * f.mean - 1000) < 2,
                 qPrintable(QString::number(f.plateauPct)));
    }

    void noiselessSteadyHandReadsItsValue()
    {
        Practice f;
        StopAfterFirst view;
        measureFirstPoint(f, hand(0, 0), view);
        QCOMPARE(f.state.energy.Readings[0], 45.0);
        QCOMPARE(f.state.energy.Quality.grades[0].grade, QualityGrade::A);
    }

    void storedFormKeepsGradesInTwoKilobytes()
    {
        MeasurementQuality q;
        std::array<double, 24> readings{};
        for (int p = 0; p < 24; ++p) {
            // The noisiest hand a grade still describes: every kept reading a jump.
            q.samples[size_t(p)] = syntheticSamples(900, 90 + p, unsigned(p));
            readings[size_t(p)] = 45 + p;
            q.grades[size_t(p)] = gradePoint(q.samples[size_t(p)], readings[size_t(p)], QualityThresholds());
        }
        const QByteArray blob = encodeQuality(q);
        QVERIFY2(blob.size() <= 2048, qPrintable(QString::number(blob.size())));
        MeasurementQuality back;
        QVERIFY(decodeQuality(blob, back));
        for (size_t p = 0; p < 24; ++p) {
            QVERIFY(back.grades[p].validFor(readings[p]));
            QCOMPARE(back.grades[p].grade, q.grades[p].grade);
            QCOMPARE(back.grades[p].test, q.grades[p].test);
            QCOMPARE(back.samples[p], keptSamples(q.samples[p]));
            // Graded again from the stored figures, the point keeps its grade.
            QCOMPARE(gradeFigures(back.grades[p].figures, readings[p], QualityThresholds()).grade,
                     q.grades[p].grade);
        }
    }

    // A blob written by an older version keeps every figure it stored; the
    // figures came as fixed 16-bit fields then.
    void olderBlobsReadTheirFigures_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("grades and tests only") << 1;
        QTest::newRow("with uncertainty and settling") << 2;
    }
    void olderBlobsReadTheirFigures()
    {
        QFETCH(int, version);
        const QList<quint16> fields{quint16(qint16(-123)), 45, 67, 8, 900, 25, 3100, 70,
                                    quint16(qint16(-15)),  400};
        QByteArray blob;
        auto u16 = [&](quint16 v) { blob.append(char(v & 0xff)).append(char(v >> 8)); };
        const float value = 45.5f;
        blob.append(char(version)).append(char(1)).append(char(0)).append(char(0)); // point 1
        blob.append(reinterpret_cast<const char*>(&value), 4);
        blob.append(char(2 << 4 | int(QualityTest::Spread)));
        for (int i = 0; i < (version == 1 ? 5 : 10); ++i)
            u16(fields[i]);
        u16(1800);                            // the fourth tick's start
        blob.append(char(0)).append(char(0)); // no trace, no repeats
        MeasurementQuality q;
        QVERIFY(decodeQuality(blob, q));
        const QualityFigures& f = q.grades[0].figures;
        QCOMPARE(q.grades[0].grade, QualityGrade::B);
        QCOMPARE(f.slopePct, -12.3);
        QCOMPARE(f.spreadPct, 4.5);
        QCOMPARE(f.samples, 900);
        QCOMPARE(f.effectiveDf, version == 1 ? 0.0 : 310.0);
        QCOMPARE(f.plateauPct, version == 1 ? 0.0 : -1.5);
        QCOMPARE(f.tauMs, version == 1 ? 0.0 : 400.0);
    }

    void damagedBlobsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("blob");
        MeasurementQuality q;
        q.samples[0] = syntheticSamples(900, 9, 1);
        q.grades[0] = gradePoint(q.samples[0], 45, QualityThresholds());
        q.repeats.append({3, q.grades[0], true});
        const QByteArray good = encodeQuality(q);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("another version") << QByteArray(1, '\x09') + good.mid(1);
        QTest::newRow("cut short") << good.left(good.size() - 3);
        QTest::newRow("trailing bytes") << good + QByteArray(4, '\0');
        QByteArray many = good;
        many[3] = char(0xff); // points 17-24 claimed, not there
        QTest::newRow("points claimed") << many;
        QTest::newRow("endless number") << good.left(30) + QByteArray(64, char(0xff));
        QTest::newRow("too large") << QByteArray(MaxQualityBlobBytes + 1, '\x01');
        const float value = 45;
        QTest::newRow("figure beyond its field")
            << QByteArray("\x03\x01\x00\x00", 4) + QByteArray(reinterpret_cast<const char*>(&value), 4) +
                   QByteArray("\x10\x00\x80\x80\x04", 5) + QByteArray(12, '\0');
    }
    void damagedBlobsAreRefused()
    {
        QFETCH(QByteArray, blob);
        MeasurementQuality q;
        q.grades[5].grade = QualityGrade::A; // left from before: cleared by a refusal
        QVERIFY(!decodeQuality(blob, q));
        QVERIFY(!q.grades[5].graded());
    }

    void handScripts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("ok");
        const QByteArray point = R"({"value": 30, "step_at_ms": 1900, "step_pct": 12})";
        auto points = [](const QByteArray& p, int n) {
            QByteArrayList list;
            for (int i = 0; i < n; ++i)
                list << p;
            return "{\"points\": [" + list.join(',') + "]}";
        };
        QTest::newRow("24 points, defaults for the rest") << points(point, 24) << true;
        QTest::newRow("empty objects") << points("{}", 24) << true;
        QTest::newRow("23 points") << points(point, 23) << false;
        QTest::newRow("misspelt key") << points(R"({"noise": 3})", 24) << false;
        QTest::newRow("value below the range") << points(R"({"value": 0})", 24) << false;
        QTest::newRow("text for a number") << points(R"({"value": "45"})", 24) << false;
        QTest::newRow("not JSON") << QByteArray("points: 24") << false;
        QTest::newRow("too large") << points(point, 24) + QByteArray(MaxHandScriptBytes, ' ') << false;
    }
    void handScripts()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, ok);
        HandScript script;
        const Status s = parseHandScript(json, script);
        QCOMPARE(s.ok, ok);
        QCOMPARE(s.error.isEmpty(), ok);
        if (!ok) return;
        QCOMPARE(script.size(), 24);
        QCOMPARE(script[5].noisePct, 1.0);
        QCOMPARE(script[5].driftPctPerS, 0.0);
        QVERIFY(!script[5].liftAtMs);
    }
};

QTEST_MAIN(TestQuality)
#include "test_quality.moc"
