// Deleting a measurement, or a subject with its measurements, takes how each
// measurement was taken (its grades and conditions) with it, and nothing of
// another subject's.
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "records/subjects.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

int rows(Database& db, const char* table)
{
    QSqlQuery q(db.sql());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) && q.next()
               ? q.value(0).toInt()
               : -1;
}

} // namespace

class TestDeletion : public QObject
{
    Q_OBJECT
private slots:
    void sideRowsGoWithTheirMeasurements_data()
    {
        QTest::addColumn<bool>("wholeSubject");
        QTest::addColumn<int>("leftOfA01"); // measurements with side rows left of A01
        QTest::newRow("one measurement") << false << 1;
        QTest::newRow("a subject with its measurements") << true << 0;
    }
    void sideRowsGoWithTheirMeasurements()
    {
        QFETCH(bool, wholeSubject);
        QFETCH(int, leftOfA01);
        QTemporaryDir dir;
        Status st;
        auto db = Database::create(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st);
        QVERIFY2(db, qPrintable(st.error));
        EnergySet e;
        for (int p = 1; p <= 24; ++p)
            e.setReading(p, 30 + p);
        e.Quality.grades[2] = {QualityGrade::C, QualityTest::Step, 14, {}, float(33.0)};
        e.Conditions.exercise = 2;
        QVector<qint64> keys;
        qint64 subjectA = 0;
        for (const char* no : {"A01", "A01", "B02"}) {
            SubjectRow s;
            s.CUSTNO = QLatin1String(no);
            if (!SubjectStore(*db).findByCustNo(s.CUSTNO)) {
                QVERIFY(SubjectStore(*db).append(s).ok);
                if (s.CUSTNO == QLatin1String("A01")) subjectA = s.MKEY;
            }
            MeasurementRow m;
            m.CUSTNO = s.CUSTNO;
            m.ZUDATE = 46000;
            m.ZU = e.Readings;
            QVERIFY(appendMeasurementWithExtras(*db, m, e).ok);
            keys << m.MKEY;
        }
        QCOMPARE(rows(*db, "ZUQUAL"), 3);
        QCOMPARE(rows(*db, "ZUCOND"), 3);
        QVERIFY(wholeSubject ? SubjectStore(*db).removeWithMeasurements(subjectA).ok
                             : MeasurementStore(*db).remove(keys[0]).ok);
        for (const char* table : {"ZUQUAL", "ZUCOND"})
            QCOMPARE(rows(*db, table), leftOfA01 + 1);
        QCOMPARE(readMeasurementExtras(*db, keys[0]).hasQuality, false);
        QCOMPARE(readMeasurementExtras(*db, keys[1]).hasQuality, leftOfA01 == 1);
        QVERIFY(readMeasurementExtras(*db, keys[2]).hasQuality); // B02 untouched
    }
};

QTEST_GUILESS_MAIN(TestDeletion)
#include "test_deletion.moc"
