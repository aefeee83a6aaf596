#include "base/formats.h"
#include "records/measurements.h"
#include "records/programs.h"
#include "records/subjectmodel.h"
#include "records/subjects.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

std::unique_ptr<Database> freshMain(const QTemporaryDir& dir)
{
    Status st;
    const QString path = dir.filePath(QStringLiteral("lumo4.mdb"));
    Database::create(path, FileKind::Main, &st).reset();
    return Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
}

SubjectRow subject(const QString& no, const QString& name, const QString& tel = {}, const QString& addr = {})
{
    SubjectRow r;
    r.CUSTNO = no;
    r.NAME = name;
    r.TEL = tel;
    r.ADDR = addr;
    return r;
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void dayNumbers_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<double>("day");
        QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
        QTest::newRow("no birth date limit") << QDateTime(QDate(1910, 12, 13), QTime(0, 0)) << 4000.0;
        QTest::newRow("noon 2000") << QDateTime(QDate(2000, 1, 1), QTime(12, 0)) << 36526.5;
        QTest::newRow("before epoch") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
    }
    void dayNumbers()
    {
        QFETCH(QDateTime, when);
        QFETCH(double, day);
        QCOMPARE(dayNumber(when), day);
        QCOMPARE(dateTimeFromDayNumber(day), when);
    }

    void calculatedFields_data()
    {
        QTest::addColumn<double>("birth");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("birthText");
        QTest::addColumn<QString>("age");
        QTest::newRow("no birth date") << 0.0 << QDate(2007, 5, 1) << "" << "";
        QTest::newRow("at 4000") << 4000.0 << QDate(2007, 5, 1) << "" << "";
        QTest::newRow("1960-07-01 in 2007") << dayNumber(QDate(1960, 7, 1)) << QDate(2007, 1, 2) << "1960/07/01" << " 47";
        QTest::newRow("same year") << dayNumber(QDate(2007, 3, 1)) << QDate(2007, 12, 31) << "2007/03/01" << "  0";
    }
    void calculatedFields()
    {
        QFETCH(double, birth);
        QFETCH(QDate, today);
        QFETCH(QString, birthText);
        QFETCH(QString, age);
        SubjectRow r;
        r.DBIRTH = birth;
        QCOMPARE(DBIRTH_C(r), birthText);
        QCOMPARE(ZUAGE(r, today), age);
    }

    void measurementFields()
    {
        MeasurementRow m;
        m.ZUDATE = dayNumber(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
        m.ZUVOTA = true;
        QCOMPARE(ZUDATE_C(m), QStringLiteral("2024/03/05"));
        QCOMPARE(ZUDATE_T(m), QStringLiteral("14:07:09"));
        QCOMPARE(ZUVOTA_C(m), QString::fromUtf8("高電位"));
        m.ZUVOTA = false;
        QCOMPARE(ZUVOTA_C(m), QString::fromUtf8("標準"));
        SubjectRow s;
        QCOMPARE(Sex_S(s), QString::fromUtf8("男"));
        s.SEX = false;
        QCOMPARE(Sex_S(s), QString::fromUtf8("女"));
        ConditionRow c;
        QCOMPARE(ProFlgC(c), QString());
        c.ProFlg = true;
        QCOMPARE(ProFlgC(c), QStringLiteral("X"));
        QCOMPARE(measurementValueText(0), QString());
        QCOMPARE(measurementValueText(45.25), QStringLiteral("45.3"));
        QCOMPARE(measurementValueText(1000), QStringLiteral("1000.0"));
        QCOMPARE(measurementValueText(1e308), QStringLiteral("---"));
        QCOMPARE(measurementValueText(-2), QStringLiteral("---"));
    }

    void appendReadBackAndCaseInsensitiveNumbers()
    {
        QTemporaryDir dir;
        auto db = freshMain(dir);
        QVERIFY(db);
        SubjectStore subjects(*db);
        SubjectRow a = subject(QStringLiteral("A01"), QString::fromUtf8("王小明"));
        a.DBIRTH = 4000;
        a.SEX = false;
        { Status st = subjects.append(a); QVERIFY2(st.ok, qPrintable(st.error)); }
        QVERIFY(a.MKEY > 0);
        auto found = subjects.findByCustNo(QStringLiteral("a01"));
        QVERIFY(found);
        QCOMPARE(found->NAME, QString::fromUtf8("王小明"));
        QCOMPARE(found->DBIRTH, 4000.0);
        QCOMPARE(found->SEX, false);

        MeasurementStore ms(*db);
        MeasurementRow m;
        m.CUSTNO = QStringLiteral("a01");
        for (int i = 0; i < 24; ++i) m.ZU[size_t(i)] = 10.5 + i;
        m.MEMO1 = QStringLiteral("line 1\r\nline 2");
        QVERIFY(ms.append(m).ok);
        QCOMPARE(ms.countForSubject(QStringLiteral("A01")), 1);
        auto back = ms.get(m.MKEY);
        QVERIFY(back);
        QCOMPARE(back->ZU, m.ZU);
        QCOMPARE(back->MEMO1, m.MEMO1);
        bool found2 = false;
        QVERIFY(ms.updateMemo(m.MKEY, QStringLiteral("new"), &found2).ok);
        QVERIFY(found2);
        QVERIFY(ms.updateMemo(999999, QStringLiteral("x"), &found2).ok);
        QVERIFY(!found2);
    }

    void sortingAndSearch()
    {
        QTemporaryDir dir;
        auto db = freshMain(dir);
        SubjectStore subjects(*db);
        const QStringList names = {"Chen", "Ang", "Lin", "Bao", "Chang"};
        const QStringList tels = {"0912", "0933", "0225", "0911", "0700"};
        for (int i = 0; i < names.size(); ++i) {
            SubjectRow r = subject(QStringLiteral("N%1").arg(5 - i), names[i], tels[i], QStringLiteral("Road %1").arg(i));
            QVERIFY(subjects.append(r).ok);
        }
        SubjectList list(*db);
        QVERIFY(list.sort(SubjectField::NAME, false).ok);
        QStringList order;
        for (int i = 0; i < list.size(); ++i) order << list.rowAt(i).NAME;
        QCOMPARE(order, (QStringList{"Ang", "Bao", "Chang", "Chen", "Lin"}));
        QCOMPARE(list.findPrefix(SubjectField::NAME, QStringLiteral("Ch")), 2);
        QCOMPARE(list.findPrefix(SubjectField::NAME, QStringLiteral("Z")), -1);
        QCOMPARE(list.findPrefix(SubjectField::NAME, QString()), 0);
        // a search field other than the sort field: the first match in the current order
        QCOMPARE(list.rowAt(list.findPrefix(SubjectField::TEL, QStringLiteral("09"))).NAME, QStringLiteral("Ang"));

        QVERIFY(list.sort(SubjectField::NAME, true).ok);
        QCOMPARE(list.rowAt(0).NAME, QStringLiteral("Lin"));
        QCOMPARE(list.rowAt(list.findPrefix(SubjectField::NAME, QStringLiteral("Ch"))).NAME, QStringLiteral("Chen"));
        QCOMPARE(list.rowAt(list.findPrefix(SubjectField::CUSTNO, QStringLiteral("n3"))).NAME, QStringLiteral("Lin"));

        SubjectTableModel model(list, {"Index", "No", "Name", "Sex", "Birth", "Age", "Tel", "Addr", "Mail", "Mobile", "Fax"});
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));
        QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("Lin"));
        QCOMPARE(model.data(model.index(4, 0)).toString(), QStringLiteral("5"));
    }

    void removeSubjectWithMeasurements()
    {
        QTemporaryDir dir;
        auto db = freshMain(dir);
        SubjectStore subjects(*db);
        MeasurementStore ms(*db);
        SubjectRow keep = subject(QStringLiteral("K1"), QStringLiteral("Keep"));
        SubjectRow gone = subject(QStringLiteral("G1"), QStringLiteral("Gone"));
        QVERIFY(subjects.append(keep).ok && subjects.append(gone).ok);
        for (const QString& no : {QStringLiteral("g1"), QStringLiteral("G1"), QStringLiteral("G1"), QStringLiteral("K1")}) {
            MeasurementRow m;
            m.CUSTNO = no;
            QVERIFY(ms.append(m).ok);
        }
        QVERIFY(subjects.removeWithMeasurements(gone.MKEY).ok);
        QCOMPARE(subjects.count(), 1);
        QCOMPARE(ms.countAll(), 1);
        QCOMPARE(ms.countForSubject(QStringLiteral("K1")), 1);
    }

    void failedDeleteChangesNothing()
    {
        QTemporaryDir dir;
        auto db = freshMain(dir);
        SubjectStore subjects(*db);
        MeasurementStore ms(*db);
        SubjectRow s = subject(QStringLiteral("S1"), QStringLiteral("S"));
        QVERIFY(subjects.append(s).ok);
        for (int i = 0; i < 3; ++i) {
            MeasurementRow m;
            m.CUSTNO = QStringLiteral("S1");
            QVERIFY(ms.append(m).ok);
        }
        // A refusal of the subject delete, after the measurements went: all must come back.
        QSqlQuery q(db->sql());
        QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON ZUCUST BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        Status st = subjects.removeWithMeasurements(s.MKEY);
        QVERIFY(!st.ok);
        QVERIFY(st.error.contains(QStringLiteral("refused")));
        QCOMPARE(ms.countForSubject(QStringLiteral("S1")), 3);
        QCOMPARE(subjects.count(), 1);
    }

    void measurementsListInDateOrder()
    {
        QTemporaryDir dir;
        auto db = freshMain(dir);
        MeasurementStore ms(*db);
        for (double d : {45000.5, 44000.25, 46000.0}) {
            MeasurementRow m;
            m.CUSTNO = QStringLiteral("X");
            m.ZUDATE = d;
            QVERIFY(ms.append(m).ok);
        }
        auto rows = ms.listForSubject(QStringLiteral("x"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].ZUDATE, 44000.25);
        QCOMPARE(rows[2].ZUDATE, 46000.0);
        QVERIFY(ms.remove(rows[1].MKEY).ok);
        QCOMPARE(ms.listForSubject(QStringLiteral("X")).size(), 2);
    }

    void twoProcessesWriteWithoutLoss()
    {
        QTemporaryDir dir;
        auto db = freshMain(dir);
        const QString path = db->path();
        const int each = 150;
        QProcess other;
        other.start(QStringLiteral(LUMO_BIN_DIR "/records_writer"), {path, QString::number(each), QStringLiteral("other")});
        QVERIFY(other.waitForStarted());
        MeasurementStore ms(*db);
        for (int i = 0; i < each; ++i) {
            MeasurementRow m;
            m.CUSTNO = QStringLiteral("mine");
            Transaction t(*db);
            QVERIFY(t.active());
            QVERIFY(ms.append(m).ok);
            QVERIFY(t.commit().ok);
        }
        QVERIFY(other.waitForFinished(120000));
        QCOMPARE(other.exitCode(), 0);
        QCOMPARE(ms.countForSubject(QStringLiteral("mine")), each);
        QCOMPARE(ms.countForSubject(QStringLiteral("other")), each);
    }

    void programsWithConditions()
    {
        QTemporaryDir dir;
        Status st;
        auto db = Database::create(dir.filePath(QStringLiteral("m.mdb")), FileKind::Master, &st);
        QVERIFY(db);
        ProgramStore store(*db);
        ProgramRow p;
        p.ProNo = QStringLiteral("P2");
        p.ProName = QStringLiteral("Second");
        p.ProMed[0] = QStringLiteral("med");
        ProgramRow q;
        q.ProNo = QStringLiteral("P1");
        q.ProName = QStringLiteral("First");
        QVERIFY(store.append(p).ok && store.append(q).ok);
        ConditionRow c;
        c.ProNo = QStringLiteral("p2");
        c.ProCond = QStringLiteral("1");
        QVERIFY(store.appendCondition(c).ok);
        auto all = store.loadAll();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0].program.ProName, QStringLiteral("First")); // ZuProB: by number
        QCOMPARE(all[1].conditions.size(), 1);
        QCOMPARE(all[1].program.ProMed[0], QStringLiteral("med"));
        QVERIFY(store.findByName(QStringLiteral("second")));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
