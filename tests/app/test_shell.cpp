#include "app/translations.h"
#include "app/tzuform.h"
#include "app/tzumsag.h"
#include "support/practicedir.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using namespace lumo;

namespace {

QStringList toolbarTexts(TZuForm& w)
{
    QStringList t;
    for (QAction* a : w.findChild<QToolBar*>(QStringLiteral("ToolBar1"))->actions())
        t << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return t;
}

struct Fixture : test::PracticeDir
{
    QStringList calls;
    ShellInstrumentHooks hooks(bool ready)
    {
        ShellInstrumentHooks h;
        h.startupCheck = [this, ready](QWidget*) {
            calls << QStringLiteral("check");
            return ready;
        };
        h.sendIdle = [this] { calls << QStringLiteral("X000000"); };
        h.playTone = [this](int t) { calls << QStringLiteral("tone%1").arg(t); };
        return h;
    }
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void toolbarAndMenus()
    {
        Fixture f;
        TZuForm w(f.state, {}, f.hooks(true), QStringLiteral(LUMO_SHARE_DIR));
        const QStringList expected = QString::fromUtf8(
            "經絡測量,多重比對,穴道定位,經絡解說,專家療程,數位校準,檔案處理,|,功能1,功能 2,功能 3,|,功能 4,功能 5,功能 6,|,離開系統")
                                         .split(QLatin1Char(','));
        QCOMPARE(toolbarTexts(w), expected);
        QStringList menus;
        for (QAction* a : w.menuBar()->actions()) menus << a->text();
        QCOMPARE(menus, QString::fromUtf8("經絡測量,多重比對,穴道定位,經絡解說,系統支援,關於版本").split(QLatin1Char(',')));
        QMenu* support = w.findChild<QMenu*>(QStringLiteral("MenuSupport"));
        QStringList items;
        for (QAction* a : support->actions()) items << (a->isSeparator() ? QStringLiteral("|") : a->text());
        QCOMPARE(items, QString::fromUtf8(
                            "專家療程設定,用戶資料設定,數位校準系統,量測誤差,|,檔案匯入/匯出,資料備份,稽核紀錄,候診區顯示,快速鍵一覽,|,離開系統")
                            .split(QLatin1Char(',')));
        // The hint as specified, and the key after it where the button has one.
        QCOMPARE(w.toolAction(QString::fromUtf8("經絡解說"))->toolTip(), QString::fromUtf8("各經絡相關資料圖例解說"));
        QCOMPARE(w.toolAction(QString::fromUtf8("離開系統"))->toolTip(),
                 QString::fromUtf8("退出L.U.M.O.系統執行 (Ctrl+Q)"));
        // Before the first activation everything is disabled and the menus hidden.
        for (QAction* a : w.moduleButtons()) QVERIFY(!a->isEnabled());
        QCOMPARE(w.moduleButtons().size(), 14);
        QVERIFY(!w.menuBar()->actions().first()->isVisible());
    }

    void firstActivationEnables()
    {
        Fixture f;
        TZuForm w(f.state, {}, f.hooks(true), QStringLiteral(LUMO_SHARE_DIR));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_VERIFY(f.state.InstrumentReady);
        QCOMPARE(f.calls, QStringList{QStringLiteral("check")});
        // Hidden actions always report disabled; the visible ones must be enabled.
        for (QAction* a : w.moduleButtons()) QVERIFY(!a->isVisible() || a->isEnabled());
        QVERIFY(w.menuBar()->actions().first()->isVisible());
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBarText"))->text(), QString::fromUtf8("LUMO經絡能量分析儀"));

        // Answering 否 keeps the window open with its buttons enabled.
        f.messages.push(false);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        for (QAction* a : w.moduleButtons()) QVERIFY(!a->isVisible() || a->isEnabled());
        QCOMPARE(f.calls, (QStringList{"check", "tone2"}));
        QCOMPARE(f.messages.shown().back().kind, int(AskAttention));
        QCOMPARE(f.messages.shown().back().text, QString::fromUtf8("您確定要結束本系統嗎?"));

        // 是 sends the instrument to idle before the databases close.
        f.messages.push(true);
        QVERIFY(w.close());
        QCOMPARE(f.calls, (QStringList{"check", "tone2", "tone2", "X000000"}));
        QVERIFY(!f.state.MainDatabase);
    }

    void closingMakesTheDaysCopy_data()
    {
        QTest::addColumn<bool>("folderBlocked");
        QTest::newRow("a copy in Backup/") << false;
        QTest::newRow("Backup is a file: told once, closes all the same") << true;
    }
    void closingMakesTheDaysCopy()
    {
        QFETCH(bool, folderBlocked);
        Fixture f;
        const QString folder = f.dir.filePath(QStringLiteral("Backup"));
        if (folderBlocked) {
            QFile block(folder);
            QVERIFY(block.open(QIODevice::WriteOnly));
        }
        TZuForm w(f.state, {}, f.hooks(true), QStringLiteral(LUMO_SHARE_DIR));
        w.setToday([] { return QDate(2026, 12, 9); });
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_VERIFY(f.state.InstrumentReady);
        f.messages.push(true);
        QVERIFY(w.close());
        if (folderBlocked) {
            QCOMPARE(f.messages.errors().size(), 1);
            QVERIFY(f.messages.errors().front().startsWith(QString::fromUtf8("備份資料庫失敗")));
        } else {
            QVERIFY(f.messages.errors().isEmpty());
            QVERIFY(QFileInfo(folder + QStringLiteral("/lumo4-20261209.mdb")).isFile());
        }
    }

    void swapRefusedWhileTheMainDatabaseIsOpenIsANotice()
    {
        Fixture f;
        f.start();
        f.state.MainDatabase.reset();
        f.state.KnowledgeDatabase.reset();
        QVERIFY(QFile::copy(f.dir.filePath(QStringLiteral("Zuspa.mdb")),
                            f.dir.filePath(QStringLiteral("lumo430.mdb"))));
        // Another workstation has the main database open.
        Status st;
        auto other = Database::open(f.dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main,
                                    Database::Access::ReadWrite, &st);
        QVERIFY(other);
        TZuForm w(f.state, {}, f.hooks(true), QStringLiteral(LUMO_SHARE_DIR));
        QCOMPARE(f.messages.shown().size(), size_t(1));
        QCOMPARE(f.messages.shown().front().kind, int(NoteAttention));
        QVERIFY(f.messages.shown().front().text.contains(
            QString::fromUtf8("lumo4.mdb 正由其他工作站或程式開啟中")));
        QVERIFY(f.state.MainDatabase); // the program goes on with the files as they were
        QVERIFY(QFile::exists(f.dir.filePath(QStringLiteral("lumo430.mdb"))));
        QVERIFY(!QFile::exists(f.dir.filePath(QStringLiteral("lumo.mdb"))));
    }

    void readableDataDirectoryIsOneNotice()
    {
        Fixture f;
        QVERIFY(QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                        QFile::ReadGroup | QFile::ExeGroup));
        TZuForm w(f.state, {}, f.hooks(true), QStringLiteral(LUMO_SHARE_DIR));
        QCOMPARE(f.messages.shown().size(), size_t(1));
        QCOMPARE(f.messages.shown().front().kind, int(NoteAttention));
        QVERIFY(f.messages.shown().front().text.contains(QString::fromUtf8("其他使用者也可以讀取")));
        QVERIFY(f.state.MainDatabase); // told, and the program goes on
    }

    void notReadyClosesWithoutQuestion()
    {
        Fixture f;
        TZuForm w(f.state, {}, f.hooks(false), QStringLiteral(LUMO_SHARE_DIR));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(f.messages.shown().empty());
        QVERIFY(!f.calls.contains(QStringLiteral("X000000")));
    }

    void customButtonsFollowToolFlags_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<bool>("programsFound");
        QTest::addColumn<QString>("visible");
        QTest::newRow("101") << "101" << true << "101111";
        QTest::newRow("default") << "111000" << true << "111000";
        QTest::newRow("blank fallback") << "000000" << true << "000000";
        QTest::newRow("other characters show") << "x0" << true << "101111";
        // wmplayer.exe and winword.exe are not on this computer: their buttons
        // do not show; an empty program (it opens the parameter) does.
        QTest::newRow("programs this computer lacks") << "111111" << false << "100111";
    }
    void customButtonsFollowToolFlags()
    {
        QFETCH(QString, flags);
        QFETCH(bool, programsFound);
        QFETCH(QString, visible);
        Fixture f;
        Configuration c = Configuration::createdDefaults();
        c.ToolFlags = flags;
        c.ToolHint[2] = QStringLiteral("hint three");
        QVERIFY(SaveConfiguration(f.dir.filePath(QStringLiteral("ZuDefTw.ini")), c).ok);
        TZuForm w(f.state, {}, f.hooks(true), QStringLiteral(LUMO_SHARE_DIR));
        LauncherPlatform platform = LauncherPlatform::system();
        platform.locate = [programsFound](const QString& p) { return programsFound ? p : QString(); };
        w.setLauncher(platform);
        w.show();
        QString shown;
        const char* captions[] = {"功能1", "功能 2", "功能 3", "功能 4", "功能 5", "功能 6"};
        for (const char* cap : captions) shown += w.toolAction(QString::fromUtf8(cap))->isVisible() ? '1' : '0';
        QCOMPARE(shown, visible);
        QCOMPARE(w.toolAction(QString::fromUtf8("功能 3"))->toolTip(), QStringLiteral("hint three"));
    }

    void missingTemplateClosesAfterMessage()
    {
        Fixture f;
        TZuForm w(f.state, {}, f.hooks(true), f.dir.filePath(QStringLiteral("no-delivered-files")));
        QVERIFY(w.creationFailed());
        QVERIFY(!f.messages.shown().empty());
        QCOMPARE(f.messages.shown().front().text, QString::fromUtf8("您沒有完全安裝 L.U.M.O.，資料庫不存在！請重新安裝LUMO。"));
        QCOMPARE(f.messages.shown().front().kind, int(NoteImportant));
    }

    void moduleOpensModallyWithButtonsDisabled()
    {
        Fixture f;
        bool wasDisabled = false;
        ModuleTable modules;
        TZuForm* form = nullptr;
        modules[Module::Explanation] = [&](SharedState&, QWidget* parent) {
            wasDisabled = !form->moduleButtons().first()->isEnabled();
            auto* d = new QDialog(parent);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        };
        TZuForm w(f.state, modules, f.hooks(true), QStringLiteral(LUMO_SHARE_DIR));
        form = &w;
        w.SetModuleButtonsEnabled(true);
        w.openModule(Module::Explanation);
        QVERIFY(wasDisabled);
        QVERIFY(w.moduleButtons().first()->isEnabled());
    }

    void messageDialogKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1 yes") << 1 << "BitBtnYes" << true << "詢問資訊";
        QTest::newRow("2 no") << 2 << "BitBtnNo" << false << "注意";
        QTest::newRow("3 yes") << 3 << "BitBtnYes" << true << "重要資訊";
        QTest::newRow("5 ok") << 5 << "BitBtnOk" << true << "注意";
        QTest::newRow("1 close box") << 1 << "" << false << "詢問資訊";
    }
    void messageDialogKinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, button);
        QFETCH(bool, result);
        QFETCH(QString, caption);
        TZuMsag d(kind, QStringLiteral("line one\r\nline two"));
        QCOMPARE(d.windowTitle(), caption);
        const bool question = kind <= 3;
        d.show();
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("BitBtnYes"))->isVisible(), question);
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("BitBtnNo"))->isVisible(), question);
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("BitBtnOk"))->isVisible(), !question);
        // Shown as text (a label), one line per line of the message.
        auto* text = d.findChild<QLabel*>(QStringLiteral("Memo1"));
        QVERIFY(text);
        QCOMPARE(text->text().split(QLatin1Char('\n')).size(), 2);
        if (button.isEmpty())
            d.close();
        else
            d.findChild<QPushButton*>(button)->click();
        QCOMPARE(d.result(), result);
    }

    // Last: from here on Qt's own texts are Traditional Chinese in this process.
    void qtDialogsSpeakTraditionalChinese()
    {
        QVERIFY2(installQtTranslations(*qApp), "qtbase_zh_TW.qm (qt6-translations-l10n) is not installed");
        QDialogButtonBox buttons(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("取消"));
        QCOMPARE(buttons.button(QDialogButtonBox::Save)->text(), QString::fromUtf8("儲存"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QString::fromUtf8("另存新檔"));
        QCOMPARE(QCoreApplication::translate("QPrintDialog", "Print"), QString::fromUtf8("列印"));
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
