// The user settings: what the screen shows of the configuration, what saving
// writes (and what a file that cannot be written leaves), and the main
// window's status bar and custom buttons following at once.
#include "app/tzuform.h"
#include "base/codec.h"
#include "practice/roles.h"
#include "shell/ui/programrows.h"
#include "shell/ui/tzucust.h"
#include "shell/usersettings.h"
#include "support/keys.h"
#include "support/practicedir.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

Q_DECLARE_METATYPE(lumo::Role)

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

struct Settings : test::PracticeDir
{
    Settings()
    {
        state.config = Configuration::createdDefaults();
        state.saveConfiguration();
    }
    QString path() const { return state.dataPath(QLatin1String(ConfigurationFileName)); }
    QByteArray file() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Line n (1-based) of the file as written.
    QString line(int n) const { return fromCp950(file()).split(QStringLiteral("\r\n")).value(n - 1); }
};

struct Recorder
{
    QStringList calls;
    LauncherPlatform platform()
    {
        LauncherPlatform p;
        p.fileExists = [](const QString&) { return false; };
        p.isDocument = [](const QString&) { return false; };
        p.start = [this](const QString& program, const QStringList& args) {
            calls << program + QLatin1Char('|') + args.join(QLatin1Char('|'));
            return true;
        };
        p.openDocument = [this](const QString& t) {
            calls << QStringLiteral("open ") + t;
            return true;
        };
        return p;
    }
};

// A click on a check box's indicator, where a person clicks it.
void clickBox(QAbstractButton* box)
{
    QVERIFY(box->isVisible() && box->isEnabled());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

void clickTab(QTabWidget* pages, int index)
{
    QTabBar* bar = pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

} // namespace

class TestUserSettings : public QObject
{
    Q_OBJECT
private slots:
    // Box N is ticked only for a "1" at position N.
    void boxesFromToolFlags_data()
    {
        QTest::addColumn<QString>("ToolFlags");
        QTest::addColumn<QString>("ticked");
        QTest::newRow("created default") << "111000"
                                         << "111000";
        QTest::newRow("other characters") << "1x12 1"
                                          << "101001";
        QTest::newRow("short") << "1"
                               << "100000";
        QTest::newRow("empty") << ""
                               << "000000";
    }
    void boxesFromToolFlags()
    {
        QFETCH(QString, ToolFlags);
        QFETCH(QString, ticked);
        Configuration c;
        c.ToolFlags = ToolFlags;
        const UserSettingsFields f = UserSettingsFields::of(c);
        QString got;
        for (bool b : f.enabled)
            got += b ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(got, ticked);
    }

    // A main-window button is hidden only by a "0" at its position.
    void customButtonsFromToolFlags_data()
    {
        QTest::addColumn<QString>("ToolFlags");
        QTest::addColumn<QString>("visible");
        QTest::newRow("101") << "101"
                             << "101111";
        QTest::newRow("all off") << "000000"
                                 << "000000";
        QTest::newRow("empty") << ""
                               << "111111";
        QTest::newRow("other characters") << "x0 "
                                          << "101111";
    }
    void customButtonsFromToolFlags()
    {
        QFETCH(QString, ToolFlags);
        QFETCH(QString, visible);
        QString got;
        for (int n = 1; n <= 6; ++n)
            got += customButtonVisible(ToolFlags, n) ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(got, visible);
    }

    // Saving: the four texts exactly as typed, six flag characters, the row
    // fields trimmed; every other setting as it was.
    void savingRules()
    {
        Configuration c = Configuration::createdDefaults();
        c.CalibStandard = 3210;
        c.PrintOptions = QStringLiteral("10101");
        c.LocateSensitivity = 77;
        UserSettingsFields f = UserSettingsFields::of(c);
        f.user = {QStringLiteral("  Clinic  "), QString(), u(" 台北市 "), QStringLiteral("x")};
        f.enabled = {false, true, false, true, false, false};
        f.hint[1] = QStringLiteral("  player ");
        f.program[1] = QStringLiteral("   ");
        f.param[1] = QStringLiteral(" /home/op/film.mp4  ");
        const Configuration s = withUserSettings(c, f);
        QCOMPARE(s.UserName1, QStringLiteral("  Clinic  "));
        QCOMPARE(s.UserName2, QString());
        QCOMPARE(s.UserData1, u(" 台北市 "));
        QCOMPARE(s.ToolFlags, QStringLiteral("010100"));
        QCOMPARE(s.ToolHint[1], QStringLiteral("player"));
        QCOMPARE(s.ToolProgram[1],
                 QString()); // a program of blanks is none: the parameter opens as a document
        QCOMPARE(s.ToolParam[1], QStringLiteral("/home/op/film.mp4"));
        QCOMPARE(s.ToolHint[0], c.ToolHint[0]);
        QCOMPARE(s.CalibStandard, 3210);
        QCOMPARE(s.PrintOptions, QStringLiteral("10101"));
        QCOMPARE(s.LocateSensitivity, 77);
    }

    // The screen: page 用戶資料 first, the fields as configured, each row
    // field's hint its text; a box unticked and texts typed, then 儲存資料.
    void screenSaves()
    {
        Settings f;
        f.state.config.ToolHint[3] = QStringLiteral("notes");
        TZuCust s(f.state);
        QVERIFY(showActive(s));
        QCOMPARE(s.windowTitle(), u("用戶基本資料設定"));
        QCOMPARE(s.pages()->currentIndex(), 0);
        QCOMPARE(s.pages()->tabText(0), u("用戶資料"));
        QCOMPARE(s.pages()->tabText(1), u("外掛功能"));
        QCOMPARE(s.userField(0)->text(), u("LUMO經絡能量分析儀"));
        QCOMPARE(s.saveAction()->text(), u("儲存資料  "));
        QCOMPARE(s.leaveAction()->text(), u("   離  開   "));
        QStringList labels;
        for (QLabel* l : s.findChildren<QLabel*>())
            labels << l->text();
        QVERIFY(labels.contains(u("(本資料將在列印報表時顯示在第二行) ")));
        s.userField(1)->setFocus();
        s.userField(1)->selectAll();
        typeKeys(QStringLiteral(" Report title "));
        clickTab(s.pages(), 1);
        ProgramRows* rows = s.programRows();
        QVERIFY(rows->box(1)->isChecked());
        QVERIFY(rows->box(2)->isChecked());
        QVERIFY(!rows->box(4)->isChecked());
        QCOMPARE(rows->hintField(4)->toolTip(), QStringLiteral("notes"));
        QCOMPARE(rows->programField(2)->toolTip(), QStringLiteral("wmplayer.exe"));
        clickBox(rows->box(2));
        rows->programField(4)->setFocus();
        typeKeys(QStringLiteral("  /usr/bin/gedit "));
        QCOMPARE(rows->programField(4)->toolTip(), QStringLiteral("  /usr/bin/gedit "));
        s.saveAction()->trigger();
        QCOMPARE(s.result(), int(QDialog::Accepted));
        QCOMPARE(f.state.config.UserName2, QStringLiteral(" Report title "));
        QCOMPARE(f.state.config.ToolFlags, QStringLiteral("101000"));
        QCOMPARE(f.state.config.ToolProgram[3], QStringLiteral("/usr/bin/gedit"));
        // The file holds the same.
        QCOMPARE(f.line(8), QStringLiteral(" Report title "));
        QCOMPARE(f.line(18), QStringLiteral("101000"));
        QCOMPARE(f.line(28), QStringLiteral("/usr/bin/gedit"));
        QCOMPARE(f.line(7), u("LUMO經絡能量分析儀"));
    }

    // 操作人員: usable outside practice mode and by admins; for anyone else
    // there but disabled, its tool tip saying why.
    void operatorsTabFollowsRole_data()
    {
        QTest::addColumn<bool>("practice");
        QTest::addColumn<Role>("role");
        QTest::addColumn<bool>("usable");
        QTest::newRow("alone at home") << false << Role::Assistant << true;
        QTest::newRow("admin") << true << Role::Admin << true;
        QTest::newRow("practitioner") << true << Role::Practitioner << false;
        QTest::newRow("assistant") << true << Role::Assistant << false;
    }
    void operatorsTabFollowsRole()
    {
        QFETCH(bool, practice);
        QFETCH(Role, role);
        QFETCH(bool, usable);
        Settings f;
        f.state.Session = {practice, QStringLiteral("amy"), role, QStringLiteral("ws")};
        TZuCust s(f.state);
        QCOMPARE(s.pages()->count(), 3);
        QCOMPARE(s.pages()->tabText(2), u("操作人員"));
        QCOMPARE(s.pages()->isTabEnabled(2), usable);
        QCOMPARE(s.pages()->tabToolTip(2) == refusalReason(Permission::Operators), !usable);
    }

    // 螢幕鎖定 typed by keys on page 用戶資料, then 儲存資料: the value the box
    // allows reaches the running setting and its own file, never the settings file.
    void idleTimeTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("saved");
        QTest::newRow("a quarter of an hour") << QStringLiteral("15") << 15;
        QTest::newRow("highest") << QStringLiteral("120") << 120;
        QTest::newRow("a digit beyond 120 is refused") << QStringLiteral("121") << 12;
        QTest::newRow("zero becomes the lowest") << QStringLiteral("0") << 1;
        QTest::newRow("nothing becomes the lowest") << QString() << 1;
    }
    void idleTimeTyped()
    {
        QFETCH(QString, typed);
        QFETCH(int, saved);
        Settings f;
        const QByteArray before = f.file();
        TZuCust s(f.state);
        QVERIFY(showActive(s));
        QSpinBox* box = s.idleMinutesField();
        QCOMPARE(box->value(), 10);
        box->setFocus();
        box->selectAll();
        pressKey(Qt::Key_Delete);
        typeKeys(typed);
        s.saveAction()->trigger();
        QCOMPARE(s.result(), int(QDialog::Accepted));
        QCOMPARE(f.state.idleTime.minutes(), saved);
        QCOMPARE(f.file(), before);
        IdleTimeSetting nextStart;
        nextStart.load(f.state.DataDirectory);
        QCOMPARE(nextStart.minutes(), saved);
    }

    // Four empty texts are saved as empty lines; read again they take their defaults.
    void emptyTextsComeBackAsDefaults()
    {
        Settings f;
        TZuCust s(f.state);
        QVERIFY(showActive(s));
        for (int i = 0; i < 4; ++i)
            s.userField(i)->clear();
        s.saveAction()->trigger();
        QCOMPARE(f.state.config.UserName1, QString());
        for (int n = 7; n <= 10; ++n)
            QCOMPARE(f.line(n), QString());
        const Configuration again = parseConfiguration(f.file());
        QCOMPARE(again.UserName1, u("LUMO經絡能量分析儀"));
        QCOMPARE(again.UserData2, u("中西醫科學研究中心"));
    }

    // 離  開 and the close box leave the configuration and its file as they were.
    void leavingChangesNothing()
    {
        Settings f;
        const QByteArray before = f.file();
        const Configuration config = f.state.config;
        TZuCust s(f.state);
        QVERIFY(showActive(s));
        s.userField(0)->setText(QStringLiteral("changed"));
        s.programRows()->box(1)->setChecked(false);
        s.leaveAction()->trigger();
        QCOMPARE(s.result(), int(QDialog::Rejected));
        QCOMPARE(f.file(), before);
        QCOMPARE(serializeConfiguration(f.state.config), serializeConfiguration(config));
    }

    // A file that cannot be written: the general error report, the running
    // configuration unchanged, the screen still open.
    void unwritableFileChangesNothing()
    {
        Settings f;
        QVERIFY(QFile::remove(f.path()));
        QVERIFY(QDir().mkdir(f.path())); // a folder where the file belongs
        const Configuration config = f.state.config;
        TZuCust s(f.state);
        QVERIFY(showActive(s));
        s.userField(0)->setText(QStringLiteral("changed"));
        s.idleMinutesField()->setValue(30);
        s.saveAction()->trigger();
        QCOMPARE(f.messages.errors().size(), 1);
        QCOMPARE(serializeConfiguration(f.state.config), serializeConfiguration(config));
        QCOMPARE(f.state.idleTime.minutes(), 10); // all of the screen's settings or none
        QVERIFY(s.isVisible());
    }

    // The test buttons launch the row as typed, trimmed, without saving; an
    // empty program opens the parameter.
    void testButtonsLaunchUnsaved()
    {
        Settings f;
        const QByteArray before = f.file();
        TZuCust s(f.state);
        Recorder launcher;
        s.programRows()->launcher = launcher.platform();
        QVERIFY(showActive(s));
        clickTab(s.pages(), 1);
        ProgramRows* rows = s.programRows();
        rows->programField(5)->setText(QStringLiteral(" mpv "));
        rows->paramField(5)->setText(QStringLiteral(" --fs \"/media/a b.mp4\" "));
        QTest::mouseClick(rows->testButton(5), Qt::LeftButton);
        QTest::mouseClick(rows->testButton(1), Qt::LeftButton); // the default row 1: the web site
        QCOMPARE(launcher.calls, (QStringList{QStringLiteral("mpv|--fs|/media/a b.mp4"),
                                              QStringLiteral("open ") + QLatin1String(MakerWebAddress)}));
        QCOMPARE(f.file(), before);
    }

    // From the main window's menu: saved or not, the status bar and the
    // custom buttons follow the configuration as soon as the screen closes.
    void mainWindowFollows()
    {
        QTemporaryDir dir;
        SharedState state;
        ScriptedMessages messages;
        state.DataDirectory = dir.path() + QLatin1Char('/');
        state.messages = &messages;
        ShellInstrumentHooks hooks;
        hooks.startupCheck = [](QWidget*) { return true; };
        ModuleTable modules;
        modules[Module::UserSettings] = [](SharedState& s, QWidget* p) { return new TZuCust(s, p); };
        TZuForm w(state, modules, hooks, QStringLiteral(LUMO_SHARE_DIR));
        // Every program counts as installed here (wmplayer.exe too): the flags alone decide.
        LauncherPlatform everywhere = LauncherPlatform::system();
        everywhere.locate = [](const QString& p) { return p; };
        w.setLauncher(everywhere);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_VERIFY(state.InstrumentReady);
        QAction* item = nullptr;
        for (QAction* a : w.findChild<QMenu*>(QStringLiteral("MenuSupport"))->actions())
            if (a->text() == u("用戶資料設定")) item = a;
        QVERIFY(item);
        QVERIFY(w.toolAction(u("功能 2"))->isVisible());

        bool sawScreen = false;
        QTimer::singleShot(0, &w, [&] {
            auto* s = qobject_cast<TZuCust*>(QApplication::activeModalWidget());
            if (!s) return;
            sawScreen = true;
            auto close = qScopeGuard([s] {
                if (s->isVisible()) s->reject();
            });
            QVERIFY(!w.toolAction(u("專家療程"))->isEnabled()); // the toolbar waits
            s->userField(0)->setText(u("仁心診所"));
            s->programRows()->box(2)->setChecked(false);
            s->programRows()->hintField(3)->setText(QStringLiteral("  editor "));
            s->saveAction()->trigger();
        });
        item->trigger();
        QVERIFY(sawScreen);
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBarText"))->text(), u("仁心診所"));
        QVERIFY(w.toolAction(u("功能1"))->isVisible());
        QVERIFY(!w.toolAction(u("功能 2"))->isVisible());
        QVERIFY(w.toolAction(u("功能 3"))->isVisible());
        QVERIFY(!w.toolAction(u("功能 4"))->isVisible());
        QCOMPARE(w.toolAction(u("功能 3"))->toolTip(), QStringLiteral("editor"));
        QVERIFY(w.toolAction(u("專家療程"))->isEnabled());

        // Left without saving: nothing follows, because nothing changed.
        QTimer::singleShot(0, &w, [&] {
            if (auto* s = qobject_cast<TZuCust*>(QApplication::activeModalWidget())) {
                s->userField(0)->setText(QStringLiteral("not saved"));
                s->programRows()->box(2)->setChecked(true);
                s->reject();
            }
        });
        item->trigger();
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBarText"))->text(), u("仁心診所"));
        QVERIFY(!w.toolAction(u("功能 2"))->isVisible());
        messages.setDefaultAnswer(true);
    }
};

QTEST_MAIN(TestUserSettings)
#include "test_usersettings.moc"
