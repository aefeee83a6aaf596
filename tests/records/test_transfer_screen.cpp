// The import and export screen through its controls: what opening shows, the
// lists and counts of the ticked boxes, the button states of both pages, a
// directory typed as a user types it, and the controls while an operation runs.
#include "records/transferfolders.h"
#include "records/ui/directorychooser.h"
#include "records/ui/tzufile.h"
#include "shell/sharedstate.h"
#include "support/keys.h"
#include "transferfixture.h"
#include "widgets/gradientbar.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>

using namespace lumo;
using namespace lumo::test;

namespace {

struct Screen
{
    TransferPractice p;
    SharedState state;
    std::unique_ptr<TZuFile> screen;
    Screen()
    {
        fillPractice(*p.main);
        state.DataDirectory = p.dataDir;
        state.MainDatabase = std::move(p.main);
        state.messages = &p.messages;
        screen = std::make_unique<TZuFile>(state);
    }
    template <typename T> T* find(const char* name) { return screen->findChild<T*>(QLatin1String(name)); }
    QAction* action(const char* name) { return find<QAction>(name); }
    QCheckBox* box(const char* name) { return find<QCheckBox>(name); }
    void chooseByTyping(DirectoryChooser* chooser, const QString& path)
    {
        chooser->pathBox()->setFocus();
        chooser->pathBox()->selectAll();
        typeKeys(path);
        pressKey(Qt::Key_Return);
    }
};

} // namespace

class TestTransferScreen : public QObject
{
    Q_OBJECT
private slots:
    // The folder last exported to is kept in the workstation's settings: the tests' own.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void opening()
    {
        Screen s;
        QVERIFY(showActive(*s.screen));
        QCOMPARE(s.screen->windowTitle(), u("檔案匯入/匯出作業"));
        QCOMPARE(s.screen->pages()->currentIndex(), 0);
        QCOMPARE(s.screen->pages()->tabText(0), u("匯出"));
        QCOMPARE(s.screen->pages()->tabText(1), u("匯入"));
        QCOMPARE(s.find<QStatusBar>("StatusBar1")->currentMessage(),
                 u("本功能會將系統工作目錄下的檔案資料，匯出到您所指定的磁碟或目錄中。"));
        for (const char* hidden : {"DBGrid1", "DBGrid2"})
            QVERIFY(s.find<QTableView>(hidden)->isHidden());
        for (const char* hidden : {"ProgramCount", "SubjectCount"})
            QVERIFY(s.find<QLabel>(hidden)->isHidden());
        QVERIFY(!s.action("ToolButton1")->isEnabled());
        QVERIFY(!s.action("ToolButton2")->isEnabled());
        QVERIFY(s.action("ToolButton3")->isEnabled());
        QCOMPARE(s.action("ToolButton1")->toolTip(), u("開始將選取的資料匯出至外部檔案"));
        QCOMPARE(s.action("ToolButton2")->toolTip(), u("開始將外部檔案資料匯入至系統中"));
        // Where transfer files are carried (a removable drive, else home), never "/".
        QCOMPARE(s.screen->exportChooser()->directory(), transferStartFolder());
        QCOMPARE(s.screen->importChooser()->directory(), transferStartFolder());
        QCOMPARE(s.find<QLabel>("WorkDirectory")->text(), QDir::toNativeSeparators(s.p.dataDir));
        QVERIFY(!s.box("CheckBox6")->isEnabled()); // 不含個人資料 belongs to the CSV box
        // Every screen fits the smallest display the program supports.
        QVERIFY(s.screen->width() <= 1366 && s.screen->height() <= 740);
    }

    void tickedBoxesShowTheirListsAndCounts()
    {
        Screen s;
        QVERIFY(showActive(*s.screen));
        s.box("CheckBox1")->click();
        QTableView* programs = s.find<QTableView>("DBGrid1");
        QVERIFY(!programs->isHidden());
        QCOMPARE(s.find<QLabel>("ProgramCount")->text(), QStringLiteral("[     3]"));
        QCOMPARE(programs->model()->headerData(1, Qt::Horizontal).toString(), u("療程名稱"));
        QCOMPARE(programs->model()->index(0, 0).data().toString(), QStringLiteral("P1")); // by ProNo
        QVERIFY(s.action("ToolButton1")->isEnabled());
        s.box("CheckBox2")->click();
        QTableView* subjects = s.find<QTableView>("DBGrid2");
        QCOMPARE(s.find<QLabel>("SubjectCount")->text(), QStringLiteral("[     3]"));
        QCOMPARE(subjects->model()->headerData(2, Qt::Horizontal).toString(), u("地址"));
        QStringList numbers;
        for (int r = 0; r < 3; ++r)
            numbers << subjects->model()->index(r, 0).data().toString();
        QCOMPARE(numbers, (QStringList{"C1", "C2", "C3"}));
        s.box("CheckBox1")->click();
        s.box("CheckBox2")->click();
        QVERIFY(programs->isHidden() && subjects->isHidden());
        QVERIFY(!s.action("ToolButton1")->isEnabled());
        s.box("CheckBox5")->click();
        QVERIFY(s.action("ToolButton1")->isEnabled());
        QVERIFY(s.box("CheckBox6")->isEnabled());
    }

    void importButtonFollowsBoxesAndDirectory_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("withFile");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no box, no file") << false << false << false;
        QTest::newRow("a box, no file") << true << false << false;
        QTest::newRow("no box, a file") << false << true << false;
        QTest::newRow("a box and a file") << true << true << true;
    }
    void importButtonFollowsBoxesAndDirectory()
    {
        QFETCH(bool, ticked);
        QFETCH(bool, withFile);
        QFETCH(bool, enabled);
        Screen s;
        const QString dir = s.p.folder(QStringLiteral("stick"));
        if (withFile) {
            QFile f(dir + QStringLiteral("/zutran.MDB"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(showActive(*s.screen));
        s.screen->pages()->setCurrentIndex(1);
        QCOMPARE(s.find<QStatusBar>("StatusBar1")->currentMessage(),
                 u("本功能會將您所指定的磁碟或目錄中檔案資料，匯入到系統工作目錄中。"));
        if (ticked) s.box("CheckBox4")->click();
        s.chooseByTyping(s.screen->importChooser(), dir);
        QCOMPARE(s.find<QListWidget>("FileListBox1")->count(), withFile ? 1 : 0);
        if (withFile)
            QCOMPARE(s.find<QListWidget>("FileListBox1")->item(0)->text(), QStringLiteral("zutran.MDB"));
        QCOMPARE(s.action("ToolButton2")->isEnabled(), enabled);
        QVERIFY(!s.action("ToolButton1")->isEnabled());
        // Back on the export page the import is off again.
        s.screen->pages()->setCurrentIndex(0);
        QVERIFY(!s.action("ToolButton2")->isEnabled());
    }

    void exportAndImportThroughTheScreen()
    {
        Screen s;
        const QString dir = s.p.folder(QStringLiteral("stick"));
        QVERIFY(showActive(*s.screen));
        s.box("CheckBox1")->click();
        s.box("CheckBox2")->click();
        s.chooseByTyping(s.screen->exportChooser(), dir);
        int moved = 0;
        bool lockedWhileRunning = true;
        s.screen->progressHook = [&](int value) {
            if (value == 0) return;
            ++moved;
            lockedWhileRunning = lockedWhileRunning && !s.action("ToolButton3")->isEnabled() &&
                                 !s.action("ToolButton1")->isEnabled() && !s.screen->pages()->isEnabled();
            s.screen->close(); // refused while the operation runs
        };
        s.action("ToolButton1")->trigger();
        QVERIFY(moved > 0);
        QVERIFY(lockedWhileRunning);
        QVERIFY(s.screen->isVisible());
        QVERIFY(s.action("ToolButton3")->isEnabled());
        QCOMPARE(s.find<GradientBar>("ProgressBar1")->value(), 0);
        QCOMPARE(s.p.shownTexts().last(), TransferFlow::exportSuccess());
        QVERIFY(QFile::exists(dir + QStringLiteral("/ZuTran.mdb")));
        QCOMPARE(s.screen->exportChooser()->findChild<QLabel*>(QStringLiteral("TransferFileNote"))->text(),
                 u("此目錄中有 ZuTran.mdb"));
        // The next opening's export starts where this one went.
        QCOMPARE(TZuFile(s.state).exportChooser()->directory(), dir);

        // The same file back with 取代原有資料: the programs are replaced by themselves.
        s.screen->progressHook = {};
        s.p.clear();
        s.screen->pages()->setCurrentIndex(1);
        s.box("CheckBox3")->click();
        s.find<QRadioButton>("RadioButton2")->click();
        s.chooseByTyping(s.screen->importChooser(), dir);
        QVERIFY(s.action("ToolButton2")->isEnabled());
        s.action("ToolButton2")->trigger();
        QCOMPARE(s.p.shownTexts().first(), TransferFlow::importQuestion(true));
        QCOMPARE(s.p.shownTexts().last(), TransferFlow::importSuccess(true));
        QCOMPARE(countOf(*s.state.MainDatabase, "ZUPRO"), 3);
        QCOMPARE(countOf(*s.state.MainDatabase, "ZUCUST"), 3);
        QVERIFY(!QFile::exists(s.p.dataDir + QStringLiteral("ZuTran.mdb")));
    }

    // The first drive mounted under a desktop's mount folders, else home.
    void startFolder_data()
    {
        QTest::addColumn<QStringList>("made"); // folders made below the temporary root
        QTest::addColumn<QString>("expected"); // below the root; "home" for the home folder
        QTest::newRow("nothing mounted") << QStringList{"media/op"} << "home";
        QTest::newRow("a stick for the user")
            << QStringList{"media/op/STICK", "media/op/CARD"} << "media/op/CARD";
        QTest::newRow("mounted by the system") << QStringList{"run/media/op/DISK"} << "run/media/op/DISK";
        QTest::newRow("the user's own mount folder is no drive") << QStringList{"media/op"} << "home";
    }
    void startFolder()
    {
        QFETCH(QStringList, made);
        QFETCH(QString, expected);
        QTemporaryDir root;
        for (const QString& m : made)
            QVERIFY(QDir(root.path()).mkpath(m));
        const QStringList roots = {root.filePath(QStringLiteral("media/op")),
                                   root.filePath(QStringLiteral("run/media/op")),
                                   root.filePath(QStringLiteral("media"))};
        const QString home = root.filePath(QStringLiteral("home"));
        QCOMPARE(transferStartFolder(roots, home),
                 expected == QLatin1String("home") ? home : root.filePath(expected));
    }

    // 新增資料夾: a plain name is made and chosen; anything else is refused with the reason.
    void newFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("made");
        QTest::newRow("a name") << "匯出 2026" << true;
        QTest::newRow("empty") << "  " << false;
        QTest::newRow("a path") << "a/b" << false;
        QTest::newRow("the parent") << ".." << false;
        QTest::newRow("already there") << "stick" << false;
    }
    void newFolder()
    {
        QFETCH(QString, name);
        QFETCH(bool, made);
        Screen s;
        const QString dir = s.p.folder(QStringLiteral("stick"));
        const QString parent = QFileInfo(dir).absolutePath();
        DirectoryChooser* chooser = s.screen->exportChooser();
        chooser->setDirectory(parent);
        chooser->askFolderName = [name](QWidget*) { return name; };
        QSignalSpy failed(chooser, &DirectoryChooser::failed);
        chooser->createFolder(name);
        QCOMPARE(failed.isEmpty(), made);
        QCOMPARE(chooser->directory(), made ? QDir(parent).filePath(name.trimmed()) : parent);
        if (made) QVERIFY(QFileInfo(QDir(parent).filePath(name.trimmed())).isDir());
    }

    // A destination that does not exist is said as such, before the question,
    // and nothing is written.
    void exportToAMissingFolderSaysSo()
    {
        Screen s;
        QVERIFY(showActive(*s.screen));
        s.box("CheckBox1")->click();
        const QString missing = s.p.folder(QStringLiteral("stick")) + QStringLiteral("/not there");
        s.chooseByTyping(s.screen->exportChooser(), missing);
        s.action("ToolButton1")->trigger();
        QCOMPARE(s.p.shownTexts(), QStringList{missingDestinationMessage(missing)});
        QVERIFY(!QFileInfo::exists(missing));
    }

    void leaving()
    {
        Screen s;
        QVERIFY(showActive(*s.screen));
        s.action("ToolButton3")->trigger();
        QVERIFY(!s.screen->isVisible());
    }
};

QTEST_MAIN(TestTransferScreen)
#include "test_transfer_screen.moc"
