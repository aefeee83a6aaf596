// The writes of the treatment screens: conditions with their program in one
// transaction, a program deleted with all its conditions, the group editor's
// save rules, and what a refused write leaves behind.
#include "records/programs.h"
#include "treatment/groupediting.h"
#include "treatment/programscreen.h"
#include "treatment/treatmenttables.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

struct Tables
{
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    Tables()
    {
        Status st;
        db = Database::create(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st);
    }
    TreatmentTables tables() { return TreatmentTables(*db); }
    ProgramRow program(const QString& no, const QString& name, int conditions)
    {
        ProgramRow p;
        p.ProNo = no;
        p.ProName = name;
        p.ProData = QStringLiteral("about ") + name;
        if (!tables().appendProgram(p)) qFatal("no program");
        for (int i = 0; i < conditions; ++i) {
            ConditionRow c;
            c.ProNo = no;
            c.ProSubN = QStringLiteral("%1-%2").arg(name).arg(i + 1);
            c.ProCond = QString(24, QLatin1Char('0'));
            if (!tables().confirmCondition(c, p)) qFatal("no condition");
        }
        return p;
    }
    // Both tables as text, to compare before and after.
    QString dump()
    {
        QString out;
        QSqlQuery q(db->sql());
        q.exec(QStringLiteral("SELECT MKEY, ProNo, ProName, ProData, length(ProPict), ProScal, ProFN FROM "
                              "ZUPRO ORDER BY MKEY"));
        while (q.next())
            for (int i = 0; i < 7; ++i)
                out += q.value(i).toString() + QLatin1Char('|');
        out += QLatin1Char('#');
        q.exec(QStringLiteral(
            "SELECT MKEY, ProNo, ProSubN, ProNote, ProAnd, ProCond, ProAGL, ProAGH, ProEng, ProFlg "
            "FROM ZUPRDT ORDER BY MKEY"));
        while (q.next())
            for (int i = 0; i < 10; ++i)
                out += q.value(i).toString() + QLatin1Char('|');
        return out;
    }
    int conditionsOf(const QString& no)
    {
        QSqlQuery q(db->sql());
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM ZUPRDT WHERE ProNo = ?"));
        q.addBindValue(no);
        q.exec();
        q.next();
        return q.value(0).toInt();
    }
    void exec(const QString& sql)
    {
        QSqlQuery q(db->sql());
        if (!q.exec(sql)) qFatal("%s", qPrintable(sqlError(q)));
    }
};

GroupFields group(const QString& no, const QString& name)
{
    GroupFields f;
    f.ProNo = no;
    f.ProName = name;
    return f;
}

} // namespace

class TestTreatmentTables : public QObject
{
    Q_OBJECT
private slots:
    void programsByNumberWithTheirConditions()
    {
        Tables t;
        t.program(QStringLiteral("B2"), QStringLiteral("second"), 2);
        t.program(QStringLiteral("A1"), QStringLiteral("first"), 1);
        t.program(QStringLiteral("b1"), QStringLiteral("case"), 0);
        const QVector<ProgramSummary> p = t.tables().programs();
        QCOMPARE(p.size(), 3);
        QCOMPARE(p[0].ProNo, QStringLiteral("A1"));
        QCOMPARE(p[1].ProNo, QStringLiteral("b1")); // numbers sort without regard to case
        QCOMPARE(p[2].ProNo, QStringLiteral("B2"));
        // The detail follows the number without regard to case, as the matching does.
        QCOMPARE(t.tables().conditions(QStringLiteral("b2")).size(), 2);
        QCOMPARE(t.tables().conditions(QStringLiteral("B2"))[1].ProSubN, QStringLiteral("second-2"));
        QVERIFY(t.tables().conditions(QStringLiteral("b1")).isEmpty());
    }

    // 刪除療程 with three conditions: none of them remains; another program keeps its own.
    void deleteProgramTakesItsConditions()
    {
        Tables t;
        const ProgramRow p = t.program(QStringLiteral("P1"), QStringLiteral("three"), 3);
        t.program(QStringLiteral("P2"), QStringLiteral("other"), 2);
        QCOMPARE(t.conditionsOf(QStringLiteral("P1")), 3);
        QVERIFY(t.tables().deleteProgram(p).ok);
        QCOMPARE(t.conditionsOf(QStringLiteral("P1")), 0);
        QCOMPARE(t.conditionsOf(QStringLiteral("P2")), 2);
        QCOMPARE(t.tables().programs().size(), 1);
        QVERIFY(!t.tables().program(p.MKEY));
    }

    // A delete whose second step fails leaves the conditions where they were.
    void failedDeleteKeepsEverything()
    {
        Tables t;
        const ProgramRow p = t.program(QStringLiteral("P1"), QStringLiteral("three"), 3);
        const QString before = t.dump();
        t.exec(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE DELETE ON ZUPRO BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
        const Status s = t.tables().deleteProgram(p);
        QVERIFY(!s.ok);
        QVERIFY(s.error.contains(QStringLiteral("disk I/O error")));
        QCOMPARE(t.dump(), before);
    }

    // 確認異動 writes the condition and the program's description, picture and scale together.
    void confirmWritesConditionAndProgram()
    {
        Tables t;
        ProgramRow p = t.program(QStringLiteral("P1"), QStringLiteral("one"), 0);
        ConditionRow c;
        c.ProNo = p.ProNo;
        c.ProSubN = QStringLiteral("new");
        c.ProCond = QStringLiteral("100000000000000000000000");
        c.ProAnd = QStringLiteral("010000000000000000000000");
        c.ProEng = 12.5;
        c.ProFlg = true;
        p.ProData = QStringLiteral("changed");
        p.ProPict = QByteArray("picture bytes");
        p.ProScal = true;
        QVERIFY(t.tables().confirmCondition(c, p).ok);
        QVERIFY(c.MKEY > 0);
        const auto stored = t.tables().program(p.MKEY);
        QCOMPARE(stored->ProData, QStringLiteral("changed"));
        QCOMPARE(stored->ProPict, QByteArray("picture bytes"));
        QVERIFY(stored->ProScal);
        const auto conds = t.tables().conditions(QStringLiteral("P1"));
        QCOMPARE(conds.size(), 1);
        QCOMPARE(conds[0].ProCond, c.ProCond);
        QCOMPARE(conds[0].ProAnd, c.ProAnd);
        QCOMPARE(conds[0].ProEng, 12.5);
        QVERIFY(conds[0].ProFlg);

        // Modifying changes that row and adds none.
        c.ProSubN = QStringLiteral("renamed");
        c.ProCond = QStringLiteral("200000000000000000000000");
        QVERIFY(t.tables().confirmCondition(c, p).ok);
        const auto again = t.tables().conditions(QStringLiteral("P1"));
        QCOMPARE(again.size(), 1);
        QCOMPARE(again[0].ProSubN, QStringLiteral("renamed"));
        QCOMPARE(again[0].MKEY, c.MKEY);
    }

    // Failures injected at each step of 確認異動: the program's write refused,
    // the commit refused, the program gone meanwhile. Each leaves both tables
    // as they were, and a new condition gets no key.
    void failedConfirmLeavesBothTables_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("append");
        for (const char* f : {"program write", "commit", "program gone"}) {
            QTest::addRow("%s, new condition", f) << QString::fromLatin1(f) << true;
            QTest::addRow("%s, changed condition", f) << QString::fromLatin1(f) << false;
        }
    }
    void failedConfirmLeavesBothTables()
    {
        QFETCH(QString, failure);
        QFETCH(bool, append);
        Tables t;
        ProgramRow p = t.program(QStringLiteral("P1"), QStringLiteral("one"), 2);
        t.program(QStringLiteral("P2"), QStringLiteral("two"), 1);
        ConditionRow c = append ? ConditionRow() : t.tables().conditions(QStringLiteral("P1"))[0];
        c.ProNo = p.ProNo;
        c.ProSubN = QStringLiteral("edited");
        c.ProCond = QStringLiteral("300000000000000000000000");
        p.ProData = QStringLiteral("edited description");
        if (failure == QLatin1String("program write")) {
            t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON ZUPRO BEGIN SELECT RAISE(ABORT, "
                                  "'database or disk is full'); END"));
        } else if (failure == QLatin1String("commit")) {
            // A deferred foreign key is checked at COMMIT: the commit itself fails.
            t.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
            t.exec(QStringLiteral(
                "CREATE TABLE guard (k INTEGER REFERENCES ZUPRO(MKEY) DEFERRABLE INITIALLY DEFERRED)"));
            t.exec(QStringLiteral(
                "CREATE TRIGGER dangle AFTER UPDATE ON ZUPRO BEGIN INSERT INTO guard VALUES (-1); END"));
        } else {
            p.MKEY = 9999; // another workstation deleted it
        }
        const QString before = t.dump();
        const qint64 keyBefore = c.MKEY;
        const Status s = t.tables().confirmCondition(c, p);
        QVERIFY(!s.ok);
        const QString cause = failure == QLatin1String("program write") ? QStringLiteral("disk is full")
                              : failure == QLatin1String("commit")      ? QStringLiteral("FOREIGN KEY")
                                                                        : rowConflictMessage();
        QVERIFY2(s.error.contains(cause), qPrintable(s.error));
        QCOMPARE(t.dump(), before);
        QCOMPARE(c.MKEY, keyBefore);
        // With the cause gone, the same write goes through.
        t.exec(QStringLiteral("DROP TRIGGER IF EXISTS refuse"));
        t.exec(QStringLiteral("DROP TRIGGER IF EXISTS dangle"));
        if (failure == QLatin1String("program gone")) p.MKEY = t.tables().programs()[0].MKEY;
        QVERIFY(t.tables().confirmCondition(c, p).ok);
        QCOMPARE(t.conditionsOf(QStringLiteral("P1")), append ? 3 : 2);
    }

    // The group editor in add mode: the number is trimmed, and a number in
    // use, in whatever letter case, is refused with the other group's name.
    void addGroupRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored");
        const QString dup = duplicateGroupMessage(QStringLiteral("Existing"));
        QTest::newRow("new number") << "B7"
                                    << "n" << int(GroupSaveResult::Saved) << ""
                                    << "B7";
        QTest::newRow("trimmed") << "  B7 "
                                 << "n" << int(GroupSaveResult::Saved) << ""
                                 << "B7";
        QTest::newRow("same number") << "AB01"
                                     << "n" << int(GroupSaveResult::Duplicate) << dup << "";
        QTest::newRow("other case") << "ab01"
                                    << "n" << int(GroupSaveResult::Duplicate) << dup << "";
        QTest::newRow("other case, blanks") << " aB01  "
                                            << "n" << int(GroupSaveResult::Duplicate) << dup << "";
        QTest::newRow("12 characters") << "123456789012"
                                       << "n" << int(GroupSaveResult::Saved) << ""
                                       << "123456789012";
        QTest::newRow("13 characters")
            << "1234567890123"
            << "n" << int(GroupSaveResult::Refused) << groupNumberTooLongMessage() << "";
        QTest::newRow("13 with blanks around 12") << " 123456789012 "
                                                  << "n" << int(GroupSaveResult::Saved) << ""
                                                  << "123456789012";
        QTest::newRow("name of 24") << "N1" << QString(24, QChar(0x7642)) << int(GroupSaveResult::Saved) << ""
                                    << "N1";
        QTest::newRow("name of 25") << "N1" << QString(25, QChar(0x7642)) << int(GroupSaveResult::Refused)
                                    << groupNameTooLongMessage() << "";
    }
    void addGroupRules()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        Tables t;
        t.program(QStringLiteral("AB01"), QStringLiteral("  Existing "), 1);
        const QString before = t.dump();
        TreatmentTables tables = t.tables();
        const GroupSaveResult r = addGroup(tables, group(typed, name));
        QCOMPARE(int(r.outcome), outcome);
        QCOMPARE(r.message, message);
        if (outcome != GroupSaveResult::Saved) {
            QCOMPARE(t.dump(), before); // nothing written
            return;
        }
        QCOMPARE(r.number, stored);
        const auto found = t.tables().findNumber(stored);
        QVERIFY(found);
        QCOMPARE(found->ProNo, stored);
        QCOMPARE(found->ProName, name);
    }

    void duplicateMessageText()
    {
        QCOMPARE(duplicateGroupMessage(QStringLiteral("  Liver care ")),
                 QString::fromUtf8(
                     "您所輸入的群組編號已經與另一群組 [ Liver care ] 重覆!!請重新指定另一個編號。"));
    }

    void programButtonFlags_data()
    {
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<QString>("ProFN");
        QTest::newRow("none") << ""
                              << "0000";
        QTest::newRow("1 and 3") << "13"
                                 << "1010";
        QTest::newRow("all") << "1234"
                             << "1111";
        QTest::newRow("4") << "4"
                           << "0001";
    }
    void programButtonFlags()
    {
        QFETCH(QString, ticked);
        QFETCH(QString, ProFN);
        Tables t;
        GroupFields f = group(QStringLiteral("F1"), QStringLiteral("flags"));
        for (int n = 1; n <= 4; ++n)
            f.buttons[size_t(n - 1)] = ticked.contains(QString::number(n));
        TreatmentTables tables = t.tables();
        QCOMPARE(int(addGroup(tables, f).outcome), int(GroupSaveResult::Saved));
        const auto stored = t.tables().program(t.tables().findNumber(QStringLiteral("F1"))->MKEY);
        QCOMPARE(stored->ProFN, ProFN);
        // Read back into the editor, the same boxes are ticked.
        QCOMPARE(GroupFields::of(*stored).buttons, f.buttons);
    }

    // A button flag is on only for "1"; other characters and a short string are off.
    void flagCharacters()
    {
        QVERIFY(flagIsOn(QStringLiteral("1"), 1));
        QVERIFY(!flagIsOn(QStringLiteral("1"), 2));
        QVERIFY(!flagIsOn(QStringLiteral("2x1"), 1));
        QVERIFY(flagIsOn(QStringLiteral("2x1"), 3));
        QVERIFY(!flagIsOn(QString(), 1));
    }

    // Edit mode writes every field but the number; the conditions stay with it.
    void changeGroupKeepsNumberAndConditions()
    {
        Tables t;
        ProgramRow p = t.program(QStringLiteral("K1"), QStringLiteral("keep"), 3);
        p.ProPict = QByteArray("old picture");
        QVERIFY(t.tables().updateProgram(p).ok);
        GroupFields f = GroupFields::of(*t.tables().program(p.MKEY));
        f.ProNo = QStringLiteral("CHANGED"); // the field is disabled; even so it is not written
        f.ProName = QStringLiteral("renamed");
        f.ProPict.clear(); // "X": an empty picture
        f.buttons = {false, true, false, false};
        f.ProPrg[1] = QStringLiteral("/usr/bin/xdg-open");
        f.ProParm[1] = QStringLiteral("  /home/op/a.pdf ");
        TreatmentTables tables = t.tables();
        const GroupSaveResult r = changeGroup(tables, p, f);
        QCOMPARE(int(r.outcome), int(GroupSaveResult::Saved));
        const auto stored = t.tables().program(p.MKEY);
        QCOMPARE(stored->ProNo, QStringLiteral("K1"));
        QCOMPARE(stored->ProName, QStringLiteral("renamed"));
        QVERIFY(stored->ProPict.isEmpty());
        QCOMPARE(stored->ProFN, QStringLiteral("0100"));
        QCOMPARE(stored->ProParm[1], QStringLiteral("  /home/op/a.pdf ")); // as typed; trimmed when launched
        QCOMPARE(t.conditionsOf(QStringLiteral("K1")), 3);
        // A name too long is refused before anything is written.
        const QString before = t.dump();
        f.ProName = QString(25, QLatin1Char('n'));
        QCOMPARE(int(changeGroup(tables, p, f).outcome), int(GroupSaveResult::Refused));
        QCOMPARE(t.dump(), before);
    }

    void numberGiven_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("given");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks") << "   " << false;
        QTest::newRow("one") << " a " << true;
    }
    void numberGiven()
    {
        QFETCH(QString, typed);
        QFETCH(bool, given);
        QCOMPARE(groupNumberGiven(typed), given);
    }

    // The enabling of the treatment program screen, by mode, grid and counts.
    void screenEnabling_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("grid");
        QTest::addColumn<int>("programs");
        QTest::addColumn<int>("conditions");
        // grids, 新增療程 修改療程 刪除療程 新增條件 修改條件 刪除條件 確認異動 放棄 離開 editing
        QTest::addColumn<QString>("enabled");
        using M = ProgramScreenMode;
        using G = ProgramGrid;
        QTest::newRow("query, programs, none")
            << int(M::Query) << int(G::Programs) << 0 << 0 << "1 100 000 00 1 0";
        QTest::newRow("query, programs, some")
            << int(M::Query) << int(G::Programs) << 3 << 0 << "1 111 000 00 1 0";
        QTest::newRow("query, conditions, none")
            << int(M::Query) << int(G::Conditions) << 3 << 0 << "1 000 100 00 1 0";
        QTest::newRow("query, conditions, some")
            << int(M::Query) << int(G::Conditions) << 3 << 2 << "1 000 111 00 1 0";
        QTest::newRow("query, conditions, no program")
            << int(M::Query) << int(G::Conditions) << 0 << 0 << "1 000 000 00 1 0";
        QTest::newRow("add condition")
            << int(M::AddCondition) << int(G::Conditions) << 3 << 2 << "0 000 000 11 0 1";
        QTest::newRow("modify condition")
            << int(M::ModifyCondition) << int(G::Conditions) << 3 << 2 << "0 000 000 11 0 1";
    }
    void screenEnabling()
    {
        QFETCH(int, mode);
        QFETCH(int, grid);
        QFETCH(int, programs);
        QFETCH(int, conditions);
        QFETCH(QString, enabled);
        const ProgramScreenEnabling e =
            programScreenEnabling(ProgramScreenMode(mode), ProgramGrid(grid), programs, conditions);
        const bool flags[] = {e.grids,        e.addProgram,      e.modifyProgram,   e.deleteProgram,
                              e.addCondition, e.modifyCondition, e.deleteCondition, e.confirm,
                              e.cancel,       e.leave,           e.editing};
        QString got;
        for (bool f : flags)
            got += f ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(got, QString(enabled).remove(QLatin1Char(' ')));
    }

    void statusTexts()
    {
        QCOMPARE(programModeStatus(ProgramScreenMode::Query), QString::fromUtf8("【查詢療程模式】"));
        QCOMPARE(programModeStatus(ProgramScreenMode::AddCondition), QString::fromUtf8("【新增條件模式】"));
        QCOMPARE(programModeStatus(ProgramScreenMode::ModifyCondition),
                 QString::fromUtf8("【修改療程模式】"));
        QCOMPARE(programModeStatus(ProgramScreenMode::DeleteProgram), QString::fromUtf8("【刪除療程模式】"));
        QCOMPARE(programModeStatus(ProgramScreenMode::DeleteCondition),
                 QString::fromUtf8("【刪除條件模式】"));
        QCOMPARE(programCountLine(12, 3), QString::fromUtf8("療程總計:    12  -  [ 3 ]"));
        QCOMPARE(programCountLine(0, 0), QString::fromUtf8("療程總計:     0  -  [ 0 ]"));
        QCOMPARE(deleteProgramQuestion(QStringLiteral(" Liver ")),
                 QString::fromUtf8("您確定要刪除【Liver】這筆療程群組嗎 ?"));
        QCOMPARE(deleteConditionQuestion(QStringLiteral("c1  ")),
                 QString::fromUtf8("您確定要刪除【c1】這筆條件嗎 ?"));
    }
};

QTEST_GUILESS_MAIN(TestTreatmentTables)
#include "test_treatment_tables.moc"
