// The DETAIL of a change: every field that changed with its old and new
// value, and nothing for a field that stayed.
#include "practice/auditdetail.h"
#include "records/rows.h"
#include "shell/configuration.h"

#include <QtTest>

using namespace lumo;

class TestAuditDetail : public QObject
{
    Q_OBJECT
private slots:
    void subjectDeletion_data()
    {
        QTest::addColumn<int>("measurements");
        QTest::addColumn<QString>("detail");
        QTest::newRow("none") << 0 << QString::fromUtf8("姓名: 王小明; 測量資料 0 筆");
        QTest::newRow("two") << 2 << QString::fromUtf8("姓名: 王小明; 測量資料 2 筆 (序號 11、12)");
    }
    void subjectDeletion()
    {
        QFETCH(int, measurements);
        QFETCH(QString, detail);
        SubjectRow s;
        s.NAME = QString::fromUtf8("王小明");
        QVector<MeasurementRow> rows(measurements);
        for (int i = 0; i < measurements; ++i)
            rows[i].MKEY = 11 + i;
        QCOMPARE(lumo::subjectDeletion(s, rows), detail);
    }

    // A subject's fields by the names the editor shows, the sex and birth date as it shows them.
    void subjectChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("detail");
        QTest::newRow("nothing") << ""
                                 << "";
        QTest::newRow("the fax") << "TEL3" << QString::fromUtf8("傳真: 02-1 → 02-2");
        QTest::newRow("the mobile") << "TEL2" << QString::fromUtf8("行動電話: 02-1 → 02-2");
        QTest::newRow("the sex") << "SEX" << QString::fromUtf8("性別: 男 → 女");
        QTest::newRow("the birth date") << "DBIRTH" << QString::fromUtf8("生日:  → 1975/06/15");
    }
    void subjectChanges()
    {
        QFETCH(QString, change);
        QFETCH(QString, detail);
        SubjectRow before;
        before.SEX = true;
        before.TEL2 = before.TEL3 = QStringLiteral("02-1");
        SubjectRow after = before;
        if (change == QLatin1String("TEL3")) after.TEL3 = QStringLiteral("02-2");
        if (change == QLatin1String("TEL2")) after.TEL2 = QStringLiteral("02-2");
        if (change == QLatin1String("SEX")) after.SEX = false;
        if (change == QLatin1String("DBIRTH")) after.DBIRTH = 27560; // 1975-06-15
        QCOMPARE(lumo::subjectChanges(before, after), detail);
    }

    // The saved settings start from UserName1 "A", row 2 ticked (ToolFlags "01"),
    // row 2's program "/bin/x"; the change is "field=value".
    void userSettings_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("detail");
        QTest::newRow("nothing") << ""
                                 << "";
        QTest::newRow("a user text") << "UserName1=B" << QString::fromUtf8("用戶名稱1: A → B");
        QTest::newRow("a row's program")
            << "ToolProgram2=/bin/y" << QString::fromUtf8("執行功能程式 2: /bin/x → /bin/y");
        QTest::newRow("a box unticked") << "ToolFlags=00" << QString::fromUtf8("程式 2: 1 → 0");
        // The flags written in full: an unset character was already unticked.
        QTest::newRow("flags written out") << "ToolFlags=010000"
                                           << "";
    }
    void userSettings()
    {
        QFETCH(QString, change);
        QFETCH(QString, detail);
        Configuration before;
        before.UserName1 = QStringLiteral("A");
        before.ToolFlags = QStringLiteral("01");
        before.ToolProgram[1] = QStringLiteral("/bin/x");
        Configuration after = before;
        const QString value = change.section(QLatin1Char('='), 1);
        if (change.startsWith(QLatin1String("UserName1"))) after.UserName1 = value;
        if (change.startsWith(QLatin1String("ToolProgram2"))) after.ToolProgram[1] = value;
        if (change.startsWith(QLatin1String("ToolFlags"))) after.ToolFlags = value;
        QCOMPARE(userSettingsChanges(before, after), detail);
    }

    // A condition (and its program) edited on the program screen: before is
    // condition "C" of program "P1" without a picture; the change is "field=value".
    void conditionAndProgram_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("detail");
        QTest::newRow("nothing") << ""
                                 << "";
        QTest::newRow("the name") << "ProSubN=D" << QString::fromUtf8("條件名稱: C → D");
        QTest::newRow("the energy") << "ProEng=12.5" << QString::fromUtf8("能量值: 0 → 12.5");
        QTest::newRow("the description") << "ProData=new" << QString::fromUtf8("療程說明: old → new");
        QTest::newRow("a picture added") << "ProPict=abc" << QString::fromUtf8("照片:  → 3 B ba7816bf8f01");
        QTest::newRow("a new condition") << "new" << QString::fromUtf8("條件名稱:  → C");
    }
    void conditionAndProgram()
    {
        QFETCH(QString, change);
        QFETCH(QString, detail);
        ProgramRow p;
        p.ProNo = QStringLiteral("P1");
        p.ProData = QStringLiteral("old");
        ConditionRow c;
        c.ProSubN = QStringLiteral("C");
        ProgramRow p2 = p;
        ConditionRow before = c, after = c;
        const QString value = change.section(QLatin1Char('='), 1);
        if (change == QLatin1String("new")) before = ConditionRow();
        if (change.startsWith(QLatin1String("ProSubN"))) after.ProSubN = value;
        if (change.startsWith(QLatin1String("ProEng"))) after.ProEng = value.toDouble();
        if (change.startsWith(QLatin1String("ProData"))) p2.ProData = value;
        if (change.startsWith(QLatin1String("ProPict"))) p2.ProPict = value.toLatin1();
        QStringList parts{conditionChanges(before, after), programChanges(p, p2)};
        parts.removeAll(QString());
        QCOMPARE(parts.join(QStringLiteral("; ")), detail);
    }
};

QTEST_GUILESS_MAIN(TestAuditDetail)
#include "test_auditdetail.moc"
