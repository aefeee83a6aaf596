// The screens' side of the reading grades: the C mark in the measuring grid,
// measuring a point again from the screen, the repeat mode's pairs, and the
// save screen's conditions.
#include "app/modules.h"
#include "measurement/practicefixture.h"
#include "measurement/ui/tzudec.h"
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "records/ui/conditionsgroup.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzusave.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

class TestQualityScreens : public QObject
{
    Q_OBJECT
private slots:
    void repeatModePairs_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("outcome");
        QTest::newRow("same subject, 10 minutes") << "p1" << 10 << int(RepeatSession::Outcome::Paired);
        QTest::newRow("another subject") << "P2" << 10 << int(RepeatSession::Outcome::NotPaired);
        QTest::newRow("40 minutes later") << "P1" << 40 << int(RepeatSession::Outcome::NotPaired);
        QTest::newRow("the same taking saved twice") << "P1" << 0 << int(RepeatSession::Outcome::NotPaired);
    }
    void repeatModePairs()
    {
        QFETCH(QString, second);
        QFETCH(int, minutes);
        QFETCH(int, outcome);
        RepeatSession s;
        s.setOn(true);
        QCOMPARE(int(s.saved(QStringLiteral("P1"), 45000.5, 7)), int(RepeatSession::Outcome::None));
        QVERIFY(s.clearsWithoutAsking(7));
        QCOMPARE(int(s.saved(second, 45000.5 + minutes / 1440.0, 8)), outcome);
        QVERIFY(!s.clearsWithoutAsking(8)); // the next pair starts afresh
        // What the save keeps of the mode: the session's key only for a pair.
        Practice f;
        MeasurementRow first;
        first.CUSTNO = QStringLiteral("P1");
        first.ZUDATE = 45000.5;
        QVERIFY(MeasurementStore(*f.state.MainDatabase).append(first).ok);
        const bool paired = outcome == int(RepeatSession::Outcome::Paired);
        QCOMPARE(
            repeatSessionKey(*f.state.MainDatabase, first.MKEY, second, false, 45000.5 + minutes / 1440.0),
            paired ? first.MKEY : 0);
    }

    // A point graded C is marked at once; after the run R measures it again,
    // and the new reading, kept, takes the mark away.
    void poorPointMarkedAndMeasuredAgain()
    {
        Practice f;
        TZudec screen(f.state, f.sim.instrument, measurementLinks(f.state));
        screen.refreshFromState();
        HandScript hands(24);
        hands[1].noisePct = 15; // point 2: left Pericardium, column 2 of 左 側
        f.sim.sim.probe().startScripted(f.sim.clock.nowMs(), hands);
        bool touched = false;
        f.sim.clock.setTick([&](qint64) {
            f.sim.sim.timeAdvanced();
            if (screen.run().running() && screen.run().lastStored() == 3) screen.ToolButtonStopClick();
            // Measured again: a steady hand on the point.
            if (screen.run().running() && !f.sim.sim.probe().automatic() && !touched) {
                f.sim.sim.probe().touch(45, f.sim.clock.nowMs());
                touched = true;
            }
        });
        screen.ToolButtonMeasureClick();
        QTableWidgetItem* cell = screen.findChild<QTableWidget*>(QStringLiteral("StringGrid1"))->item(0, 1);
        QVERIFY2(cell->text().endsWith(QLatin1String(" C")), qPrintable(cell->text()));
        QVERIFY(cell->toolTip().contains(QString::fromUtf8("波動")));
        QVERIFY(screen.findChild<QAction*>(QStringLiteral("RemeasureAction"))->isEnabled());

        f.sim.sim.probe().stopAutomatic();
        f.messages.push(true); // keep the new reading
        screen.ToolButtonRemeasureClick();
        QVERIFY(touched);
        QVERIFY2(!cell->text().endsWith(QLatin1String(" C")), qPrintable(cell->text()));
        const MeasurementQuality& q = f.state.energy.Quality;
        QCOMPARE(q.repeats.size(), 1);
        QCOMPARE(q.repeats[0].point, 2);
        QVERIFY(q.repeats[0].laterKept);
        QCOMPARE(q.repeats[0].other.grade, QualityGrade::C);
        QVERIFY(q.grades[1].validFor(f.state.energy.Readings[1])); // the grade of the reading kept
        QVERIFY(!screen.findChild<QAction*>(QStringLiteral("RemeasureAction"))->isEnabled());
    }

    // The answers are stored with the measurement; the next save offers them
    // again, all but the note, which belongs to one measurement.
    void saveScreenConditions()
    {
        Practice f;
        SubjectRow s;
        s.CUSTNO = QStringLiteral("C1");
        QVERIFY(SubjectStore(*f.state.MainDatabase).append(s).ok);
        f.state.CurrentSubject = s;
        for (int p = 1; p <= 24; ++p)
            f.state.energy.setReading(p, 40);
        {
            TZusave save(f.state);
            ConditionsGroup* g = save.conditions();
            g->rest()->setValue(15);
            g->exercise()->setCurrentIndex(3);
            g->note()->setText(QString::fromUtf8("剛喝咖啡"));
            save.saveToTarget();
        }
        const MeasurementExtras x =
            readMeasurementExtras(*f.state.MainDatabase, f.state.CurrentMeasurementKey);
        QCOMPARE(x.conditions.restMinutes, std::optional<double>(15));
        QCOMPARE(x.conditions.exercise, std::optional<int>(3));
        QCOMPARE(x.conditions.note, QString::fromUtf8("剛喝咖啡"));
        QVERIFY(!x.conditions.mealHours);

        f.state.energy.clearReadings(); // a new measurement
        TZusave next(f.state);
        const MeasurementConditions offered = next.conditions()->conditions();
        QCOMPARE(offered.restMinutes, std::optional<double>(15));
        QCOMPARE(offered.exercise, std::optional<int>(3));
        QVERIFY(offered.note.isEmpty());
    }
};

QTEST_MAIN(TestQualityScreens)
#include "test_quality_screens.moc"
