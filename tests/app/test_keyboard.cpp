// The keyboard rules every screen shares: one table of keys (unique, on every
// screen that has the action), Enter never reaching a destructive button, the
// message dialog answering by key with 否 as the default of every question
// whose 是 deletes, replaces or discards, and typed work that Esc does not
// throw away without a question.
#include "app/tzumsag.h"
#include "comparison/ui/tzucmp.h"
#include "comparison/ui/tzumut.h"
#include "comparison/ui/tzumuti1.h"
#include "comparison/ui/tzutrend.h"
#include "measurement/measuringrun.h"
#include "measurement/ui/tzudec.h"
#include "measurement/ui/tzumnu.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "records/ui/tzuread.h"
#include "records/ui/tzuredit.h"
#include "records/ui/tzusave.h"
#include "shell/shortcuts.h"
#include "shell/ui/tzucust.h"
#include "support/keys.h"
#include "treatment/treatmentfixture.h"
#include "treatment/ui/tzuprof.h"
#include "treatment/ui/tzuprom.h"
#include "widgets/keyboard.h"
#include "widgets/modal.h"
#include "widgets/unsavedchanges.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

enum Screen
{
    Measuring,
    Save,
    Browser,
    Manual,
    Editor,
    Settings,
    Group,
    Compare,
    Multi,
    Picker,
    Trend
};

std::unique_ptr<QDialog> makeScreen(int screen, Practice& f)
{
    switch (Screen(screen)) {
    case Measuring:
        return std::make_unique<TZudec>(f.state, f.sim.instrument, MeasurementLinks{});
    case Save:
        return std::make_unique<TZusave>(f.state);
    case Browser:
        return std::make_unique<TZuread>(f.state, TZuread::LoadMode::MeasurementScreen);
    case Manual:
        return std::make_unique<TZumnu>(TZumnu::Mode::Add, f.state);
    case Editor:
        return std::make_unique<TZuREdit>(TZuREdit::Mode::Add, f.state, *f.state.MainDatabase);
    case Settings:
        return std::make_unique<TZuCust>(f.state);
    case Group:
        return std::make_unique<TZuProM>(TZuProM::Mode::Add, f.state, nullptr);
    case Compare:
        return std::make_unique<TZuCmp>(f.state);
    case Multi:
        return std::make_unique<TZumut>(f.state);
    case Picker:
        return std::make_unique<TZuMuti1>(f.state);
    case Trend:
        return std::make_unique<TZuTrend>(f.state, f.state.CurrentSubject);
    }
    return {};
}

// A screen as the program opens it: prepared for the keyboard, shown, active.
std::unique_ptr<QDialog> openScreen(int screen, Practice& f)
{
    auto s = makeScreen(screen, f);
    prepareScreen(*s);
    if (!showActive(*s)) qWarning("the screen did not become active");
    return s;
}

// What carries a caption: a tool bar action or a push button; its tool tip and its key.
struct Carrier
{
    QString toolTip;
    QKeySequence key;
    bool found = false;
};

Carrier carrierOf(QWidget& w, const QString& caption)
{
    for (QToolBar* bar : w.findChildren<QToolBar*>())
        for (QAction* a : bar->actions())
            if (a->text() == caption) return {a->toolTip(), a->shortcut(), true};
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == caption) {
            // A push button's key is an action of the window that presses it.
            for (QAction* a : w.actions())
                if (!a->shortcut().isEmpty() &&
                    b->toolTip().endsWith(QStringLiteral("(") + keyText(a->shortcut()) + QLatin1Char(')')))
                    return {b->toolTip(), a->shortcut(), true};
            return {b->toolTip(), {}, true};
        }
    return {};
}

SubjectRow addSubject(SharedState& s, const QString& number, int measurements)
{
    SubjectRow r;
    r.CUSTNO = number;
    r.NAME = QStringLiteral("Name ") + number;
    if (!SubjectStore(*s.MainDatabase).append(r)) qFatal("no subject");
    for (int i = 0; i < measurements; ++i) {
        MeasurementRow m;
        m.CUSTNO = number;
        m.ZUDATE = 45000 + i;
        m.ZU.fill(30);
        if (!MeasurementStore(*s.MainDatabase).append(m)) qFatal("no measurement");
    }
    return r;
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT
private slots:
    // One key, one action: no key and no caption in two entries.
    void shortcutTableIsUnique()
    {
        QSet<QString> keys, captions;
        for (const CommonShortcut& s : commonShortcuts()) {
            const QString k = s.key.toString(QKeySequence::PortableText);
            QVERIFY2(!keys.contains(k), qPrintable(k));
            keys << k;
            for (const QString& c : s.captions) {
                QVERIFY2(!captions.contains(c), qPrintable(c));
                captions << c;
            }
            QVERIFY(shortcutListText().contains(keyText(s.key)));
        }
    }

    // Every screen that has a shared action carries its key, shown in the tool tip.
    void screensCarryTheTableKeys_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("key");
        const std::pair<const char*, QKeySequence> measuring[] = {
            {"經絡測量", Qt::Key_F5},           {"停止測量", Qt::Key_F6},  {"能量分析", Qt::Key_F7},
            {"能量比對", Qt::Key_F8},           {"數據輸入", Qt::Key_F9},  {"儲存資料", Qt::CTRL | Qt::Key_S},
            {"讀取資料", Qt::CTRL | Qt::Key_O}, {"離  開", Qt::Key_Escape}};
        for (auto [caption, key] : measuring)
            QTest::addRow("measuring %s", caption) << int(Measuring) << u(caption) << key;
        QTest::newRow("save 儲存數據") << int(Save) << u("儲存數據") << QKeySequence(Qt::CTRL | Qt::Key_S);
        QTest::newRow("save 新增受測者")
            << int(Save) << u("新增受測者") << QKeySequence(Qt::CTRL | Qt::Key_N);
        QTest::newRow("browser 載入資料")
            << int(Browser) << u("載入資料") << QKeySequence(Qt::CTRL | Qt::Key_O);
        QTest::newRow("browser 歷次趨勢")
            << int(Browser) << u("歷次趨勢") << QKeySequence(Qt::CTRL | Qt::Key_T);
        QTest::newRow("manual 儲存數據")
            << int(Manual) << u("儲存數據") << QKeySequence(Qt::CTRL | Qt::Key_S);
        QTest::newRow("editor 儲存資料")
            << int(Editor) << u("儲存資料") << QKeySequence(Qt::CTRL | Qt::Key_S);
        QTest::newRow("settings 儲存資料")
            << int(Settings) << u("儲存資料  ") << QKeySequence(Qt::CTRL | Qt::Key_S);
        QTest::newRow("group 離  開") << int(Group) << u("   離  開   ") << QKeySequence(Qt::Key_Escape);
        QTest::newRow("comparison 載入資料")
            << int(Compare) << u("載入資料") << QKeySequence(Qt::CTRL | Qt::Key_O);
        QTest::newRow("comparison 列  印")
            << int(Compare) << u("列  印") << QKeySequence(Qt::CTRL | Qt::Key_P);
        QTest::newRow("multi 列  印") << int(Multi) << u("列  印") << QKeySequence(Qt::CTRL | Qt::Key_P);
        QTest::newRow("picker 載入資料")
            << int(Picker) << u("載入資料") << QKeySequence(Qt::CTRL | Qt::Key_O);
        QTest::newRow("trend 列  印") << int(Trend) << u("列  印") << QKeySequence(Qt::CTRL | Qt::Key_P);
    }
    void screensCarryTheTableKeys()
    {
        QFETCH(int, screen);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, key);
        Practice f;
        auto s = openScreen(screen, f);
        const Carrier c = carrierOf(*s, caption);
        QVERIFY2(c.found, qPrintable(caption));
        QVERIFY2(c.toolTip.endsWith(QStringLiteral("(") + keyText(key) + QLatin1Char(')')),
                 qPrintable(c.toolTip));
        // Esc belongs to the window (an open cell editor takes the first one).
        QCOMPARE(c.key, key == QKeySequence(Qt::Key_Escape) ? QKeySequence() : key);
    }

    // In every window a key names one action only (two would cancel each
    // other out) and is in 快速鍵一覽; every tool button takes the focus from
    // Tab, and Tab walks a tool bar in the order it reads.
    void keysAreUnambiguousAndToolButtonsTakeTab_data()
    {
        QTest::addColumn<int>("screen");
        for (int s :
             {Measuring, Save, Browser, Manual, Editor, Settings, Group, Compare, Multi, Picker, Trend})
            QTest::addRow("screen %d", s) << s;
    }
    void keysAreUnambiguousAndToolButtonsTakeTab()
    {
        QFETCH(int, screen);
        Practice f;
        auto s = openScreen(screen, f);
        QSet<QString> keys;
        for (QAction* a : s->findChildren<QAction*>()) {
            if (a->shortcut().isEmpty()) continue;
            const QString k = a->shortcut().toString();
            QVERIFY2(!keys.contains(k), qPrintable(k));
            keys << k;
            QVERIFY2(shortcutListText().contains(keyText(a->shortcut())), qPrintable(k));
        }
        for (QToolBar* bar : s->findChildren<QToolBar*>()) {
            QList<QWidget*> visual, walked;
            for (QAction* a : bar->actions())
                if (QWidget* b = bar->widgetForAction(a); b && !a->isSeparator()) {
                    QVERIFY2(b->focusPolicy() & Qt::TabFocus, qPrintable(a->text()));
                    visual << b;
                }
            for (QWidget* w = visual.value(0); w && walked.size() < visual.size(); w = w->nextInFocusChain())
                if (visual.contains(w)) walked << w;
            QCOMPARE(walked, visual);
        }
    }

    // The measuring screen opens on its first tool button; Tab goes on along
    // the tool bar, never first onto a potential button an arrow would flip.
    void measuringScreenStartsOnTheToolBar()
    {
        Practice f;
        auto s = openScreen(Measuring, f);
        auto* first = qobject_cast<QToolButton*>(QApplication::focusWidget());
        QVERIFY(first);
        QCOMPARE(first->text(), u("經絡測量"));
        pressKey(Qt::Key_Tab);
        QVERIFY(qobject_cast<QToolButton*>(QApplication::focusWidget()));
        QVERIFY(!qobject_cast<QRadioButton*>(QApplication::focusWidget()));
    }

    // Enter on the save screen with the measurement's subject found stores
    // there (its default button); Ctrl+S does the same.
    void saveScreenStoresOnEnterAndCtrlS_data()
    {
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("Enter") << QKeySequence(Qt::Key_Return);
        QTest::newRow("Ctrl+S") << QKeySequence(Qt::CTRL | Qt::Key_S);
    }
    void saveScreenStoresOnEnterAndCtrlS()
    {
        QFETCH(QKeySequence, key);
        Practice f;
        f.state.CurrentSubject = addSubject(f.state, QStringLiteral("A01"), 0);
        f.state.energy.Readings.fill(25);
        auto s = openScreen(Save, f);
        QTest::keySequence(QApplication::focusWidget(), key);
        QTRY_VERIFY(!s->isVisible());
        QCOMPARE(MeasurementStore(*f.state.MainDatabase).countAll(), qint64(1));
        QVERIFY(f.state.CurrentMeasurementKey > 0);
    }

    // Enter on a focused button presses that button, not the screen's default:
    // on 離  開 of the subject editor with a number typed it leaves (asking
    // first), where the default would have stored the subject.
    void enterPressesTheFocusedButton()
    {
        Practice f;
        auto s = openScreen(Editor, f);
        typeKeys(QStringLiteral("N1"));
        auto* leave = s->findChild<QPushButton*>(QStringLiteral("LeaveButton"));
        QVERIFY(s->findChild<QPushButton*>(QStringLiteral("SaveButton"))->isDefault());
        leave->setFocus();
        f.messages.push(true);
        pressKey(Qt::Key_Return);
        QTRY_VERIFY(!s->isVisible());
        QCOMPARE(f.messages.shown().back().text, discardChangesQuestion());
        QCOMPARE(SubjectStore(*f.state.MainDatabase).count(), qint64(0));
    }

    // No screen's default button (what Enter presses) deletes, clears or leaves.
    void defaultButtonsAreNeverDestructive_data()
    {
        QTest::addColumn<int>("screen");
        for (int s : {Save, Editor, Group})
            QTest::addRow("screen %d", s) << s;
    }
    void defaultButtonsAreNeverDestructive()
    {
        QFETCH(int, screen);
        Practice f;
        auto s = openScreen(screen, f);
        for (QPushButton* b : s->findChildren<QPushButton*>()) {
            const QString t = b->text();
            const bool destructive = t.contains(u("刪除")) || t.contains(u("清除")) || t.contains(u("離")) ||
                                     t.contains(u("移")) || t.contains(u("放"));
            if (destructive) QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(t));
        }
    }

    // The message dialog by keys: Enter gives the default answer (否 unless
    // the caller asked with 是 as the default), Y and N answer, Esc is 否.
    void messageDialogByKeys_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("defaultYes");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("answer");
        QTest::newRow("question, Enter") << int(AskAttention) << false << int(Qt::Key_Return) << false;
        QTest::newRow("asked with 是, Enter") << int(AskQuestion) << true << int(Qt::Key_Return) << true;
        QTest::newRow("question, Y") << int(AskAttention) << false << int(Qt::Key_Y) << true;
        QTest::newRow("asked with 是, N") << int(AskQuestion) << true << int(Qt::Key_N) << false;
        QTest::newRow("asked with 是, Esc") << int(AskImportant) << true << int(Qt::Key_Escape) << false;
        QTest::newRow("notice, Enter") << int(NoteAttention) << false << int(Qt::Key_Return) << true;
    }
    void messageDialogByKeys()
    {
        QFETCH(int, kind);
        QFETCH(bool, defaultYes);
        QFETCH(int, key);
        QFETCH(bool, answer);
        QWidget owner;
        QVERIFY(showActive(owner));
        QTimer::singleShot(0, &owner, [key] {
            QTRY_VERIFY(QApplication::activeModalWidget() && QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        });
        const bool result = ShowMessageDialog(kind, QStringLiteral("text"), &owner,
                                              defaultYes ? DefaultAnswer::Yes : DefaultAnswer::No);
        QCOMPARE(result, answer);
    }

    // A message of any length stays on the screen with its buttons; a long
    // one scrolls inside the dialog.
    void longMessageKeepsItsButtonsOnTheScreen()
    {
        QStringList lines;
        for (int i = 0; i < 400; ++i)
            lines << QStringLiteral("command %1 /bin/sh -c something").arg(i);
        TZuMsag d(AskAttention, lines.join(QStringLiteral("\r\n")));
        d.show();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(d.height() <= screen.height());
        QVERIFY(d.findChild<QPushButton*>(QStringLiteral("BitBtnNo"))->isVisible());
    }

    // Questions whose 是 deletes, clears or discards are asked with 否 as the
    // default; the question whose 是 stores the measurement with 是.
    void questionsDefaultToTheHarmlessAnswer_data()
    {
        QTest::addColumn<int>("flow");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("defaultYes");
        QTest::newRow("delete a subject") << 0 << u("確定要刪除本受測者的所有資料嗎?") << false;
        QTest::newRow("delete a measurement") << 1 << u("確定要刪除這筆經絡能量數據嗎?") << false;
        QTest::newRow("clear the measuring screen") << 2 << u("確定要清除視窗中的經絡能量數據嗎?") << false;
        QTest::newRow("clear before measuring") << 3 << u("您要先清除表格中的資料再開始檢測嗎？") << false;
        QTest::newRow("clear typed values") << 4 << u("確定要清除視窗表格中的經絡能量數據嗎?") << false;
        QTest::newRow("discard typed values") << 5 << discardChangesQuestion() << false;
        QTest::newRow("delete a program") << 6 << u("您確定要刪除【補氣】這筆療程群組嗎 ?") << false;
        QTest::newRow("store under the subject") << 7 << u("您要將檢測資料存於這個受測者資料中嗎？") << true;
    }
    void questionsDefaultToTheHarmlessAnswer()
    {
        QFETCH(int, flow);
        QFETCH(QString, question);
        QFETCH(bool, defaultYes);
        TreatmentPractice f;
        f.messages.setDefaultAnswer(false);
        f.state.CurrentSubject = addSubject(f.state, QStringLiteral("A01"), 2);
        f.state.energy.Readings.fill(25);
        switch (flow) {
        case 0:
        case 1: {
            TZuread b(f.state, TZuread::LoadMode::MeasurementScreen);
            if (flow == 0) {
                b.enterSubjectList();
                b.deleteSubject();
            } else {
                b.enterMeasurementList(0);
                b.deleteMeasurement();
            }
            break;
        }
        case 2: {
            TZudec m(f.state, f.sim.instrument, MeasurementLinks{});
            m.ToolButtonClearClick();
            break;
        }
        case 3: {
            f.state.CurrentMeasurementKey = 1;
            f.state.config.HighPotential = true; // its question (否) keeps the run from starting
            TZudec m(f.state, f.sim.instrument, MeasurementLinks{});
            m.run().start();
            break;
        }
        case 4:
        case 5: {
            TZumnu e(TZumnu::Mode::Add, f.state);
            if (flow == 4) {
                e.clear();
            } else {
                e.typeAndEnter(QStringLiteral("12"));
                e.reject();
            }
            break;
        }
        case 6: {
            f.addProgram(QStringLiteral("P1"), u("補氣"));
            TZuProf p(f.state);
            p.deleteProgram();
            break;
        }
        case 7: {
            TZusave s(f.state);
            s.editorHook = [](TZuREdit& editor) {
                editor.field("CUSTNO")->setText(QStringLiteral("N01"));
                editor.save();
            };
            s.addSubject();
            break;
        }
        }
        const auto& shown = f.messages.shown();
        auto it = std::find_if(shown.begin(), shown.end(),
                               [&](const ScriptedMessages::Shown& m) { return m.text.startsWith(question); });
        QVERIFY2(it != shown.end(), qPrintable(question));
        QCOMPARE(it->defaultYes, defaultYes);
    }

    // Typed work: Esc asks (否 stays, the work kept), 是 leaves; a screen
    // left untouched closes on Esc without a question.
    void escapeAsksBeforeTypedWorkIsLost_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("field"); // object name of the line edit typed into; empty: a grid cell
        QTest::newRow("manual entry") << int(Manual) << QString();
        QTest::newRow("new subject") << int(Editor) << u("NAME");
        QTest::newRow("user settings") << int(Settings) << u("UserName1");
        QTest::newRow("group editor") << int(Group) << u("ProName");
    }
    void escapeAsksBeforeTypedWorkIsLost()
    {
        QFETCH(int, screen);
        QFETCH(QString, field);
        Practice f;
        {
            auto untouched = openScreen(screen, f);
            pressKey(Qt::Key_Escape);
            QTRY_VERIFY(!untouched->isVisible());
            QVERIFY(f.messages.shown().empty());
        }
        auto s = openScreen(screen, f);
        if (field.isEmpty()) {
            // A value ends with Enter; Esc in an open cell only takes back that cell.
            typeKeys(QStringLiteral("12"));
            pressKey(Qt::Key_Return);
        } else {
            QLineEdit* e = s->findChild<QLineEdit*>(field);
            QVERIFY(e);
            e->setFocus();
            typeKeys(QStringLiteral("x"));
        }
        f.messages.push(false);
        pressKey(Qt::Key_Escape);
        QTRY_COMPARE(f.messages.shown().size(), size_t(1));
        QCOMPARE(f.messages.shown().back().text, discardChangesQuestion());
        QVERIFY(!f.messages.shown().back().defaultYes);
        QVERIFY(s->isVisible());
        f.messages.push(true);
        QVERIFY(s->close());
        QVERIFY(!s->isVisible());
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
