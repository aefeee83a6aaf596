// Typing into the date and time fields with real key events: what the
// operator types is what the field holds when it is left.
#include "base/formats.h"
#include "widgets/datefield.h"

#include <QLineEdit>
#include <QVBoxLayout>

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
        QTest::newRow("no date: refused, the last one stays")
            << 0 << true << QStringLiteral("1980/13/40") << start;
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

    // What the operator may type: with or without separators, one or two
    // digits for month and day; a day that does not exist is no date.
    void parsingTypedDates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date"); // invalid: no date
        QTest::newRow("as shown") << "1980/01/31" << QDate(1980, 1, 31);
        QTest::newRow("eight digits") << "19800131" << QDate(1980, 1, 31);
        QTest::newRow("dashes, one digit") << "1980-1-3" << QDate(1980, 1, 3);
        QTest::newRow("points") << "1980.12.03" << QDate(1980, 12, 3);
        QTest::newRow("blanks around") << " 1980/01/31 " << QDate(1980, 1, 31);
        QTest::newRow("leap day") << "2020/02/29" << QDate(2020, 2, 29);
        QTest::newRow("no leap day") << "2019/02/29" << QDate();
        QTest::newRow("month 75") << "2019/75/09" << QDate();
        QTest::newRow("month 0") << "2019/00/09" << QDate();
        QTest::newRow("seven digits") << "1980013" << QDate();
        QTest::newRow("two-digit year") << "80/01/31" << QDate();
        QTest::newRow("mixed separators") << "1980/01-31" << QDate(1980, 1, 31);
        QTest::newRow("empty") << "" << QDate();
    }
    void parsingTypedDates()
    {
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        QCOMPARE(parseShortDate(typed), date);
    }

    // Reached by the keyboard the whole date is selected, so the first digit
    // starts a new date; a text that is no date is refused, said once, and
    // stays in the field for correcting.
    void keyboardFocusRetypesTheDate_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDate>("expected");
        QTest::addColumn<bool>("refused");
        QTest::newRow("eight digits") << "19800101" << QDate(1980, 1, 1) << false;
        QTest::newRow("with separators") << "1980/1/1" << QDate(1980, 1, 1) << false;
        QTest::newRow("impossible") << "2019/75/09" << QDate(1975, 6, 15) << true;
    }
    void keyboardFocusRetypesTheDate()
    {
        QFETCH(QString, keys);
        QFETCH(QDate, expected);
        QFETCH(bool, refused);
        QWidget form;
        auto* before = new QLineEdit(&form);
        auto* field = new DateField(&form);
        auto* after = new QLineEdit(&form);
        auto* layout = new QVBoxLayout(&form);
        for (QWidget* w :
             {static_cast<QWidget*>(before), static_cast<QWidget*>(field), static_cast<QWidget*>(after)})
            layout->addWidget(w);
        field->setDate(QDate(1975, 6, 15));
        QSignalSpy refusals(field, &DateField::refused);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        before->setFocus();
        QTest::keyClick(before, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), field);
        QTest::keyClicks(field, keys);
        QTest::keyClick(field, Qt::Key_Tab);
        QCOMPARE(field->date(), expected);
        QCOMPARE(refusals.size(), refused ? 1 : 0);
        if (refused) QCOMPARE(field->text(), keys);
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
