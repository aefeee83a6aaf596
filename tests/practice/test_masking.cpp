// 候診區顯示: the masking rules over CJK, Latin, empty and one-character
// values, and the workstation's choice kept over a restart.
#include "base/formats.h"
#include "practice/masking.h"
#include "practice/waitingroom.h"
#include "records/rows.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

class TestMasking : public QObject
{
    Q_OBJECT
private slots:
    void rule_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const char* kind, const char* value, const char* shown) {
            QTest::newRow(name) << QString::fromUtf8(kind) << QString::fromUtf8(value)
                                << QString::fromUtf8(shown);
        };
        row("name three", "name", "王小明", "王○明");
        row("name two", "name", "王明", "王○");
        row("name four: one mark", "name", "歐陽小明", "歐○明");
        row("name one", "name", "王", "○");
        row("name empty", "name", "", "");
        row("name blanks", "name", "  王小明 ", "王○明");
        row("name latin", "name", "John Smith", "J○h");
        row("name outside the basic plane", "name", "𠀋小𠀋", "𠀋○𠀋");
        row("mobile", "number", "0912-345-678", "09○○-○○○-○78");
        row("telephone with area", "number", "(02) 2345-6789", "(02) ○○○○-○○89");
        row("long number keeps three", "number", "A123456789012345", "A12○○○○○○○○○○345");
        row("short number", "number", "A001", "A○○1");
        row("three characters all masked", "number", "123", "○○○");
        row("one character", "number", "7", "○");
        row("number empty", "number", "", "");
        row("full-width digits", "number", "０９１２３４５６７８", "０９○○○○○○７８");
        row("address", "address", "台北市中正區重慶南路一段", "台北市○");
        row("address short", "address", "台北", "○");
        row("address empty", "address", "", "");
        row("e-mail", "email", "someone@example.com", "s○@example.com");
        row("e-mail without at", "email", "someone", "s○e");
        row("e-mail empty", "email", "", "");
    }
    void rule()
    {
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        const QString got = kind == "name"      ? maskedName(value)
                            : kind == "number"  ? maskedNumber(value)
                            : kind == "address" ? maskedAddress(value)
                                                : maskedEmail(value);
        QCOMPARE(got, shown);
    }

    // The subject as lists show it: every personal field masked under the
    // mask, the birth date as its year; unmasked the values as stored.
    void subject_data()
    {
        QTest::addColumn<bool>("masked");
        QTest::addColumn<double>("birth");
        QTest::addColumn<QStringList>("shown");
        const double born = dayNumber(QDate(1975, 8, 9));
        QTest::newRow("masked") << true << born
                                << QStringList{"A0○○○○○89", "王○明",          "1975",    "09○○○○○○78",
                                               "",          "(04) ○○○○-○○33", "台中市○", "w○@mail.tw"};
        QTest::newRow("masked, no birth date")
            << true << 0.0 << QStringList{"A0○○○○○89", "王○明",          "",        "09○○○○○○78",
                                          "",          "(04) ○○○○-○○33", "台中市○", "w○@mail.tw"};
        QTest::newRow("plain") << false << born << QStringList{"A01234589",
                                                               "王小明",
                                                               shortDate(QDate(1975, 8, 9)),
                                                               "0912345678",
                                                               "",
                                                               "(04) 2222-3333",
                                                               "台中市西區",
                                                               "wang@mail.tw"};
    }
    void subject()
    {
        QFETCH(bool, masked);
        QFETCH(double, birth);
        QFETCH(QStringList, shown);
        SubjectRow r;
        r.CUSTNO = "A01234589";
        r.NAME = QString::fromUtf8("王小明");
        r.DBIRTH = birth;
        r.TEL = "0912345678";
        r.TEL3 = "(04) 2222-3333";
        r.ADDR = QString::fromUtf8("台中市西區");
        r.EMAIL = "wang@mail.tw";
        const ShownSubject s = shownSubject(r, masked);
        QCOMPARE((QStringList{s.CUSTNO, s.NAME, s.DBIRTH, s.TEL, s.TEL2, s.TEL3, s.ADDR, s.EMAIL}), shown);
        QCOMPARE(r.NAME, QString::fromUtf8("王小明")); // the row itself never changes
    }

    // Workstations sharing a data directory keep their own choice, which
    // outlasts a restart; a hand-edited file with blanks and duplicates is read sanely.
    void workstationChoice_data()
    {
        QTest::addColumn<QString>("fileBefore");
        QTest::addColumn<QString>("workstation");
        QTest::addColumn<bool>("onAtLoad");
        QTest::addColumn<bool>("set");
        QTest::addColumn<QString>("fileAfter");
        QTest::newRow("no file, turned on") << QString() << "desk1" << false << true << "desk1";
        QTest::newRow("another's choice kept") << "desk2"
                                               << "desk1" << false << true << "desk2\ndesk1";
        QTest::newRow("on, case ignored, turned off") << "DESK1\ndesk2"
                                                      << "desk1" << true << false << "desk2";
        QTest::newRow("blanks and duplicates dropped") << "\n desk2 \ndesk2\n\ndesk1\n"
                                                       << "desk1" << true << true << "desk2\ndesk1";
        QTest::newRow("empty name never on") << "\n\n"
                                             << "" << false << true << "";
    }
    void workstationChoice()
    {
        QFETCH(QString, fileBefore);
        QFETCH(QString, workstation);
        QFETCH(bool, onAtLoad);
        QFETCH(bool, set);
        QFETCH(QString, fileAfter);
        QTemporaryDir dir;
        const QString path = dir.filePath(WaitingRoomFileName);
        if (!fileBefore.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(fileBefore.toUtf8());
        }
        WaitingRoomDisplay display;
        QSignalSpy changed(&display, &WaitingRoomDisplay::changed);
        display.load(dir.path(), workstation);
        QCOMPARE(display.on(), onAtLoad);
        QVERIFY(display.setOn(set));
        QCOMPARE(changed.count(), int(onAtLoad) + int(set != onAtLoad));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), fileAfter);
        WaitingRoomDisplay restarted;
        restarted.load(dir.path(), workstation);
        QCOMPARE(restarted.on(), set && !workstation.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMasking)
#include "test_masking.moc"
