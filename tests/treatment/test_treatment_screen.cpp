// The treatment program screen driven with real clicks and keys: the modes
// and what they enable, a condition built in the panels and stored, the
// questions of the deletions, and what a refused write or the close box
// leaves behind.
#include "analysis/contrast.h"
#include "measurement/catalogue.h"
#include "support/keys.h"
#include "treatment/conditionpanels.h"
#include "treatment/matching.h"
#include "treatment/treatmentfixture.h"
#include "treatment/ui/conditionpanelsview.h"
#include "treatment/ui/programpicture.h"
#include "treatment/ui/tzuprof.h"
#include "widgets/unsavedchanges.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTableWidget>
#include <utility>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QAction* act(TZuProf& s, const char* caption)
{
    QAction* a = s.action(u(caption));
    if (!a) qFatal("no action %s", caption);
    return a;
}

// The nine toolbar buttons as 1/0, in toolbar order.
QString enabledButtons(TZuProf& s)
{
    QString out;
    for (const char* c : {"新增療程", "修改療程", "刪除療程", "新增條件", "修改條件", "刪除條件", "確認異動",
                          "放  棄", "離  開"})
        out += act(s, c)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

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

// The colour in `area` of `img` that stands out most from the pixel at
// `background`, as a contrast ratio.
double strongestContrast(const QImage& img, const QRect& area, QPoint background)
{
    const QColor bg = img.pixelColor(background);
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, contrastRatio(img.pixelColor(x, y), bg));
    return best;
}

class TestTreatmentScreen : public QObject
{
    Q_OBJECT
private slots:
    // Query mode shows the current condition in panels that cannot be
    // changed: a ticked box's mark and every caption stay readable.
    void queryModePanelsReadable_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("虛弱, ticked") << 1 << 0 << true;
        QTest::newRow("亢奮, not ticked") << 1 << 1 << false;
        QTest::newRow("肺經 虛證, not ticked") << 6 << 0 << false;
    }
    void queryModePanelsReadable()
    {
        QFETCH(int, position);
        QFETCH(int, option);
        QFETCH(bool, ticked);
        TreatmentPractice f;
        f.addProgram(QStringLiteral("A"), u("安神"), {u("虛")}); // code 1 at position 1: 虛弱
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        QCheckBox* box = s.panels()->optionBox(position, option);
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->isChecked(), ticked);
        const QImage img = box->grab().toImage();
        QStyleOptionButton o;
        o.initFrom(box);
        const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &o, box);
        const QRect caption = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &o, box);
        QVERIFY(strongestContrast(img, caption, caption.topRight()) >= ReadableContrast);
        if (ticked) {
            // Inside the box's frame: the mark against the box's own background.
            const QRect inside = mark.adjusted(2, 2, -2, -2);
            QVERIFY(strongestContrast(img, inside, inside.topLeft()) >= ReadableContrast);
        }
        QVERIFY(strongestContrast(s.conditionNameField()->grab().toImage(),
                                  s.conditionNameField()->rect().adjusted(4, 4, -4, -4),
                                  QPoint(4, 4)) >= ReadableContrast);
    }

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

    // The program buttons launch the program's own rows, trimmed, through the launcher.
    void programButtonsLaunch()
    {
        TreatmentPractice f;
        ProgramRow p = f.addProgram(QStringLiteral("P1"), u("補氣"), {}, QStringLiteral("0010"));
        p.ProPrg[2] = QStringLiteral("  /usr/bin/mpv ");
        p.ProParm[2] = QStringLiteral(" \"/media/光 療.mp4\" --loop ");
        p.ProScrp[2] = u("播放影片");
        QVERIFY(f.tables().updateProgram(p).ok);
        RecordingLauncher launcher;
        TZuProf s(f.state);
        s.launcher = launcher.platform();
        QVERIFY(showActive(s));
        QVERIFY(!s.programButton(1)->isEnabled());
        QCOMPARE(s.programButton(3)->toolTip(), u("播放影片"));
        QTest::mouseClick(s.programButton(3), Qt::LeftButton);
        QCOMPARE(launcher.calls, QStringList{u("/usr/bin/mpv|/media/光 療.mp4|--loop")});
    }

    // The group editor's hand-back: after an add the screen moves to the new
    // program; after an edit it stays on the program edited.
    void groupEditorHandBack()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("A"), u("一"), {});
        f.addProgram(QStringLiteral("M"), u("二"), {u("c")});
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        QStringList opened;
        s.groupEditor = [&](bool add, QString& remembered) {
            opened << (add ? QStringLiteral("add ") : QStringLiteral("edit ")) + remembered;
            if (add) {
                f.addProgram(QStringLiteral("C"), u("三"), {});
                remembered = QStringLiteral("c"); // found again without regard to case
            }
        };
        clickCell(s.programGrid(), 1, 1);
        act(s, "修改療程")->trigger();
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("M"));
        act(s, "新增療程")->trigger();
        QCOMPARE(opened, (QStringList{QStringLiteral("edit M"), QStringLiteral("add M")}));
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("C"));
        QCOMPARE(s.currentProgramRow(), 1);
        QCOMPARE(s.countLine()->text(), u("療程總計:     3  -  [ 0 ]"));
        QCOMPARE(enabledButtons(s), QStringLiteral("111000001"));
    }

    // The picture chosen in the picture dialog is stored with the condition's
    // confirmation, as it was read; a file that is no picture is refused.
    void pictureAndScale()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("P1"), u("補氣"), {u("一")});
        QImage img(30, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        const QString png = f.dir.filePath(QStringLiteral("pic.png"));
        QVERIFY(img.save(png));
        const QString text = f.dir.filePath(QStringLiteral("not.png"));
        QFile bad(text);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("no picture");
        bad.close();
        TZuProf s(f.state);
        QString answer = text;
        s.chooser = [&](QWidget*, const FileRequest& r) {
            return r.kind == FileRequest::Picture ? answer : QString();
        };
        QVERIFY(showActive(s));
        QVERIFY(!s.pictureChangeButton()->isEnabled());
        clickCell(s.conditionGrid(), 0, 2);
        act(s, "修改條件")->trigger();
        QTest::mouseClick(s.pictureChangeButton(), Qt::LeftButton);
        QCOMPARE(f.messages.shown().back().kind, int(NoteAttention));
        QVERIFY(f.messages.shown().back().text.contains(text));
        QVERIFY(s.picture()->isEmpty());
        answer = png;
        QTest::mouseClick(s.pictureChangeButton(), Qt::LeftButton);
        QVERIFY(!s.picture()->isEmpty());
        QVERIFY(s.picture()->image()->hasScaledContents()); // stretched while 1 : 1 is off
        clickBox(s.scaleBox());
        QVERIFY(!s.picture()->image()->hasScaledContents());
        act(s, "確認異動")->trigger();
        QFile file(png);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto stored = f.tables().program(s.currentProgram()->MKEY);
        QCOMPARE(stored->ProPict, file.readAll());
        QVERIFY(stored->ProScal);
        // X clears it; 確認異動 stores the empty picture.
        act(s, "修改條件")->trigger();
        QTest::mouseClick(s.pictureClearButton(), Qt::LeftButton);
        act(s, "確認異動")->trigger();
        QVERIFY(f.tables().program(s.currentProgram()->MKEY)->ProPict.isEmpty());
    }

    // Every meridian label of the panels against the encoding the matching
    // reads: ticking the box a practitioner reads as a meridian (and its 虛證)
    // makes a condition that a measurement with exactly that meridian low on
    // both sides meets, and one with any other meridian low does not. The
    // names come from the catalogue, not from the panels, so two labels
    // swapped in the panels show here.
    void meridianLabelsMatchTheEncoding_data()
    {
        QTest::addColumn<int>("meridian");
        for (int m = 0; m < MeridianCount; ++m)
            QTest::newRow(qPrintable(shortName(Meridian(m)).remove(QLatin1Char(' ')))) << m;
    }
    void meridianLabelsMatchTheEncoding()
    {
        QFETCH(int, meridian);
        const QString label = shortName(Meridian(meridian)).remove(QLatin1Char(' '));
        ConditionPanelsView view;
        view.setEditable(true);
        view.show();
        QCheckBox* category = nullptr;
        QCheckBox* deficient = nullptr;
        const auto boxes =
            view.findChild<QWidget*>(QStringLiteral("MeridianPanel"))->findChildren<QCheckBox*>();
        for (QCheckBox* b : boxes) {
            if (b->text() == label) QVERIFY2(!std::exchange(category, b), "two boxes read the same meridian");
            if (b->accessibleName() == label + u("虛證")) deficient = b;
        }
        QVERIFY2(category && deficient, qPrintable(label));
        clickBox(category);
        clickBox(deficient);
        ConditionRow condition;
        view.state().writeTo(condition);
        for (int low = 0; low < MeridianCount; ++low) {
            EnergyAnalysis a;
            a.PointMark[size_t(leftPointOf(Meridian(low)) - 1)] = -1;
            a.PointMark[size_t(rightPointOf(Meridian(low)) - 1)] = -1;
            QVERIFY2(ConditionMatches(condition, a, 40, true) == (low == meridian),
                     qPrintable(QStringLiteral("%1 low, ProCond %2").arg(low).arg(condition.ProCond)));
        }
    }
};

QTEST_MAIN(TestTreatmentScreen)
#include "test_treatment_screen.moc"
