// Typing into the date and time fields with real key events: what the
// operator types is what the field holds when it is left.
#include "widgets/datefield.h"

#include <QtTest>

using namespace lumo;

class TestDateField : public QObject
{
    Q_OBJECT
private slots:
    void typingIntoADate_data()
    {
        QTest::addColumn<int>("cursor");
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDate>("expected");
        const QDate start(1975, 6, 15);
        QTest::newRow("year overwritten in a full field") << 0 << false << QStringLiteral("1980") << QDate(1980, 6, 15);
        QTest::newRow("month from its separator") << 4 << false << QStringLiteral("03") << QDate(1975, 3, 15);
        QTest::newRow("day at the end") << 8 << false << QStringLiteral("02") << QDate(1975, 6, 2);
        QTest::newRow("digits past the end are dropped") << 10 << false << QStringLiteral("9") << start;
        QTest::newRow("the whole date retyped") << 0 << true << QStringLiteral("1980/03/15") << QDate(1980, 3, 15);
        QTest::newRow("no date: the last one stays") << 0 << true << QStringLiteral("1980/13/40") << start;
        QTest::newRow("letters are refused") << 0 << false << QStringLiteral("ab") << start;
    }
    void typingIntoADate()
    {
        QFETCH(int, cursor);
        QFETCH(bool, selectAll);
        QFETCH(QString, keys);
        QFETCH(QDate, expected);
        DateField field;
        field.setDate(QDate(1975, 6, 15));
        field.show();
        field.setFocus();
        if (selectAll)
            field.selectAll();
        else
            field.setCursorPosition(cursor);
        QTest::keyClicks(&field, keys);
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(field.date(), expected);
    }

    void typingIntoATime()
    {
        TimeField field;
        field.setTime(QTime(9, 30, 0));
        field.show();
        field.setFocus();
        field.setCursorPosition(3);
        QTest::keyClicks(&field, QStringLiteral("45"));
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(field.time(), QTime(9, 45, 0));
        // A shorter text still takes typed digits in the ordinary way.
        field.setText(QStringLiteral("09:3"));
        field.setCursorPosition(4);
        QTest::keyClicks(&field, QStringLiteral("5:10"));
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(field.time(), QTime(9, 35, 10));
    }
};

QTEST_MAIN(TestDateField)
#include "test_datefield.moc"
