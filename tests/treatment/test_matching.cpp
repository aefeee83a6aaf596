#include "base/formats.h"
#include "treatment/matching.h"

#include <QTemporaryDir>
#include <QtTest>
#include <random>

using namespace lumo;

namespace {

// An analysis with chosen grades and marks, built directly.
EnergyAnalysis analysis()
{
    EnergyAnalysis a;
    a.BodyEnergy = 45.9;
    return a;
}

ConditionRow cond(const QString& code, const QString& required = {}, bool flag = false)
{
    ConditionRow c;
    c.ProCond = code;
    c.ProAnd = required;
    c.ProFlg = flag;
    return c;
}

QString at(int position, char code)
{
    QString s(24, QLatin1Char('0'));
    s[position - 1] = QLatin1Char(code);
    return s;
}

} // namespace

class TestMatching : public QObject
{
    Q_OBJECT
private slots:
    void bodyGradeCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("required");
        QTest::addColumn<int>("grade");
        QTest::addColumn<bool>("matches");
        QTest::newRow("1 low") << at(1, '1') << "" << -1 << true;
        QTest::newRow("1 normal") << at(1, '1') << "" << 0 << false;
        QTest::newRow("2 high") << at(1, '2') << "" << 2 << true;
        QTest::newRow("3 either") << at(1, '3') << "" << -3 << true;
        QTest::newRow("3 normal") << at(1, '3') << "" << 0 << false;
        QTest::newRow("required normal") << QString() << at(1, '1') << 0 << true;
        QTest::newRow("required normal fails") << QString() << at(1, '1') << 1 << false;
        QTest::newRow("code 7") << at(1, '7') << "" << -1 << false;
        QTest::newRow("single character 3") << "3" << "" << 2 << true;
        QTest::newRow("all zeros") << at(1, '0') << at(1, '0') << 0 << false;
        QTest::newRow("blank strings") << "   " << "   " << 0 << false;
        QTest::newRow("non-digit reads 0") << "x" << "1" << 0 << true;
    }
    void bodyGradeCodes()
    {
        QFETCH(QString, code);
        QFETCH(QString, required);
        QFETCH(int, grade);
        QFETCH(bool, matches);
        EnergyAnalysis a = analysis();
        a.BodyGrade = grade;
        QCOMPARE(ConditionMatches(cond(code, required), a, 0, true), matches);
    }

    void energyRange_data()
    {
        QTest::addColumn<char>("code");
        QTest::addColumn<double>("eng");
        QTest::addColumn<bool>("matches");
        QTest::newRow("= 45") << '4' << 45.0 << true;
        QTest::newRow("> 45") << '5' << 45.0 << false;
        QTest::newRow("> 44") << '5' << 44.0 << true;
        QTest::newRow("< 46") << '6' << 46.0 << true;
        QTest::newRow("< 45") << '6' << 45.0 << false;
    }
    void energyRange()
    {
        QFETCH(char, code);
        QFETCH(double, eng);
        QFETCH(bool, matches);
        ConditionRow c = cond(at(1, code));
        c.ProEng = eng;
        QCOMPARE(ConditionMatches(c, analysis(), 0, true), matches);
    }

    void meridianCodes_data()
    {
        QTest::addColumn<char>("code");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<bool>("matches");
        QTest::newRow("1: -1 0") << '1' << -1 << 0 << false;
        QTest::newRow("1: -1 -2") << '1' << -1 << -2 << true;
        QTest::newRow("2: 1 2") << '2' << 1 << 2 << true;
        QTest::newRow("2: 1 -1") << '2' << 1 << -1 << false;
        QTest::newRow("3: +1 0") << '3' << 1 << 0 << true;
        QTest::newRow("3: 0 0") << '3' << 0 << 0 << false;
        QTest::newRow("4") << '4' << -1 << -1 << false;
    }
    void meridianCodes()
    {
        QFETCH(char, code);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(bool, matches);
        EnergyAnalysis a = analysis();
        a.PointMark[0] = left;  // Lung left (point 1)
        a.PointMark[6] = right; // Lung right (point 7)
        QCOMPARE(ConditionMatches(cond(at(6, code)), a, 0, true), matches);
        // position 17 is the Bladder: points 16 and 22
        EnergyAnalysis b = analysis();
        b.PointMark[15] = left;
        b.PointMark[21] = right;
        QCOMPARE(ConditionMatches(cond(at(17, code)), b, 0, true), matches);
    }

    void metabolismCodes()
    {
        EnergyAnalysis a = analysis();
        for (int g = -3; g <= 3; ++g) {
            a.YinYangGrade = g;
            QCOMPARE(ConditionMatches(cond(at(4, '1')), a, 0, true), g > 0);
            QCOMPARE(ConditionMatches(cond(at(4, '2')), a, 0, true), g < 0);
        }
        a.LeftRightGrade = -1;
        QVERIFY(ConditionMatches(cond(at(3, '2')), a, 0, true)); // 2 tests "not normal" there
        a.ElementMark[size_t(Element::Water)] = -1;
        QVERIFY(ConditionMatches(cond(at(22, '1')), a, 0, true));
        QVERIFY(!ConditionMatches(cond(at(22, '2')), a, 0, true));
    }

    void requiredAndOptionalPositions()
    {
        EnergyAnalysis a = analysis();
        a.PointMark[0] = a.PointMark[6] = -1; // Lung low
        QString code = at(6, '1');
        code[1] = QLatin1Char('1'); // position 2: mental low, not the case
        QVERIFY(ConditionMatches(cond(code), a, 0, true));                    // either suffices
        QVERIFY(!ConditionMatches(cond(code, at(2, '1')), a, 0, true));       // required and failing
        a.UpperLowerGrade = -2;
        QVERIFY(ConditionMatches(cond(code, at(2, '1')), a, 0, true));
    }

    void ageAndSex_data()
    {
        QTest::addColumn<int>("age");
        QTest::addColumn<bool>("matches");
        QTest::newRow("40") << 40 << true;
        QTest::newRow("20") << 20 << true;
        QTest::newRow("41") << 41 << false;
        QTest::newRow("no age skips") << 0 << true;
    }
    void ageAndSex()
    {
        QFETCH(int, age);
        QFETCH(bool, matches);
        EnergyAnalysis a = analysis();
        a.BodyGrade = -1;
        QString code = at(1, '1');
        code[22] = QLatin1Char('3');
        ConditionRow c = cond(code);
        c.ProAGL = 20;
        c.ProAGH = 40;
        QCOMPARE(ConditionMatches(c, a, age, true), matches);
        // A sex condition is always required.
        code[23] = QLatin1Char('2');
        QVERIFY(!ConditionMatches(cond(code), a, 0, true));
        QVERIFY(ConditionMatches(cond(code), a, 0, false));
    }

    void conditionAges()
    {
        QCOMPARE(conditionAge(0, QDate(2026, 5, 1)), 0);
        QCOMPARE(conditionAge(4000, QDate(2026, 5, 1)), 0);
        QCOMPARE(conditionAge(dayNumber(QDate(1986, 12, 31)), QDate(2026, 1, 1)), 40);
        QCOMPARE(conditionAge(dayNumber(QDate(2026, 1, 1)), QDate(2026, 12, 1)), 0);
    }

    void programs()
    {
        EnergyAnalysis a = analysis();
        a.BodyGrade = -1;
        ProgramWithConditions onlyOptional;
        onlyOptional.program.ProName = QStringLiteral("A");
        onlyOptional.conditions = {cond(at(2, '1')), cond(at(1, '1'))};
        ProgramWithConditions requiredFails;
        requiredFails.program.ProName = QStringLiteral("B");
        requiredFails.conditions = {cond(at(1, '1')), cond(at(2, '1'), {}, true)};
        ProgramWithConditions none;
        none.program.ProName = QStringLiteral("C");
        ProgramWithConditions again = onlyOptional;
        QCOMPARE(MatchPrograms({onlyOptional, requiredFails, none, again}, a, 0, true), (QStringList{"A", "A"}));
    }

    // The database path reads the strings itself; it must agree with the row path.
    void databaseAgreesWithRows()
    {
        QTemporaryDir dir;
        Status st;
        auto db = Database::create(dir.filePath(QStringLiteral("m.mdb")), FileKind::Master, &st);
        ProgramStore store(*db);
        const QStringList conds = {at(1, '1'), QStringLiteral("   "), QString::fromUtf8("１1"), at(6, '3'),
                                   at(24, '2'), QStringLiteral("0000000000000000000000003"), at(4, '2')};
        std::mt19937 rng(5);
        for (int p = 0; p < 60; ++p) {
            ProgramRow row;
            row.ProNo = QStringLiteral("N%1").arg(59 - p);
            row.ProName = QStringLiteral("program %1").arg(p);
            QVERIFY(store.append(row).ok);
            const int n = p % 4; // some programs have no conditions
            for (int i = 0; i < n; ++i) {
                ConditionRow c = cond(conds[size_t(rng() % conds.size())], rng() % 3 == 0 ? at(2, '1') : QString(), rng() % 5 == 0);
                c.ProNo = row.ProNo.toLower(); // the link ignores case
                c.ProAGL = 20;
                c.ProAGH = 60;
                QVERIFY(store.appendCondition(c).ok);
            }
        }
        EnergyAnalysis a = analysis();
        a.BodyGrade = -1;
        a.PointMark[0] = 1;
        for (int age : {0, 30, 70})
            for (bool male : {true, false}) {
                const QStringList fromRows = MatchPrograms(store.loadAll(), a, age, male);
                QVERIFY(!fromRows.isEmpty());
                QCOMPARE(MatchPrograms(*db, a, age, male), fromRows);
            }
    }
};

QTEST_GUILESS_MAIN(TestMatching)
#include "test_matching.moc"
