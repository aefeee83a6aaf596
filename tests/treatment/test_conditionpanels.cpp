// The panel encoding of a condition, both ways, over every position and code,
// and conditions built in the panels matched by the matching itself.
#include "treatment/conditionpanels.h"
#include "treatment/matching.h"
#include "treatment/treatmenttables.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

const QString Zeros(24, QLatin1Char('0'));

QString at(int position, int code)
{
    QString s = Zeros;
    s[position - 1] = QLatin1Char(char('0' + code));
    return s;
}

ConditionRow row(const QString& cond, const QString& required = {})
{
    ConditionRow c;
    c.ProCond = cond;
    c.ProAnd = required;
    return c;
}

// What the panels show of one position, written as the boxes a person sees:
// "-" nothing ticked; "1" first box, "2" second box, "12" both; "R=" / "R>" /
// "R<" 範圍 with its comparison; "L" / "U" / "LU" the age boxes; "M" / "F" the
// sex condition with 男性 / 女性.
QString shown(const ConditionPanels& s, int p)
{
    if (p == 23) {
        QString t = QString(s.lowerAgeBox() ? "L" : "") + (s.upperAgeBox() ? "U" : "");
        return t.isEmpty() ? QStringLiteral("-") : t;
    }
    if (p == 24)
        return s.sexCondition() ? (s.male() ? QStringLiteral("M") : QStringLiteral("F"))
                                : QStringLiteral("-");
    if (p == 1 && s.range()) return QStringLiteral("R") + QString("=><").mid(s.comparison(), 1);
    QString t = QString(s.option(p, 0) ? "1" : "") + (s.option(p, 1) ? "2" : "");
    return t.isEmpty() ? QStringLiteral("-") : t;
}

// Every position but p shows nothing.
bool othersEmpty(const ConditionPanels& s, int p)
{
    for (int q = 1; q <= 24; ++q)
        if (q != p && shown(s, q) != QLatin1String("-")) return false;
    return true;
}

// The display of codes 0-9, per kind of position.
const char* const TwoBoxes[10] = {"-", "1", "2", "12", "-", "-", "-", "-", "-", "-"};
const char* const OneBox[10] = {"-", "1", "1", "1", "1", "1", "1", "1", "1", "1"};
const char* const Body[10] = {"-", "1", "2", "12", "R=", "R>", "R<", "-", "-", "-"};
const char* const Age[10] = {"-", "L", "U", "LU", "-", "-", "-", "-", "-", "-"};
const char* const Sex[10] = {"-", "M", "F", "-", "-", "-", "-", "-", "-", "-"};

const char* const* displayOf(int p)
{
    if (p == 1) return Body;
    if (p == 3 || p == 5) return OneBox;
    if (p == 23) return Age;
    if (p == 24) return Sex;
    return TwoBoxes;
}

// Sets what `shown` reads back, for the building direction.
void tick(ConditionPanels& s, int p, const QString& what)
{
    if (p == 23) {
        s.setLowerAgeBox(what.contains(QLatin1Char('L')));
        s.setUpperAgeBox(what.contains(QLatin1Char('U')));
    } else if (p == 24) {
        s.setSexCondition(what != QLatin1String("-"));
        s.setMale(what == QLatin1String("M"));
    } else if (what.startsWith(QLatin1Char('R'))) {
        s.setRange(true);
        s.setComparison(int(QString("=><").indexOf(what.at(1))));
    } else {
        s.setOption(p, 0, what.contains(QLatin1Char('1')));
        s.setOption(p, 1, what.contains(QLatin1Char('2')));
    }
}

// A main database with one program and the given conditions, matched through
// the matching's own reading of the stored strings.
QStringList matchStored(const QVector<ConditionRow>& conditions, const EnergyAnalysis& a, int age, bool male)
{
    QTemporaryDir dir;
    Status st;
    auto db = Database::create(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st);
    if (!db) return {QStringLiteral("no database: ") + st.error};
    TreatmentTables tables(*db);
    ProgramRow p;
    p.ProNo = QStringLiteral("P1");
    p.ProName = QStringLiteral("built");
    if (!tables.appendProgram(p)) return {QStringLiteral("no program")};
    for (ConditionRow c : conditions) {
        c.ProNo = p.ProNo;
        c.MKEY = 0;
        if (!tables.confirmCondition(c, p)) return {QStringLiteral("no condition")};
    }
    return MatchPrograms(*db, a, age, male);
}

} // namespace

class TestConditionPanels : public QObject
{
    Q_OBJECT
private slots:
    // Reading: every code at every position shows the boxes of its table, and
    // nothing anywhere else.
    void readsEveryCode_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("display");
        for (int p = 1; p <= 24; ++p)
            for (int code = 0; code <= 9; ++code)
                QTest::addRow("pos %d code %d", p, code)
                    << p << code << QString::fromLatin1(displayOf(p)[code]);
    }
    void readsEveryCode()
    {
        QFETCH(int, position);
        QFETCH(int, code);
        QFETCH(QString, display);
        const ConditionPanels s = ConditionPanels::read(row(at(position, code)));
        QCOMPARE(shown(s, position), display);
        QVERIFY(othersEmpty(s, position));
        for (int q = 1; q <= 22; ++q)
            QVERIFY(!s.category(q));
    }

    // Building: each display the panels can hold gives exactly its code, the
    // other 23 positions 0, ProAnd all zeros. And read back, the code shows
    // the same boxes again.
    void buildsEveryCode_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("display");
        QTest::addColumn<int>("code");
        for (int p = 1; p <= 24; ++p)
            for (int code = 0; code <= 9; ++code) {
                const QString d = QString::fromLatin1(displayOf(p)[code]);
                // Each display once, with the code that first shows it (1 for 異常).
                if (code > 0 && d == QLatin1String("-")) continue;
                if ((p == 3 || p == 5) && code > 1) continue;
                QTest::addRow("pos %d %s", p, qPrintable(d)) << p << d << code;
            }
    }
    void buildsEveryCode()
    {
        QFETCH(int, position);
        QFETCH(QString, display);
        QFETCH(int, code);
        ConditionPanels s;
        tick(s, position, display);
        QCOMPARE(s.ProCond(), at(position, code));
        QCOMPARE(s.ProAnd(), Zeros);
        QCOMPARE(shown(ConditionPanels::read(row(s.ProCond())), position), display);
    }

    // The category box of positions 1-22 is ProAnd's digit; 23 and 24 have none.
    void categoryBoxes_data()
    {
        QTest::addColumn<int>("position");
        for (int p = 1; p <= 22; ++p)
            QTest::addRow("pos %d", p) << p;
    }
    void categoryBoxes()
    {
        QFETCH(int, position);
        ConditionPanels s = ConditionPanels::read(row(QString(), at(position, 1)));
        for (int q = 1; q <= 22; ++q)
            QCOMPARE(s.category(q), q == position);
        QCOMPARE(s.ProAnd(), at(position, 1));
        QCOMPARE(s.ProCond(), Zeros);
        // A digit other than 1 does not tick it.
        QVERIFY(!ConditionPanels::read(row(QString(), at(position, 2))).category(position));
    }

    void readingOddStrings_data()
    {
        QTest::addColumn<QString>("cond");
        QTest::addColumn<QString>("required");
        QTest::addColumn<QString>("builtCond");
        QTest::addColumn<QString>("builtAnd");
        QTest::newRow("blank") << "   "
                               << " " << Zeros << Zeros;
        QTest::newRow("empty") << ""
                               << "" << Zeros << Zeros;
        QTest::newRow("single 3") << "3"
                                  << "1" << at(1, 3) << at(1, 1);
        QTest::newRow("non-digits read 0") << "x2"
                                           << "y1" << at(2, 2) << at(2, 1);
        QTest::newRow("full-width digit reads 0") << QString::fromUtf8("１1") << "" << at(2, 1) << Zeros;
        QTest::newRow("ProAnd at 23 ignored") << Zeros << at(23, 1) << Zeros << Zeros;
        QTest::newRow("longer than 24") << at(6, 2) + "999"
                                        << "" << at(6, 2) << Zeros;
    }
    void readingOddStrings()
    {
        QFETCH(QString, cond);
        QFETCH(QString, required);
        QFETCH(QString, builtCond);
        QFETCH(QString, builtAnd);
        const ConditionPanels s = ConditionPanels::read(row(cond, required));
        QCOMPARE(s.ProCond(), builtCond);
        QCOMPARE(s.ProAnd(), builtAnd);
        QCOMPARE(s.ProCond().size(), 24);
        QCOMPARE(s.ProAnd().size(), 24);
    }

    // Code 5 at position 1: 範圍 with "大於 >", and 虛弱/亢奮 out of use.
    void rangeCodeShowsComparison()
    {
        ConditionRow c = row(at(1, 5));
        c.ProEng = 45;
        const ConditionPanels s = ConditionPanels::read(c);
        QVERIFY(s.range());
        QCOMPARE(ConditionPanels::comparisonItems().at(s.comparison()), QString::fromUtf8("大於 >"));
        QVERIFY(!s.optionsOfBodyEnabled());
        QVERIFY(s.comparisonEnabled());
        QCOMPARE(s.energy(), 45.0);
        const ConditionPanels plain = ConditionPanels::read(row(at(1, 3)));
        QVERIFY(plain.optionsOfBodyEnabled());
        QVERIFY(!plain.comparisonEnabled());
    }

    // 範圍 ticked without choosing: "等於 =" is selected, code 4; unticking
    // brings 虛弱/亢奮 back as they were.
    void rangeWithoutComparisonStores4()
    {
        ConditionPanels s;
        s.setOption(1, 0, true);
        s.setRange(true);
        QCOMPARE(s.comparison(), 0);
        QCOMPARE(s.ProCond(), at(1, 4));
        ConditionPanels none;
        none.setRange(true);
        none.setComparison(-1); // nothing selected in the box
        QCOMPARE(none.ProCond(), at(1, 4));
        s.setRange(false);
        QCOMPARE(s.ProCond(), at(1, 1));
    }

    // Only 必須條件 ticked: both strings are 24 zeros, and such a condition never matches.
    void onlyRequiredIsAllZeros()
    {
        ConditionPanels s;
        QCOMPARE(s.ProCond(), Zeros);
        QCOMPARE(s.ProAnd(), Zeros);
        ConditionRow c;
        s.writeTo(c);
        c.ProFlg = true;
        EnergyAnalysis a;
        QVERIFY(!ConditionMatches(c, a, 40, true));
        QCOMPARE(matchStored({c}, a, 40, true), QStringList());
    }

    void ageArrowsAreCoupled_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<bool>("moveLower"); // else the upper arrows move
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("ProAGL");
        QTest::addColumn<int>("ProAGH");
        QTest::newRow("lower 60 over upper 40") << 20 << 40 << true << 60 << 60 << 60;
        QTest::newRow("lower up to upper") << 20 << 40 << true << 40 << 40 << 40;
        QTest::newRow("lower below upper") << 20 << 40 << true << 30 << 30 << 40;
        QTest::newRow("upper 10 under lower 20") << 20 << 40 << false << 10 << 10 << 10;
        QTest::newRow("upper above lower") << 20 << 40 << false << 70 << 20 << 70;
        QTest::newRow("beyond 100") << 20 << 40 << true << 130 << 100 << 100;
        QTest::newRow("below 0") << 20 << 40 << false << -5 << 0 << 0;
    }
    void ageArrowsAreCoupled()
    {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(bool, moveLower);
        QFETCH(int, to);
        QFETCH(int, ProAGL);
        QFETCH(int, ProAGH);
        ConditionPanels s;
        s.setUpperAge(upper);
        s.setLowerAge(lower);
        moveLower ? s.setLowerAge(to) : s.setUpperAge(to);
        ConditionRow c;
        s.writeTo(c);
        QCOMPARE(c.ProAGL, ProAGL);
        QCOMPARE(c.ProAGH, ProAGH);
    }

    // A mixed condition read and built again is the same condition.
    void roundTripOfAMixedCondition()
    {
        ConditionRow c;
        c.ProCond = QStringLiteral("611310000023000012030012");
        c.ProAnd = QStringLiteral("101000100000000000010000");
        c.ProEng = 37.5;
        c.ProAGL = 30;
        c.ProAGH = 55;
        const ConditionPanels s = ConditionPanels::read(c);
        ConditionRow again;
        s.writeTo(again);
        QCOMPARE(again.ProCond, c.ProCond);
        QCOMPARE(again.ProAnd, QStringLiteral("101000100000000000010000"));
        QCOMPARE(again.ProEng, 37.5);
        QCOMPARE(again.ProAGL, 30);
        QCOMPARE(again.ProAGH, 55);
        QVERIFY(ConditionPanels::read(again) == s);
    }

    // Conditions built in the panels, stored, and matched by MatchPrograms
    // against analyses chosen to meet them or to miss them.
    void builtConditionsMatch_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<bool>("matches");
        const char* rows[][2] = {
            {"lung deficient both sides", "1"},  {"lung deficient one side", "0"},
            {"lung either sign, one side", "1"}, {"energy equals 45 (45.9)", "1"},
            {"energy above 45 (45.9)", "0"},     {"energy below 46 (45.9)", "1"},
            {"metabolism lowered (+2)", "1"},    {"metabolism raised (+2)", "0"},
            {"required normal mental (0)", "1"}, {"required normal mental (1)", "0"},
            {"age 60 and over (65)", "1"},       {"age 60 and over (59)", "0"},
            {"women only (man)", "0"},           {"water deficient required, fire unticked", "1"},
            {"required position fails", "0"},
        };
        for (auto& r : rows)
            QTest::newRow(r[0]) << QString::fromLatin1(r[0]) << (r[1][0] == '1');
    }
    void builtConditionsMatch()
    {
        QFETCH(QString, scenario);
        QFETCH(bool, matches);
        EnergyAnalysis a;
        a.BodyEnergy = 45.9;
        int age = 40;
        bool male = true;
        ConditionPanels s;
        const int lungLeft = 0, lungRight = 6; // points 1 and 7
        if (scenario.startsWith(QLatin1String("lung deficient"))) {
            s.setOption(6, 0, true); // 肺經 虛證
            a.PointMark[lungLeft] = -1;
            a.PointMark[lungRight] = scenario.contains(QLatin1String("both")) ? -2 : 0;
        } else if (scenario.startsWith(QLatin1String("lung either"))) {
            s.setOption(6, 0, true);
            s.setOption(6, 1, true);
            a.PointMark[lungRight] = 1;
        } else if (scenario.startsWith(QLatin1String("energy"))) {
            s.setRange(true);
            s.setComparison(scenario.contains(QLatin1String("equals"))  ? 0
                            : scenario.contains(QLatin1String("above")) ? 1
                                                                        : 2);
            s.setEnergy(scenario.contains(QLatin1String("46")) ? 46 : 45);
        } else if (scenario.startsWith(QLatin1String("metabolism"))) {
            s.setOption(4, scenario.contains(QLatin1String("lowered")) ? 0 : 1, true); // 減弱 / 增強
            a.YinYangGrade = 2;
        } else if (scenario.startsWith(QLatin1String("required normal"))) {
            s.setCategory(2, true);
            a.UpperLowerGrade = scenario.contains(QLatin1String("(1)")) ? 1 : 0;
        } else if (scenario.startsWith(QLatin1String("age"))) {
            s.setLowerAgeBox(true);
            s.setLowerAge(60);
            age = scenario.contains(QLatin1String("65")) ? 65 : 59;
        } else if (scenario.startsWith(QLatin1String("women"))) {
            s.setOption(1, 0, true); // also 虛弱, which holds
            a.BodyGrade = -1;
            s.setSexCondition(true);
            s.setMale(false);
        } else if (scenario.startsWith(QLatin1String("water"))) {
            s.setCategory(22, true);
            s.setOption(22, 0, true); // 水 虛證, required
            s.setCategory(19, false);
            a.ElementMark[size_t(Element::Water)] = -1;
            a.ElementMark[size_t(Element::Fire)] = 2;
        } else if (scenario.startsWith(QLatin1String("required position fails"))) {
            s.setOption(6, 0, true); // holds
            a.PointMark[lungLeft] = a.PointMark[lungRight] = -1;
            s.setCategory(17, true); // 膀胱經 required normal, but it is not
            a.PointMark[15] = 1;
        }
        ConditionRow c;
        s.writeTo(c);
        QCOMPARE(ConditionMatches(c, a, age, male), matches);
        QCOMPARE(matchStored({c}, a, age, male),
                 matches ? QStringList{QStringLiteral("built")} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestConditionPanels)
#include "test_conditionpanels.moc"
