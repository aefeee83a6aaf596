// Merging two subjects: the chosen fields, every measurement under the kept
// subject, the other removed, all at once; the undo gives back every row as
// it was; merges that would take a third subject's measurements are refused.
#include "records/subjectmerge.h"
#include "support/engines.h"
#include "transferfixture.h"

using namespace lumo;
using namespace lumo::test;

namespace {

struct Practice
{
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    // On the engine of the test's global row: a merge is one transaction on either.
    Practice()
    {
        QFETCH_GLOBAL(lumo::test::Engine, engine);
        db = freshMain(engine, dir);
    }
    qint64 subject(const QString& custNo, const QString& name, const QString& tel = {}, int measurements = 0)
    {
        SubjectRow s;
        s.CUSTNO = custNo;
        s.NAME = name;
        s.TEL = tel;
        s.BTYPE = tel.isEmpty() ? QStringLiteral("A") : QString();
        SubjectStore(*db).append(s);
        for (int i = 0; i < measurements; ++i) {
            MeasurementRow m;
            m.CUSTNO = custNo;
            m.ZUDATE = 45000 + i;
            m.ZU[0] = 10 + i;
            MeasurementStore(*db).append(m);
        }
        return s.MKEY;
    }
    QStringList everything()
    {
        return rowsOf(*db, QStringLiteral("ZUCUST"), true) + rowsOf(*db, QStringLiteral("ZUDATA"), true);
    }
    qint64 under(const QString& custNo) { return MeasurementStore(*db).countForSubject(custNo); }
    SubjectRow row(qint64 key) { return SubjectStore(*db).get(key).value_or(SubjectRow()); }
};

MergeChoice choose(std::initializer_list<MergeField> fromOther)
{
    MergeChoice c{};
    for (MergeField f : fromOther)
        c[size_t(f)] = true;
    return c;
}

} // namespace

class TestSubjectMerge : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { bothEngines(); }

    void mergeAndUndo_data()
    {
        QTest::addColumn<QString>("keptNo");
        QTest::addColumn<QString>("otherNo");
        QTest::addColumn<bool>("takeOtherNumber");
        QTest::addColumn<QString>("number");   // the kept subject's afterwards
        QTest::addColumn<int>("measurements"); // under it afterwards
        QTest::newRow("one number twice (an append import)") << "A01"
                                                             << "A01" << false << "A01" << 3;
        QTest::newRow("one number, written apart in case") << "a01"
                                                           << "A01" << true << "A01" << 3;
        QTest::newRow("two numbers, the kept one's") << "A01"
                                                     << "B01" << false << "A01" << 5;
        QTest::newRow("two numbers, the other's") << "A01"
                                                  << "B01" << true << "B01" << 5;
    }
    void mergeAndUndo()
    {
        QFETCH(QString, keptNo);
        QFETCH(QString, otherNo);
        QFETCH(bool, takeOtherNumber);
        QFETCH(QString, number);
        QFETCH(int, measurements);
        Practice p;
        p.subject(QStringLiteral("Z9"), u("旁人"), QString(), 1);
        const qint64 kept = p.subject(keptNo, u("王"), QString(), 2);
        const qint64 other = p.subject(otherNo, u("王小明"), QStringLiteral("02-1234"),
                                       keptNo.compare(otherNo, Qt::CaseInsensitive) == 0 ? 1 : 3);
        const QStringList before = p.everything();

        MergeChoice c = choose({MergeField::NAME, MergeField::TEL});
        c[size_t(MergeField::CUSTNO)] = takeOtherNumber;
        int moved = 0;
        QString said;
        QVERIFY(mergeSubjects(*p.db, p.row(kept), p.row(other), c, 46000.5, &moved, &said).ok);
        // The log names both subjects and the fields taken, as the screen names them.
        QCOMPARE(said, u("保留 %1 王，併入 %2 王小明 (已刪除)；取自被併入者：%3姓名、電話；測量資料 %4 筆")
                           .arg(keptNo, otherNo, takeOtherNumber ? u("編號、") : QString())
                           .arg(measurements));
        QCOMPARE(moved, measurements);
        const auto merged = SubjectStore(*p.db).get(kept);
        QVERIFY(merged);
        QCOMPARE(merged->CUSTNO, number);
        QCOMPARE(merged->NAME, u("王小明"));
        QCOMPARE(merged->TEL, QStringLiteral("02-1234"));
        QCOMPARE(merged->BTYPE, QStringLiteral("A")); // a field no screen shows stays the kept one's
        QVERIFY(merged->ROWVER > 1); // a workstation that shows the kept subject is told at its save
        QVERIFY(!SubjectStore(*p.db).get(other));
        QCOMPARE(p.under(number), measurements);
        QCOMPARE(countOf(*p.db, "ZUDATA"), measurements + 1);
        QCOMPARE(p.under(QStringLiteral("Z9")), 1);
        const auto record = lastMerge(*p.db);
        QVERIFY(record);
        QCOMPARE(record->removed.MKEY, other);
        QCOMPARE(record->when, 46000.5);

        QVERIFY(undoLastMerge(*p.db).ok);
        QCOMPARE(p.everything(), before);
        QVERIFY(!lastMerge(*p.db));
        QVERIFY(!undoLastMerge(*p.db).ok); // once only
    }

    void refused_data()
    {
        QTest::addColumn<QString>("third");
        QTest::addColumn<bool>("sameKey");
        QTest::addColumn<bool>("changedSince");
        QTest::newRow("the same subject twice") << "" << true << false;
        QTest::newRow("a third subject holds the kept one's number") << "a01" << false << false;
        QTest::newRow("a third subject holds the other's number") << "B01" << false << false;
        QTest::newRow("the other changed since it was shown") << "" << false << true;
    }
    void refused()
    {
        QFETCH(QString, third);
        QFETCH(bool, sameKey);
        QFETCH(bool, changedSince);
        Practice p;
        const qint64 kept = p.subject(QStringLiteral("A01"), u("王"), QString(), 1);
        const qint64 other = p.subject(QStringLiteral("B01"), u("王"), QString(), 1);
        if (!third.isEmpty()) p.subject(third, u("李"));
        const SubjectRow shown = p.row(other);
        if (changedSince) {
            SubjectRow edited = shown;
            edited.NAME = u("王大明");
            QVERIFY(SubjectStore(*p.db).update(edited).ok);
        }
        const QStringList before = p.everything();
        const Status st =
            mergeSubjects(*p.db, p.row(kept), sameKey ? p.row(kept) : shown, MergeChoice{}, 46000);
        QVERIFY(!st.ok);
        QVERIFY(!st.error.isEmpty());
        QCOMPARE(p.everything(), before);
        QVERIFY(!lastMerge(*p.db));
    }

    void undoRefused_data()
    {
        QTest::addColumn<int>(
            "change"); // 0 the kept subject deleted, 1 its old number taken, 2 the removed one's
        QTest::newRow("the kept subject deleted since") << 0;
        QTest::newRow("the kept one's old number taken since") << 1;
        QTest::newRow("the removed one's number taken since") << 2;
    }
    void undoRefused()
    {
        QFETCH(int, change);
        Practice p;
        const qint64 kept = p.subject(QStringLiteral("A01"), u("王"), QString(), 1);
        const qint64 other = p.subject(QStringLiteral("B01"), u("王"), QString(), 1);
        QVERIFY(mergeSubjects(*p.db, p.row(kept), p.row(other), choose({MergeField::CUSTNO}), 46000).ok);
        if (change == 0) QVERIFY(SubjectStore(*p.db).removeWithMeasurements(kept).ok);
        if (change == 1) p.subject(QStringLiteral("A01"), u("新"));
        if (change == 2) p.subject(QStringLiteral("b01"), u("新"));
        const QStringList before = p.everything();
        QVERIFY(!undoLastMerge(*p.db).ok);
        QCOMPARE(p.everything(), before);
    }

    // Only the last merge can be undone; the one before it is gone.
    void lastOnly()
    {
        Practice p;
        const qint64 a = p.subject(QStringLiteral("A"), u("甲"));
        const qint64 b = p.subject(QStringLiteral("B"), u("乙"));
        const qint64 c = p.subject(QStringLiteral("C"), u("丙"));
        QVERIFY(mergeSubjects(*p.db, p.row(a), p.row(b), MergeChoice{}, 1).ok);
        QVERIFY(mergeSubjects(*p.db, p.row(a), p.row(c), MergeChoice{}, 2).ok);
        QCOMPARE(lastMerge(*p.db)->removed.CUSTNO, QStringLiteral("C"));
        QVERIFY(undoLastMerge(*p.db).ok);
        QVERIFY(SubjectStore(*p.db).get(c));
        QVERIFY(!SubjectStore(*p.db).get(b));
        QVERIFY(!lastMerge(*p.db));
    }

    void duplicatesOfAnImport()
    {
        Practice p;
        p.subject(QStringLiteral("A01"), u("甲"));
        p.subject(QStringLiteral("A02"), u("乙"));
        const qint64 before = highestSubjectKey(*p.db);
        p.subject(QStringLiteral("a01"), u("甲"));
        p.subject(QStringLiteral("A03"), u("丙"));
        p.subject(QStringLiteral("A03"), u("丙"));
        QCOMPARE(importedDuplicates(*p.db, before), 1); // A03 twice is no number that was there
        const auto dups = duplicateNumbers(*p.db);
        QCOMPARE(dups.size(), 2);
        QCOMPARE(dups[0].second, 2);
        QCOMPARE(subjectsWithNumber(*p.db, QStringLiteral("A01")).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSubjectMerge)
#include "test_subjectmerge.moc"
