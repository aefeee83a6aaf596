// The keeping rules of the backup folder, over names and dates only.
#include "backup/retention.h"

#include <QtTest>
#include <set>

using namespace lumo;

namespace {

QStringList namesFrom(QDate first, int days)
{
    QStringList names;
    for (int i = 0; i < days; ++i)
        names << backupFileName(first.addDays(i));
    return names;
}

} // namespace

class TestRetention : public QObject
{
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("date"); // invalid: not a backup
        QTest::newRow("a backup") << "lumo4-20261209.mdb" << QDate(2026, 12, 9);
        QTest::newRow("upper case, as copied from another system")
            << "LUMO4-20240229.MDB" << QDate(2024, 2, 29);
        QTest::newRow("no such day") << "lumo4-20230229.mdb" << QDate();
        QTest::newRow("month 13") << "lumo4-20261301.mdb" << QDate();
        QTest::newRow("short date") << "lumo4-2026129.mdb" << QDate();
        QTest::newRow("the partial copy") << "lumo4-20261209.mdb.partial" << QDate();
        QTest::newRow("the main database") << "lumo4.mdb" << QDate();
        QTest::newRow("an operator's file") << "notes.txt" << QDate();
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(QDate, date);
        const auto d = backupDate(name);
        QCOMPARE(d.has_value(), date.isValid());
        if (date.isValid()) {
            QCOMPARE(*d, date);
            QCOMPARE(backupFileName(date).compare(name, Qt::CaseInsensitive), 0);
        }
    }

    void tenDays()
    {
        // Tuesday 1 to Thursday 10 December 2026: ISO weeks 49 (to Sunday 6) and 50.
        const QStringList names = namesFrom(QDate(2026, 12, 1), 10);
        // Daily keeps 4..10; weekly adds the newest of week 49 (6, kept already);
        // monthly the newest of December (10). So 1, 2 and 3 go.
        QCOMPARE(backupsToPrune(names),
                 (QStringList{"lumo4-20261203.mdb", "lumo4-20261202.mdb", "lumo4-20261201.mdb"}));
    }

    void sparseCopiesKeepTheirPeriods()
    {
        // One copy a month for two years: the twelve newest months stay, older ones go.
        QStringList names;
        for (int m = 0; m < 24; ++m)
            names << backupFileName(QDate(2025, 1, 15).addMonths(m));
        const QStringList pruned = backupsToPrune(names);
        QCOMPARE(pruned.size(), 12);
        for (const QString& n : pruned)
            QVERIFY2(*backupDate(n) < QDate(2026, 1, 1), qPrintable(n));
    }

    void otherFilesStay()
    {
        QStringList names = namesFrom(QDate(2020, 1, 1), 3);
        names << "notes.txt"
              << "lumo4-20199999.mdb"
              << "lumo4.mdb";
        for (const QString& n : backupsToPrune(names))
            QVERIFY(backupDate(n).has_value());
    }

    // The clock set back: the copy just made is older than every other one of
    // its day, week and month, and stays all the same.
    void theCopyJustMadeStays()
    {
        QStringList names = namesFrom(QDate(2026, 12, 2), 19);
        names << backupFileName(QDate(2026, 12, 1));
        QVERIFY(backupsToPrune(names).contains(backupFileName(QDate(2026, 12, 1))));
        const QStringList pruned = backupsToPrune(names, backupFileName(QDate(2026, 12, 1)));
        QVERIFY(!pruned.contains(backupFileName(QDate(2026, 12, 1))));
        QCOMPARE(pruned, backupsToPrune(namesFrom(QDate(2026, 12, 2), 19)));
    }

    void aYearOfClosingEveryDay()
    {
        // The program closes once a day for 500 days and prunes each time.
        std::set<QDate> folder;
        const QDate first(2025, 3, 1);
        QDate today = first;
        for (int i = 0; i < 500; ++i, today = today.addDays(1)) {
            folder.insert(today);
            QStringList names;
            for (QDate d : folder)
                names << backupFileName(d);
            for (const QString& n : backupsToPrune(names))
                folder.erase(*backupDate(n));
        }
        const QDate last = today.addDays(-1);
        QVERIFY(folder.size() <= size_t(KeepDaily + KeepWeekly + KeepMonthly));
        for (int i = 0; i < KeepDaily; ++i)
            QVERIFY2(folder.count(last.addDays(-i)), qPrintable(last.addDays(-i).toString()));
        // A copy within each of the last four weeks and the last twelve months.
        for (int w = 0; w < KeepWeekly; ++w) {
            const QDate monday = last.addDays(-(last.dayOfWeek() - 1) - 7 * w);
            QVERIFY2(folder.lower_bound(monday) != folder.end() &&
                         *folder.lower_bound(monday) < monday.addDays(7),
                     qPrintable(monday.toString()));
        }
        for (int m = 0; m < KeepMonthly; ++m) {
            const QDate start = QDate(last.year(), last.month(), 1).addMonths(-m);
            auto it = folder.lower_bound(start);
            QVERIFY2(it != folder.end() && *it < start.addMonths(1), qPrintable(start.toString()));
        }
    }
};

QTEST_GUILESS_MAIN(TestRetention)
#include "test_retention.moc"
