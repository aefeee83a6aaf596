// The treatment group editor driven with real keys and clicks, alone and
// opened from the treatment program screen through its own modal loop.
#include "shell/ui/programrows.h"
#include "support/keys.h"
#include "treatment/treatmentfixture.h"
#include "treatment/ui/programpicture.h"
#include "treatment/ui/tzuprof.h"
#include "treatment/ui/tzuprom.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTimer>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

class TestGroupEditor : public QObject
{
    Q_OBJECT
private slots:
    void saveOnlyWithANumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("blanks") << "   " << false;
        QTest::newRow("a number") << " 7" << true;
    }
    void saveOnlyWithANumber()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        TreatmentPractice f;
        TZuProM e(TZuProM::Mode::Add, f.state, nullptr);
        QVERIFY(showActive(e));
        QCOMPARE(e.windowTitle(), u("專家療程異動"));
        QVERIFY(!e.saveAction()->isEnabled());
        QCOMPARE(QApplication::focusWidget(), e.numberField());
        typeKeys(typed);
        QCOMPARE(e.saveAction()->isEnabled(), enabled);
        e.saveAction()->trigger();
        QCOMPARE(f.tables().programs().size(), enabled ? 1 : 0);
    }

    // The number of an existing group in other letter case: tone 1, the
    // notice naming that group, nothing written, the number field to correct.
    void duplicateInOtherCase()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("LIV01"), u(" 肝臟保養 "), {u("c")});
        const QString before = f.dump();
        TZuProM e(TZuProM::Mode::Add, f.state, nullptr);
        QVERIFY(showActive(e));
        typeKeys(QStringLiteral(" liv01"));
        e.nameField()->setFocus();
        typeKeys(QStringLiteral("x"));
        const int tones = f.tones(1);
        e.saveAction()->trigger();
        QCOMPARE(f.tones(1), tones + 1);
        QCOMPARE(f.messages.shown().back().kind, int(NoteAttention));
        QCOMPARE(f.messages.shown().back().text,
                 u("您所輸入的群組編號已經與另一群組 [ 肝臟保養 ] 重覆!!請重新指定另一個編號。"));
        QCOMPARE(f.dump(), before);
        QVERIFY(!e.saved());
        QVERIFY(e.isVisible());
        QCOMPARE(QApplication::focusWidget(), e.numberField());
    }

    // Boxes 1 and 3 ticked by clicks: ProFN "1010"; the number stored trimmed,
    // the rest as typed; the hints follow the texts.
    void addStoresWhatWasTyped()
    {
        TreatmentPractice f;
        TZuProM e(TZuProM::Mode::Add, f.state, nullptr);
        QVERIFY(showActive(e));
        typeKeys(QStringLiteral("  G7 "));
        e.nameField()->setFocus();
        typeKeys(QStringLiteral(" Sleep well"));
        e.descriptionBox()->setFocus();
        typeKeys(QStringLiteral("line"));
        ProgramRows* rows = e.programRows();
        clickBox(rows->box(1));
        clickBox(rows->box(3));
        rows->programField(3)->setFocus();
        typeKeys(QStringLiteral("/usr/bin/mpv "));
        QCOMPARE(rows->programField(3)->toolTip(), QStringLiteral("/usr/bin/mpv "));
        rows->hintField(3)->setFocus();
        typeKeys(QStringLiteral("music"));
        // Enter in a field presses none of the rows' buttons.
        RecordingLauncher launcher;
        rows->launcher = launcher.platform();
        pressKey(Qt::Key_Return);
        QVERIFY(launcher.calls.isEmpty());
        QVERIFY(e.isVisible());
        e.saveAction()->trigger();
        QVERIFY(e.saved());
        QCOMPARE(e.savedNumber(), QStringLiteral("G7"));
        const auto p = f.tables().program(f.tables().findNumber(QStringLiteral("G7"))->MKEY);
        QCOMPARE(p->ProNo, QStringLiteral("G7"));
        QCOMPARE(p->ProName, QStringLiteral(" Sleep well"));
        QCOMPARE(p->ProData, QStringLiteral("line"));
        QCOMPARE(p->ProFN, QStringLiteral("1010"));
        QCOMPARE(p->ProPrg[2], QStringLiteral("/usr/bin/mpv "));
        QCOMPARE(p->ProScrp[2], QStringLiteral("music"));
        QVERIFY(p->ProPict.isEmpty());
        QVERIFY(!p->ProScal);
    }

    void tooLongIsRefused_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("number of 13") << "ABCDEFGHIJKLM"
                                      << "n" << groupNumberTooLongMessage();
        QTest::newRow("name of 25") << "N1" << QString(25, QLatin1Char('n')) << groupNameTooLongMessage();
    }
    void tooLongIsRefused()
    {
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QString, message);
        TreatmentPractice f;
        TZuProM e(TZuProM::Mode::Add, f.state, nullptr);
        QVERIFY(showActive(e));
        typeKeys(number);
        e.nameField()->setFocus();
        typeKeys(name);
        e.saveAction()->trigger();
        QCOMPARE(f.messages.shown().back().text, message);
        QCOMPARE(f.messages.shown().back().kind, int(NoteAttention));
        QVERIFY(f.tables().programs().isEmpty());
        QVERIFY(e.isVisible());
        QCOMPARE(QApplication::focusWidget(),
                 message == groupNameTooLongMessage() ? e.nameField() : e.numberField());
    }

    // Edit mode: the number shown and fixed; "X" empties the picture; the
    // saved program keeps its number and its conditions.
    void editKeepsNumberAndConditions()
    {
        TreatmentPractice f;
        ProgramRow p =
            f.addProgram(QStringLiteral("E1"), u("舊名"), {u("一"), u("二")}, QStringLiteral("0100"));
        QImage img(8, 8, QImage::Format_RGB32);
        img.fill(Qt::blue);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, "PNG");
        p.ProPict = bytes;
        p.ProScal = true;
        p.ProPrg[1] = QStringLiteral("prog");
        QVERIFY(f.tables().updateProgram(p).ok);
        TZuProM e(TZuProM::Mode::Edit, f.state, &p);
        QVERIFY(showActive(e));
        QCOMPARE(e.numberField()->text(), QStringLiteral("E1"));
        QVERIFY(!e.numberField()->isEnabled());
        QCOMPARE(e.nameField()->text(), u("舊名"));
        QVERIFY(e.ownSizeBox()->isChecked());
        QVERIFY(!e.picture()->image()->hasScaledContents());
        QVERIFY(!e.picture()->isEmpty());
        QVERIFY(e.programRows()->box(2)->isChecked());
        QCOMPARE(e.programRows()->programField(2)->toolTip(), QStringLiteral("prog"));
        clickBox(e.ownSizeBox()); // the preview follows at once
        QVERIFY(e.picture()->image()->hasScaledContents());
        QTest::mouseClick(e.pictureClearButton(), Qt::LeftButton);
        QVERIFY(e.picture()->isEmpty());
        e.nameField()->setFocus();
        e.nameField()->selectAll();
        typeKeys(QStringLiteral("new"));
        e.saveAction()->trigger();
        QVERIFY(e.saved());
        const auto stored = f.tables().program(p.MKEY);
        QCOMPARE(stored->ProNo, QStringLiteral("E1"));
        QCOMPARE(stored->ProName, QStringLiteral("new"));
        QVERIFY(stored->ProPict.isEmpty());
        QVERIFY(!stored->ProScal);
        QCOMPARE(f.tables().conditions(QStringLiteral("E1")).size(), 2);
        QCOMPARE(f.tables().programs().size(), 1);
    }

    // The rows' browse buttons fill their fields from the open dialog; the
    // test button launches the row as typed, trimmed, without saving.
    void rowsBrowseAndTest()
    {
        TreatmentPractice f;
        TZuProM e(TZuProM::Mode::Add, f.state, nullptr);
        QList<FileRequest::Kind> asked;
        e.setFileChooser([&](QWidget*, const FileRequest& r) {
            asked << r.kind;
            return r.kind == FileRequest::Program ? QStringLiteral("/opt/tool/run.sh")
                                                  : QStringLiteral("/home/op/a b.txt");
        });
        RecordingLauncher launcher;
        e.programRows()->launcher = launcher.platform();
        QVERIFY(showActive(e));
        QTest::mouseClick(e.programRows()->programBrowse(2), Qt::LeftButton);
        QTest::mouseClick(e.programRows()->paramBrowse(2), Qt::LeftButton);
        QCOMPARE(asked, (QList<FileRequest::Kind>{FileRequest::Program, FileRequest::AnyFile}));
        QCOMPARE(e.programRows()->programField(2)->text(), QStringLiteral("/opt/tool/run.sh"));
        QCOMPARE(e.programRows()->paramBrowse(2)->toolTip(), u("設定參數或外部檔案"));
        QCOMPARE(e.programRows()->testButton(2)->toolTip(), u("連結功能測試"));
        e.programRows()->paramField(2)->setText(QStringLiteral("  '/home/op/a b.txt' "));
        QTest::mouseClick(e.programRows()->testButton(2), Qt::LeftButton);
        QCOMPARE(launcher.calls, QStringList{QStringLiteral("/opt/tool/run.sh|/home/op/a b.txt")});
        QVERIFY(f.tables().programs().isEmpty());
    }

    // From the treatment program screen: 新增療程 opens the editor modally
    // over it; after the save the screen shows the new program.
    void addedFromTheTreatmentScreen()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("A"), u("一"), {});
        f.addProgram(QStringLiteral("Z"), u("二"), {});
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        bool sawEditor = false;
        QTimer::singleShot(0, &s, [&] {
            auto* e = qobject_cast<TZuProM*>(QApplication::activeModalWidget());
            if (!e) return;
            sawEditor = true;
            // Whatever fails below, the editor closes and the test goes on.
            auto close = qScopeGuard([e] {
                if (e->isVisible()) e->reject();
            });
            QVERIFY(s.isVisible()); // stays under the editor
            QApplication::setActiveWindow(e);
            QVERIFY(QTest::qWaitForWindowActive(e));
            e->numberField()->setFocus();
            typeKeys(QStringLiteral("m"));
            e->nameField()->setFocus();
            typeKeys(QStringLiteral("middle"));
            e->saveAction()->trigger();
        });
        s.action(u("新增療程"))->trigger();
        QVERIFY(sawEditor);
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("m"));
        QCOMPARE(s.currentProgramRow(), 1);
        QCOMPARE(s.programGrid()->currentIndex().row(), 1);
        // 修改療程, left without saving: nothing changes, the position stays.
        QTimer::singleShot(0, &s, [&] {
            if (auto* e = qobject_cast<TZuProM*>(QApplication::activeModalWidget())) e->reject();
        });
        const QString before = f.dump();
        s.action(u("修改療程"))->trigger();
        QCOMPARE(f.dump(), before);
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("m"));
    }
};

QTEST_MAIN(TestGroupEditor)
#include "test_group_editor.moc"
