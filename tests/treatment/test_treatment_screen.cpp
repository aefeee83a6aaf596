// The treatment program screen driven with real clicks and keys: the modes
// and what they enable, a condition built in the panels and stored, the
// questions of the deletions, and what a refused write or the close box
// leaves behind.
#include "support/keys.h"
#include "treatment/conditionpanels.h"
#include "treatment/programtoolbar.h"
#include "treatment/treatmentfixture.h"
#include "treatment/ui/conditionpanelsview.h"
#include "treatment/ui/tzuprof.h"
#include "widgets/unsavedchanges.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>

using namespace lumo;
using namespace lumo::test;

namespace {

bool tinted(QAbstractItemView* v)
{
    auto* t = qobject_cast<QTableView*>(v);
    return t && t->horizontalHeader()->styleSheet().contains(QStringLiteral("255,176,128"));
}

// A question answered while the screen's status line is read.
class WatchingMessages : public ScriptedMessages
{
public:
    QLabel* status = nullptr;
    QStringList statusWhenAsked;
    bool show(int kind, const QString& text) override
    {
        if (status) statusWhenAsked << status->text();
        return ScriptedMessages::show(kind, text);
    }
};

} // namespace

class TestTreatmentScreen : public QObject
{
    Q_OBJECT
private slots:
    void openingWithoutPrograms()
    {
        TreatmentPractice f;
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        QCOMPARE(s.windowTitle(), u("自訂專家療程"));
        QCOMPARE(s.statusLine()->text(), u("【查詢療程模式】"));
        QCOMPARE(s.countLine()->text(), u("療程總計:     0  -  [ 0 ]"));
        QCOMPARE(enabledButtons(s), QStringLiteral("100000001"));
        QVERIFY(tinted(s.programGrid()));
        // The condition grid entered: nothing to add a condition to.
        s.conditionGrid()->setFocus();
        QCOMPARE(s.activeGrid(), ProgramGrid::Conditions);
        QCOMPARE(enabledButtons(s), QStringLiteral("000000001"));
        QVERIFY(tinted(s.conditionGrid()));
        QVERIFY(!tinted(s.programGrid()));
    }

    // The programs by number; the first and its first condition shown; the
    // buttons follow the grid entered last.
    void openingAndEnteringGrids()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("B"), u("肝膽調理"), {u("肝虛"), u("膽實")}, QStringLiteral("1010"));
        f.addProgram(QStringLiteral("A"), u("安神"), {});
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        QCOMPARE(s.programGrid()->model()->index(0, 1).data().toString(), QStringLiteral("A"));
        QCOMPARE(s.programGrid()->model()->index(1, 0).data().toInt(), 2); // CoNo
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("A"));
        QCOMPARE(enabledButtons(s), QStringLiteral("111000001"));
        QCOMPARE(s.countLine()->text(), u("療程總計:     2  -  [ 0 ]"));
        // No conditions: 新增條件 only, once the condition grid is entered.
        clickCell(s.conditionGrid(), 0, 0); // an empty grid: the click enters it all the same
        s.conditionGrid()->setFocus();
        QCOMPARE(enabledButtons(s), QStringLiteral("000100001"));
        // Back to the program grid, down one row with the keyboard.
        clickCell(s.programGrid(), 0, 1);
        QCOMPARE(s.activeGrid(), ProgramGrid::Programs);
        pressKey(Qt::Key_Down);
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("B"));
        QCOMPARE(s.countLine()->text(), u("療程總計:     2  -  [ 2 ]"));
        QCOMPARE(s.conditionGrid()->rowCount(), 2);
        QCOMPARE(s.conditionNameField()->text(), u("肝虛"));
        QVERIFY(s.panels()->optionBox(1, 0)->isChecked());  // code 1 at position 1: 虛弱
        QVERIFY(!s.panels()->optionBox(1, 0)->isEnabled()); // query mode: shown, not editable
        QCOMPARE(s.descriptionBox()->toPlainText(), u("about 肝膽調理"));
        QVERIFY(s.programButton(1)->isEnabled());
        QVERIFY(!s.programButton(2)->isEnabled());
        QVERIFY(s.programButton(3)->isEnabled());
        QVERIFY(!s.programButton(4)->isEnabled());
        clickCell(s.conditionGrid(), 1, 2);
        QCOMPARE(s.conditionNameField()->text(), u("膽實"));
        QCOMPARE(enabledButtons(s), QStringLiteral("000111001"));
    }

    // 新增條件, the panels filled by clicks and keys, 確認異動: the stored
    // strings are those of the boxes ticked.
    void addConditionThroughThePanels()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("P1"), u("補氣"), {});
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        clickCell(s.conditionGrid(), 0, 0);
        s.conditionGrid()->setFocus();
        act(s, "新增條件")->trigger();
        QCOMPARE(s.mode(), ProgramScreenMode::AddCondition);
        QCOMPARE(s.statusLine()->text(), u("【新增條件模式】"));
        QCOMPARE(enabledButtons(s), QStringLiteral("000000110"));
        QVERIFY(!s.programGrid()->isEnabled());
        QVERIFY(!s.conditionGrid()->isEnabled());
        QCOMPARE(s.conditionGrid()->rowCount(), 1); // the new row, not yet stored
        QCOMPARE(QApplication::focusWidget(), s.conditionNameField());
        typeKeys(QStringLiteral("lung"));

        ConditionPanelsView* p = s.panels();
        clickBox(p->categoryBox(6));   // 肺經 required
        clickBox(p->optionBox(6, 0));  // 肺經 虛證
        clickBox(p->optionBox(12, 1)); // 脾經 實證
        clickBox(p->optionBox(3, 0));  // 肌骨系統 異常
        clickBox(p->rangeBox());
        QVERIFY(!p->optionBox(1, 0)->isEnabled());
        QVERIFY(p->comparisonBox()->isEnabled());
        QCOMPARE(p->comparisonBox()->currentText(), u("等於 ="));
        p->comparisonBox()->setFocus();
        pressKey(Qt::Key_Down); // "大於 >"
        p->energyField()->setFocus();
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeKeys(QStringLiteral("52"));
        clickBox(p->upperAgeBox());
        p->upperAgeField()->setFocus();
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeKeys(QStringLiteral("40"));
        clickBox(p->lowerAgeBox());
        p->lowerAgeField()->setFocus();
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeKeys(QStringLiteral("60"));
        QCOMPARE(p->upperAgeField()->value(), 60); // raised with the lower limit
        clickBox(p->sexBox());
        clickBox(p->femaleButton());
        clickBox(s.requiredBox());
        act(s, "確認異動")->trigger();

        QCOMPARE(s.mode(), ProgramScreenMode::Query);
        QCOMPARE(s.statusLine()->text(), u("【查詢療程模式】"));
        const QVector<ConditionRow> stored = f.tables().conditions(QStringLiteral("P1"));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].ProSubN, QStringLiteral("lung"));
        QCOMPARE(stored[0].ProCond, QStringLiteral("501001000002000000000032"));
        QCOMPARE(stored[0].ProAnd, QStringLiteral("000001000000000000000000"));
        QCOMPARE(stored[0].ProEng, 52.0);
        QCOMPARE(stored[0].ProAGL, 60);
        QCOMPARE(stored[0].ProAGH, 60);
        QVERIFY(stored[0].ProFlg);
        QCOMPARE(s.conditionGrid()->item(0, 1)->text(), QStringLiteral("X"));
        QCOMPARE(s.conditionGrid()->item(0, 1)->textAlignment() & Qt::AlignHCenter, int(Qt::AlignHCenter));
        QCOMPARE(enabledButtons(s), QStringLiteral("000111001"));
        QCOMPARE(s.countLine()->text(), u("療程總計:     1  -  [ 1 ]"));
        // What is shown again is what was stored.
        QVERIFY(s.panels()->state() == ConditionPanels::read(stored[0]));
    }

    // 修改條件 then 放  棄: nothing stored changes and the stored state shows again.
    void modifyThenCancel()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("P1"), u("補氣"), {u("一"), u("二")});
        const QString before = f.dump();
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        clickCell(s.conditionGrid(), 1, 2);
        act(s, "修改條件")->trigger();
        QCOMPARE(s.statusLine()->text(), u("【修改療程模式】"));
        s.conditionNameField()->setFocus();
        typeKeys(QStringLiteral("zz"));
        clickBox(s.panels()->categoryBox(22));
        s.descriptionBox()->setFocus();
        typeKeys(QStringLiteral("more"));
        act(s, "放  棄")->trigger();
        QCOMPARE(s.mode(), ProgramScreenMode::Query);
        QCOMPARE(f.dump(), before);
        QCOMPARE(s.currentConditionRow(), 1);
        QCOMPARE(s.conditionNameField()->text(), u("二"));
        QVERIFY(!s.panels()->categoryBox(22)->isChecked());
        QCOMPARE(s.descriptionBox()->toPlainText(), u("about 補氣"));
    }

    // A refused write: the general error report, both tables unchanged, the
    // edit still on screen; 放  棄 then returns to what is stored.
    void failedConfirmKeepsTheEdit()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("P1"), u("補氣"), {u("一")});
        f.exec(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE UPDATE ON ZUPRO BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        const QString before = f.dump();
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        clickCell(s.conditionGrid(), 0, 2);
        act(s, "新增條件")->trigger();
        clickBox(s.panels()->optionBox(10, 1));
        act(s, "確認異動")->trigger();
        QCOMPARE(f.messages.errors().size(), 1);
        QVERIFY(f.messages.errors().first().contains(QStringLiteral("disk full")));
        QCOMPARE(f.dump(), before);
        QCOMPARE(s.mode(), ProgramScreenMode::AddCondition);
        QVERIFY(s.panels()->optionBox(10, 1)->isChecked());
        act(s, "放  棄")->trigger();
        QCOMPARE(s.conditionGrid()->rowCount(), 1);
        QCOMPARE(f.dump(), before);
    }

    // Escape or the close box with an edit pending asks first: 否 (the
    // default) stays in the edit, 是 discards it and closes.
    void closingWithPendingEditAsks()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("P1"), u("補氣"), {u("一")});
        const QString before = f.dump();
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        clickCell(s.conditionGrid(), 0, 2);
        act(s, "修改條件")->trigger();
        clickBox(s.panels()->optionBox(7, 0));
        f.messages.push(false);
        pressKey(Qt::Key_Escape);
        QVERIFY(s.isVisible());
        QCOMPARE(s.mode(), ProgramScreenMode::ModifyCondition);
        QCOMPARE(f.messages.shown().back().text, discardChangesQuestion());
        QVERIFY(!f.messages.shown().back().defaultYes);
        f.messages.push(true);
        QVERIFY(s.close());
        QVERIFY(!s.isVisible());
        QCOMPARE(f.dump(), before);
    }

    // 刪除療程: tone 1, the question as a 注意 question with the status of the
    // mode while it is asked; 否 keeps everything, 是 removes the program and
    // its three conditions.
    void deleteProgramAsks()
    {
        TreatmentPractice f;
        WatchingMessages watching;
        f.state.messages = &watching;
        f.addProgram(QStringLiteral("A"), u("安神"), {});
        f.addProgram(QStringLiteral("B"), u(" 肝膽調理 "), {u("一"), u("二"), u("三")});
        TZuProf s(f.state);
        watching.status = s.statusLine();
        QVERIFY(showActive(s));
        clickCell(s.programGrid(), 1, 1);
        const QString before = f.dump();
        const int tones = f.tones(1);
        watching.push(false);
        act(s, "刪除療程")->trigger();
        QCOMPARE(f.tones(1), tones + 1);
        QCOMPARE(watching.shown().back().kind, int(AskAttention));
        QCOMPARE(watching.shown().back().text, u("您確定要刪除【肝膽調理】這筆療程群組嗎 ?"));
        QCOMPARE(watching.statusWhenAsked.back(), u("【刪除療程模式】"));
        QCOMPARE(s.statusLine()->text(), u("【查詢療程模式】"));
        QCOMPARE(f.dump(), before);

        watching.push(true);
        act(s, "刪除療程")->trigger();
        QCOMPARE(f.tables().programs().size(), 1);
        QVERIFY(f.tables().conditions(QStringLiteral("B")).isEmpty());
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("A"));
        QCOMPARE(s.countLine()->text(), u("療程總計:     1  -  [ 0 ]"));
        // The last program deleted: nothing left to change or delete.
        watching.push(true);
        act(s, "刪除療程")->trigger();
        QCOMPARE(enabledButtons(s), QStringLiteral("100000001"));
        QVERIFY(!s.currentProgram());
    }

    void deleteCondition()
    {
        TreatmentPractice f;
        WatchingMessages watching;
        f.state.messages = &watching;
        f.addProgram(QStringLiteral("P1"), u("補氣"), {u("一 "), u("二")});
        TZuProf s(f.state);
        watching.status = s.statusLine();
        QVERIFY(showActive(s));
        clickCell(s.conditionGrid(), 0, 2);
        watching.push(true);
        act(s, "刪除條件")->trigger();
        QCOMPARE(watching.shown().back().text, u("您確定要刪除【一】這筆條件嗎 ?"));
        QCOMPARE(watching.statusWhenAsked.back(), u("【刪除條件模式】"));
        QCOMPARE(f.tables().conditions(QStringLiteral("P1")).size(), 1);
        QCOMPARE(s.conditionNameField()->text(), u("二"));
        QCOMPARE(enabledButtons(s), QStringLiteral("000111001"));
        watching.push(true);
        act(s, "刪除條件")->trigger();
        QVERIFY(f.tables().conditions(QStringLiteral("P1")).isEmpty());
        QCOMPARE(enabledButtons(s), QStringLiteral("000100001"));
    }
};

QTEST_MAIN(TestTreatmentScreen)
#include "test_treatment_screen.moc"
