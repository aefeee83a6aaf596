// The rules of the comparisons without a window: the band, the two body
// energies, the band choice, picking and removing, the picker's buttons.
#include "base/formats.h"
#include "comparison/comparisonchart.h"
#include "comparison/multirecord.h"
#include "comparison/pickerrules.h"
#include "comparison/tworecord.h"
#include "shell/sharedstate.h"

#include <QtTest>

using namespace lumo;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

PickedRecord entry(const QString& number, const QDateTime& at, double value = 40)
{
    SubjectRow s;
    s.CUSTNO = number;
    s.NAME = QStringLiteral("Name ") + number;
    MeasurementRow m;
    m.CUSTNO = number;
    m.ZUDATE = dayNumber(at);
    m.ZU.fill(value);
    return pickedRecordOf(s, m, defaultCompensationTable());
}

const QDateTime T0(QDate(2025, 3, 1), QTime(9, 30, 0));

} // namespace

class TestComparisonRules : public QObject
{
    Q_OBJECT
private slots:
    void bandLevelsAroundForty_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<double>("level");
        QTest::newRow("upper outer") << 0 << 59.228125;
        QTest::newRow("upper inner") << 1 << 50.5296875;
        QTest::newRow("lower inner") << 2 << 30.3859375;
        QTest::newRow("lower outer") << 3 << 21.6875;
    }
    void bandLevelsAroundForty()
    {
        QFETCH(int, line);
        QFETCH(double, level);
        QVERIFY(qAbs(bandLevels(40)[size_t(line)] - level) < 1e-12);
    }

    // The two-record comparison centres its band on the plain mean of the
    // values as stored; the multi-record comparison on the mean of the
    // compensated values. The same measurement gives two figures.
    void bodyEnergyOfTheTwoComparisons()
    {
        SubjectRow s;
        s.CUSTNO = QStringLiteral("A1");
        MeasurementRow m;
        for (int p = 1; p <= 24; ++p)
            m.ZU[size_t(p - 1)] = 30 + p;
        const CompensationTable& table = defaultCompensationTable();
        double stored = 0, compensated = 0;
        for (int p = 1; p <= 24; ++p) {
            stored += 30 + p;
            compensated += (30 + p) * table[size_t(meridianOfPoint(p))];
        }
        const ComparisonRecord two = comparisonRecordOf(s, m, table);
        const PickedRecord multi = pickedRecordOf(s, m, table);
        QVERIFY(qAbs(two.StoredMean - stored / 24) < 1e-12);
        QVERIFY(qAbs(multi.BodyEnergy - compensated / 24) < 1e-12);
        QVERIFY(qAbs(two.StoredMean - multi.BodyEnergy) > 0.1);
        // Both draw the same compensated curve.
        QCOMPARE(two.Values, multi.Values);
        QVERIFY(qAbs(two.Values[0] - 31 * table[0]) < 1e-12);
        QVERIFY(qAbs(two.Values[12] - 43 * table[size_t(Meridian::Spleen)]) < 1e-12);
    }

    // The base record of the two-record comparison: body energy from the readings.
    void baseRecordFromTheMeasurementScreen()
    {
        SubjectRow s;
        s.CUSTNO = QStringLiteral("B7");
        s.NAME = u("王小明");
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 50);
        e.VoltageMode = true;
        e.TakenAt = dayNumber(T0);
        const TwoRecordComparison c(s, e);
        QCOMPARE(c.baseBlock().bodyEnergy, 50.0);
        QCOMPARE(c.baseBlock().number, QStringLiteral("B7"));
        QVERIFY(c.baseBlock().high);
        const ComparisonChart chart = c.chart();
        QCOMPARE(chart.series.size(), 1);
        QCOMPARE(chart.series[0], e.Compensated);
        QCOMPARE(chart.bandSeries, 0);
    }

    void bandChoice_data()
    {
        QTest::addColumn<bool>("load");
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("bandSeries");
        QTest::addColumn<double>("centre");
        // Base readings all 50 (plain mean 50); the comparison record stores 40s.
        QTest::newRow("before a load: base") << false << int(BandChoice::Base) << true << 1 << 50.0;
        QTest::newRow("before a load: comparison refused")
            << false << int(BandChoice::Comparison) << false << 0 << 0.0;
        QTest::newRow("before a load: hidden") << false << int(BandChoice::Hidden) << true << 0 << 0.0;
        QTest::newRow("after a load: base") << true << int(BandChoice::Base) << true << 1 << 50.0;
        QTest::newRow("after a load: comparison") << true << int(BandChoice::Comparison) << true << 2 << 40.0;
        QTest::newRow("after a load: hidden") << true << int(BandChoice::Hidden) << true << 0 << 0.0;
    }
    void bandChoice()
    {
        QFETCH(bool, load);
        QFETCH(int, choice);
        QFETCH(bool, accepted);
        QFETCH(int, bandSeries);
        QFETCH(double, centre);
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 50);
        TwoRecordComparison c(SubjectRow(), e);
        QCOMPARE(c.band(), BandChoice::Hidden);
        if (load) {
            MeasurementRow m;
            m.ZU.fill(40);
            c.load(comparisonRecordOf(SubjectRow(), m, defaultCompensationTable()));
        }
        QCOMPARE(c.choose(BandChoice(choice)), accepted);
        const ComparisonChart chart = c.chart();
        QCOMPARE(chart.series.size(), load ? 2 : 1);
        QCOMPARE(chart.bandSeries, bandSeries);
        if (bandSeries) QCOMPARE(chart.bandCentre, centre);
    }

    // A load puts the choice back to 隱  藏, whatever was down before.
    void loadHidesTheBand()
    {
        EnergySet e;
        TwoRecordComparison c(SubjectRow(), e);
        QVERIFY(c.choose(BandChoice::Base));
        MeasurementRow m;
        m.ZU.fill(40);
        c.load(comparisonRecordOf(SubjectRow(), m, defaultCompensationTable()));
        QCOMPARE(c.band(), BandChoice::Hidden);
        QCOMPARE(c.seriesCount(), 2);
        QVERIFY(c.choose(BandChoice::Comparison));
        c.load(comparisonRecordOf(SubjectRow(), m, defaultCompensationTable()));
        QCOMPARE(c.band(), BandChoice::Hidden);
        QCOMPARE(c.chart().bandSeries, 0);
    }

    void seventhIsRefused()
    {
        QVector<PickedRecord> set;
        for (int i = 0; i < 6; ++i)
            QCOMPARE(addPicked(set, entry(QStringLiteral("S%1").arg(i), T0)), PickOutcome::Added);
        const QVector<PickedRecord> before = set;
        QCOMPARE(addPicked(set, entry(QStringLiteral("S9"), T0)), PickOutcome::Full);
        QCOMPARE(set.size(), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(set[i].CUSTNO, before[i].CUSTNO);
        QCOMPARE(pickRefusalText(PickOutcome::Full),
                 u("您已選取了超過 6 個比對資料,請先刪除不需比對的資料後,再行選取!"));
    }

    void duplicates_data()
    {
        QTest::addColumn<QString>("secondNumber");
        QTest::addColumn<QDateTime>("secondAt");
        QTest::addColumn<int>("outcome");
        QTest::newRow("same subject, same time") << "A1" << T0 << int(PickOutcome::Duplicate);
        QTest::newRow("same subject, a second later") << "A1" << T0.addSecs(1) << int(PickOutcome::Added);
        QTest::newRow("same subject, another day") << "A1" << T0.addDays(7) << int(PickOutcome::Added);
        QTest::newRow("another subject, same time") << "A2" << T0 << int(PickOutcome::Added);
        // The identification is the date-time text: within one second is the same measurement.
        QTest::newRow("same subject, within the second")
            << "A1" << T0.addMSecs(400) << int(PickOutcome::Duplicate);
    }
    void duplicates()
    {
        QFETCH(QString, secondNumber);
        QFETCH(QDateTime, secondAt);
        QFETCH(int, outcome);
        QVector<PickedRecord> set;
        QCOMPARE(addPicked(set, entry(QStringLiteral("A1"), T0)), PickOutcome::Added);
        QCOMPARE(int(addPicked(set, entry(secondNumber, secondAt))), outcome);
        QCOMPARE(set.size(), outcome == int(PickOutcome::Added) ? 2 : 1);
    }

    // A refusal in the shared state is a 注意 notice with its text; the set is unchanged.
    void refusalsAreNotices()
    {
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        QCOMPARE(pickInto(state, entry(QStringLiteral("A1"), T0)), PickOutcome::Added);
        QVERIFY(messages.shown().empty());
        QCOMPARE(pickInto(state, entry(QStringLiteral("A1"), T0)), PickOutcome::Duplicate);
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(messages.shown().back().kind, int(NoteAttention));
        QCOMPARE(messages.shown().back().text, u("這筆資料已經選取! 請勿重覆載入要比對的資料!!"));
        QCOMPARE(state.PickedRecords.size(), 1);
    }

    void removingRenumbers()
    {
        QVector<PickedRecord> set;
        for (int i = 1; i <= 4; ++i)
            addPicked(set, entry(QStringLiteral("N%1").arg(i), T0, 10.0 * i));
        set[2].BodyEnergy = -1; // a stale figure is computed again
        QVERIFY(removePicked(set, 1));
        QCOMPARE(set.size(), 3);
        QCOMPARE(set[0].CUSTNO, QStringLiteral("N1"));
        QCOMPARE(set[1].CUSTNO, QStringLiteral("N3"));
        QCOMPARE(set[2].CUSTNO, QStringLiteral("N4"));
        QCOMPARE(set[1].BodyEnergy, meanOf(set[1].Values));
        MultiRecordComparison cmp(set);
        const QString when = QStringLiteral("  ") + dateTimeOfDay(dayNumber(T0));
        QCOMPARE(cmp.subjectListItems(), QStringList({u("1.  Name N1") + when, u("2.  Name N3") + when,
                                                      u("3.  Name N4") + when, u("[隱藏生理界線]")}));
        QVERIFY(!removePicked(set, 3));
        QVERIFY(!removePicked(set, -1));
        QCOMPARE(set.size(), 3);
    }

    void subjectListSelection_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("entry");
        QTest::newRow("first entry") << 0 << 0;
        QTest::newRow("third entry") << 2 << 2;
        QTest::newRow("[隱藏生理界線]") << 3 << -1;
        QTest::newRow("nothing") << -1 << -1;
    }
    void subjectListSelection()
    {
        QFETCH(int, item);
        QFETCH(int, entry);
        QVector<PickedRecord> set;
        for (int i = 1; i <= 3; ++i)
            addPicked(set, ::entry(QStringLiteral("N%1").arg(i), T0, 20.0 + 10 * i));
        MultiRecordComparison cmp(set);
        cmp.selectItem(1);
        cmp.selectItem(item);
        QCOMPARE(cmp.selectedEntry(), entry);
        const ComparisonChart chart = cmp.chart();
        QCOMPARE(chart.series.size(), 3);
        QCOMPARE(chart.bandSeries, entry + 1);
        QCOMPARE(cmp.header().has_value(), entry >= 0);
        if (entry >= 0) {
            QCOMPARE(chart.bandCentre, set[entry].BodyEnergy);
            QCOMPARE(cmp.header()->number, set[entry].CUSTNO);
        }
        QCOMPARE(cmp.page(Configuration()).chart.bandSeries, entry + 1);
    }

    void emptySetHasNoListAndAsksToLoad()
    {
        QVector<PickedRecord> set;
        MultiRecordComparison cmp(set);
        QVERIFY(cmp.subjectListItems().isEmpty());
        QCOMPARE(cmp.statusText(), u("請點選 [載入資料] 選擇欲比對資料."));
        addPicked(set, entry(QStringLiteral("A"), T0));
        QCOMPARE(cmp.statusText(), u("請至 [受測者資料] 中點選以繪出生理界線及查閱相關資料."));
    }

    // The picker's buttons, one operator step after another.
    void pickerButtons_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("load");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<int>("row");
        QTest::newRow("opened") << QStringList{} << false << false << 0;
        QTest::newRow("measurements entered") << QStringList{"measurements 3"} << true << false << 0;
        QTest::newRow("no measurements") << QStringList{"measurements 0"} << false << false << 0;
        QTest::newRow("back to the subjects")
            << QStringList{"measurements 3", "subjects"} << false << false << 0;
        QTest::newRow("a held row clicked")
            << QStringList{"measurements 3", "click 1 of 3"} << false << true << 1;
        QTest::newRow("an empty row clicked") << QStringList{"click 4 of 3"} << false << false << 2;
        QTest::newRow("an empty row, empty set") << QStringList{"click 2 of 0"} << false << false << 0;
        QTest::newRow("measurements after a click")
            << QStringList{"click 1 of 3", "measurements 2"} << true << false << 1;
        QTest::newRow("sort changed")
            << QStringList{"measurements 2", "click 1 of 3", "sort"} << false << false << 1;
        QTest::newRow("added") << QStringList{"measurements 2", "added 4"} << true << false << 3;
        QTest::newRow("last removed")
            << QStringList{"click 3 of 4", "removed 3 left 3"} << false << true << 2;
        QTest::newRow("middle removed")
            << QStringList{"click 1 of 4", "removed 1 left 3"} << false << true << 1;
        QTest::newRow("all removed") << QStringList{"click 0 of 1", "removed 0 left 0"} << false << false
                                     << 0;
    }
    void pickerButtons()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, load);
        QFETCH(bool, remove);
        QFETCH(int, row);
        PickerRules r;
        r.opened();
        for (const QString& step : steps) {
            const QStringList w = step.split(QLatin1Char(' '));
            if (w[0] == QLatin1String("measurements")) r.enterMeasurements(w[1].toInt());
            if (w[0] == QLatin1String("subjects")) r.enterSubjects();
            if (w[0] == QLatin1String("click")) r.clickPicked(w[1].toInt(), w[3].toInt());
            if (w[0] == QLatin1String("sort")) r.sortChanged();
            if (w[0] == QLatin1String("added")) r.added(w[1].toInt());
            if (w[0] == QLatin1String("removed")) r.removed(w[1].toInt(), w[3].toInt());
        }
        QCOMPARE(r.loadEnabled(), load);
        QCOMPARE(r.removeEnabled(), remove);
        QCOMPARE(r.selectedRow(), row);
    }

    void seriesStyles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("series");
        QTest::addColumn<QColor>("line");
        QTest::addColumn<int>("style");
        QTest::addColumn<QColor>("screen");
        QTest::addColumn<QColor>("print");
        const int two = int(ComparisonKind::TwoRecord), multi = int(ComparisonKind::Multi);
        QTest::newRow("base") << two << 1 << QColor(0, 0, 255) << int(Qt::DashLine) << QColor(255, 0, 0)
                              << QColor(255, 0, 0);
        QTest::newRow("comparison") << two << 2 << QColor(0, 128, 128) << int(Qt::DotLine)
                                    << QColor(0, 255, 255) << QColor(0, 255, 255);
        QTest::newRow("multi 1") << multi << 1 << QColor(0, 0, 0) << int(Qt::DotLine) << QColor(255, 0, 0)
                                 << QColor(255, 0, 0);
        QTest::newRow("multi 2") << multi << 2 << QColor(0, 0, 255) << int(Qt::DashLine)
                                 << QColor(255, 255, 0) << QColor(255, 255, 0);
        QTest::newRow("multi 3") << multi << 3 << QColor(128, 0, 0) << int(Qt::DashDotDotLine)
                                 << QColor(255, 255, 255) << QColor(0, 0, 255);
        QTest::newRow("multi 4") << multi << 4 << QColor(0, 128, 128) << int(Qt::DotLine)
                                 << QColor(0, 255, 255) << QColor(0, 255, 255);
        QTest::newRow("multi 5") << multi << 5 << QColor(128, 0, 128) << int(Qt::DashLine)
                                 << QColor(255, 0, 255) << QColor(255, 0, 255);
        QTest::newRow("multi 6") << multi << 6 << QColor(0, 0, 128) << int(Qt::DashDotDotLine)
                                 << QColor(0, 255, 0) << QColor(0, 255, 0);
    }
    void seriesStyles()
    {
        QFETCH(int, kind);
        QFETCH(int, series);
        QFETCH(QColor, line);
        QFETCH(int, style);
        QFETCH(QColor, screen);
        QFETCH(QColor, print);
        const SeriesStyle s = seriesStyle(ComparisonKind(kind), series);
        QCOMPARE(s.line, line);
        QCOMPARE(int(s.style), style);
        QCOMPARE(s.screenMarker, screen);
        QCOMPARE(s.printMarker, print);
    }
};

QTEST_GUILESS_MAIN(TestComparisonRules)
#include "test_comparison_rules.moc"
