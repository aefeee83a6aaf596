// The recent subjects: the list's rule (newest first, once, at most ten),
// the file that keeps it over a restart, and the key that offers it.
#include "measurement/practicefixture.h"
#include "records/subjects.h"
#include "shell/recentsubjects.h"
#include "shell/ui/recentsubjects.h"
#include "support/keys.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

class TestRecentSubjects : public QObject
{
    Q_OBJECT
private slots:
    void rule_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("noted");
        QTest::addColumn<QStringList>("after");
        const QStringList ten = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        QTest::newRow("first") << QStringList() << "A01" << QStringList{"A01"};
        QTest::newRow("moves to the front")
            << QStringList{"A01", "B02"} << "B02" << QStringList{"B02", "A01"};
        QTest::newRow("once, without regard to case")
            << QStringList{"A01", "B02"} << "b02 " << QStringList{"b02", "A01"};
        QTest::newRow("the eleventh drops the oldest") << ten << "11" << (QStringList{"11"} + ten.mid(0, 9));
        QTest::newRow("empty number changes nothing") << QStringList{"A01"} << "  " << QStringList{"A01"};
    }
    void rule()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, noted);
        QFETCH(QStringList, after);
        QCOMPARE(withRecentSubject(before, noted), after);
    }

    // Kept in the data directory; a file edited by hand is read through the same rule.
    void keptInAFile()
    {
        QTemporaryDir dir;
        QCOMPARE(readRecentSubjects(dir.path()), QStringList());
        for (const char* n : {"A01", "B02", "a01"})
            QVERIFY(noteRecentSubject(dir.path(), QLatin1String(n)).ok);
        QCOMPARE(readRecentSubjects(dir.path()), (QStringList{"a01", "B02"}));
        QFile f(dir.filePath(QStringLiteral("LumoRecent.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("X1\n\n x1 \nY2\n");
        f.close();
        QCOMPARE(readRecentSubjects(dir.path()), (QStringList{"X1", "Y2"}));
    }

    // Ctrl+R offers them with their names; a digit chooses one, which becomes
    // the current subject; a deleted subject is left out.
    void oneKeyAway()
    {
        Practice f;
        for (const char* n : {"A01", "B02", "C03"}) {
            SubjectRow r;
            r.CUSTNO = QLatin1String(n);
            r.NAME = QStringLiteral("Name ") + r.CUSTNO;
            QVERIFY(SubjectStore(*f.state.MainDatabase).append(r).ok);
            QVERIFY(noteRecentSubject(f.state.DataDirectory, r.CUSTNO).ok);
        }
        const auto b02 = SubjectStore(*f.state.MainDatabase).findByCustNo(QStringLiteral("B02"));
        QVERIFY(SubjectStore(*f.state.MainDatabase).removeWithMeasurements(b02->MKEY).ok);
        QDialog window;
        auto* typing = new QLineEdit(&window); // the key works wherever the focus is in the window
        int chosen = 0;
        offerRecentSubjects(window, f.state, [&chosen] { ++chosen; });
        QVERIFY(showActive(window));
        typing->setFocus();
        QStringList shown;
        QTimer::singleShot(0, [&shown] {
            auto* list = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(list);
            auto* lines = list->findChild<QListWidget*>();
            for (int i = 0; i < lines->count(); ++i)
                shown << lines->item(i)->text();
            QTest::keyClick(lines, Qt::Key_2);
        });
        pressKey(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(shown,
                 (QStringList{QStringLiteral("1   C03   Name C03"), QStringLiteral("2   A01   Name A01")}));
        QCOMPARE(chosen, 1);
        QCOMPARE(f.state.CurrentSubject.CUSTNO, QStringLiteral("A01"));
        QCOMPARE(readRecentSubjects(f.state.DataDirectory).value(0), QStringLiteral("A01"));
    }
};

QTEST_MAIN(TestRecentSubjects)
#include "test_recentsubjects.moc"
