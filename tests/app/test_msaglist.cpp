// The question about a list (the external commands an import brings): every
// item shown whole in a list that scrolls, and only 是 agrees: Enter, Esc and
// the close box answer 否.
#include "app/tzumsaglist.h"
#include "base/visibletext.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace lumo;

class TestMsagList : public QObject
{
    Q_OBJECT
private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("result");
        QTest::newRow("Enter") << "Enter" << false;
        QTest::newRow("Esc") << "Esc" << false;
        QTest::newRow("the close box") << "close" << false;
        QTest::newRow("Tab to 是, then space") << "Tab space" << true;
        QTest::newRow("Tab to 是, then Enter") << "Tab Enter" << true;
        QTest::newRow("Tab, Tab to 否, then Enter") << "Tab Tab Enter" << false;
        QTest::newRow("是 clicked") << "BitBtnYes" << true;
        QTest::newRow("否 clicked") << "BitBtnNo" << false;
    }
    void answers()
    {
        QFETCH(QString, action);
        QFETCH(bool, result);
        // A name padded so that a fixed box would push the command out of sight.
        const QString padded =
            visibleText(QStringLiteral("P9 ") + QString(3000, QLatin1Char(' ')) +
                        QString(40, QLatin1Char('\n')) + QStringLiteral("，按鈕 1：/bin/sh -c x"));
        const QStringList items{QStringLiteral("P1 A，按鈕 1：/usr/bin/xdg-open /tmp/a.pdf"), padded};
        TZuMsagList d(2, QString::fromUtf8("問題\r\n第二行"), items);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* list = d.findChild<QListWidget*>(QStringLiteral("ListBox1"));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), padded);
        QVERIFY(padded.endsWith(QStringLiteral("/bin/sh -c x")));
        QCOMPARE(d.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QString::fromUtf8("問題\n第二行"));
        QCOMPARE(d.windowTitle(), QString::fromUtf8("注意"));
        QVERIFY(d.findChild<QPushButton*>(QStringLiteral("BitBtnNo"))->isDefault());
        QCOMPARE(QApplication::focusWidget(), list);
        if (action == QLatin1String("Enter"))
            QTest::keyClick(list, Qt::Key_Return);
        else if (action == QLatin1String("Esc"))
            QTest::keyClick(list, Qt::Key_Escape);
        else if (action == QLatin1String("close"))
            d.close();
        else if (action.startsWith(QLatin1String("Tab"))) {
            for (const QString& key : action.split(QLatin1Char(' ')))
                QTest::keyClick(QApplication::focusWidget(), key == QLatin1String("Tab")     ? Qt::Key_Tab
                                                             : key == QLatin1String("Enter") ? Qt::Key_Return
                                                                                             : Qt::Key_Space);
        } else
            d.findChild<QPushButton*>(action)->click();
        QCOMPARE(d.result(), result);
        QVERIFY(!d.isVisible());
    }

    // A long item wraps over several lines instead of running out of the list.
    void longItemsWrap()
    {
        const QString long_ = QStringLiteral("P1 A，按鈕 1：/bin/sh -c ") + QString(400, QLatin1Char('x'));
        TZuMsagList d(2, QStringLiteral("?"), {long_});
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* list = d.findChild<QListWidget*>(QStringLiteral("ListBox1"));
        QVERIFY(list->visualItemRect(list->item(0)).height() > 3 * list->fontMetrics().height());
        QVERIFY(list->visualItemRect(list->item(0)).width() <= list->viewport()->width());
    }
};

QTEST_MAIN(TestMsagList)
#include "test_msaglist.moc"
