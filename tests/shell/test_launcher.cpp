#include "shell/shellwords.h"
#include "shell/ui/launcher.h"

#include <QSet>
#include <QtTest>

using namespace lumo;

namespace {

// A file system of named files and documents; records what was started and opened.
struct FakePlatform
{
    QSet<QString> files;
    QSet<QString> documents;
    QStringList calls;
    LauncherPlatform platform()
    {
        LauncherPlatform p;
        p.fileExists = [this](const QString& f) { return files.contains(f) || documents.contains(f); };
        p.isDocument = [this](const QString& f) { return documents.contains(f); };
        p.start = [this](const QString& program, const QStringList& args) {
            calls << QStringLiteral("start ") + program + QLatin1Char('|') + args.join(QLatin1Char('|'));
            return true;
        };
        p.openDocument = [this](const QString& target) {
            calls << QStringLiteral("open ") + target;
            return !target.isEmpty();
        };
        return p;
    }
};

} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT
private slots:
    void launches_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<QString>("call"); // empty: nothing started or opened
        QTest::newRow("drive E found") << QStringList{"E:\\tools\\run.exe"} << "D:\\tools\\run.exe"
                                       << ""
                                       << "start E:\\tools\\run.exe|";
        QTest::newRow("no drive holds it") << QStringList{} << "D:\\tools\\run.exe"
                                           << "x"
                                           << "";
        QTest::newRow("web address as program") << QStringList{} << "http://example.org/"
                                                << ""
                                                << "open http://example.org/";
        QTest::newRow("scheme with three letters") << QStringList{} << "ftp://host/x"
                                                   << "ignored"
                                                   << "open ftp://host/x";
        QTest::newRow("document only") << QStringList{"C:\\doc.txt"} << ""
                                       << "C:\\doc.txt"
                                       << "open C:\\doc.txt";
        QTest::newRow("folder only") << QStringList{} << "   "
                                     << "/home/op/notes "
                                     << "open /home/op/notes";
        QTest::newRow("parameter keeps caller's drive") << QStringList{"C:\\a.exe"} << "C:\\a.exe"
                                                        << "F:\\x.doc"
                                                        << "start C:\\a.exe|F:\\x.doc";
        QTest::newRow("quote before drive") << QStringList{"\"G:\\p.exe"} << "\"D:\\p.exe"
                                            << ""
                                            << "start \"G:\\p.exe|";
        QTest::newRow("blanks trimmed") << QStringList{} << "  notepad  "
                                        << "  file.txt "
                                        << "start notepad|file.txt";
        QTest::newRow("unix path") << QStringList{} << "/usr/bin/true"
                                   << ""
                                   << "start /usr/bin/true|";
        QTest::newRow("words split") << QStringList{} << "vlc"
                                     << "--fullscreen \"/media/my film.mp4\""
                                     << "start vlc|--fullscreen|/media/my film.mp4";
        QTest::newRow("no shell reads it") << QStringList{} << "echo"
                                           << "a; rm -rf ~ $(id) `x` | y"
                                           << "start echo|a;|rm|-rf|~|$(id)|`x`|||y";
        QTest::newRow("both empty: nothing to open") << QStringList{} << ""
                                                     << ""
                                                     << "";
    }
    void launches()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, program);
        QFETCH(QString, parameter);
        QFETCH(QString, call);
        FakePlatform fake;
        for (const QString& f : files)
            fake.files.insert(f);
        const LaunchOutcome o = LaunchProgram(program, parameter, fake.platform());
        QCOMPARE(fake.calls, call.isEmpty() ? QStringList() : QStringList{call});
        // Whatever started nothing says why; what started says nothing.
        QCOMPARE(o.started, !call.isEmpty());
        QCOMPARE(o.message.isEmpty(), o.started);
    }

    // A program that is a document (or a folder) is opened, not run, and its
    // parameter is not handed to anything.
    void documentAsProgramIsOpened()
    {
        FakePlatform fake;
        fake.documents = {QStringLiteral("/home/op/guide.pdf")};
        LaunchProgram(QStringLiteral("/home/op/guide.pdf"), QStringLiteral("--page 3"), fake.platform());
        QCOMPARE(fake.calls, QStringList{QStringLiteral("open /home/op/guide.pdf")});
    }

    // Nothing that fails is silent: a program this computer lacks is named
    // before anything is tried, one that cannot start and an address nothing
    // opens are named with the reason; the launcher never tries a second time.
    void failuresAreSaid_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<bool>("located");
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QString>("opener"); // why nothing opens documents and addresses
        QTest::addColumn<int>("attempts");   // start or open calls made
        QTest::addColumn<QString>("named");  // what the message names
        QTest::newRow("missing program") << "wmplayer.exe"
                                         << "x" << false << true << "" << 0 << "wmplayer.exe";
        QTest::newRow("cannot start") << "/opt/tool"
                                      << "" << true << false << "" << 1 << "/opt/tool";
        QTest::newRow("no browser") << ""
                                    << "http://example.org/" << true << true << "no browser" << 0
                                    << "no browser";
        QTest::newRow("found and started") << "/opt/tool"
                                           << "" << true << true << "" << 1 << "";
    }
    void failuresAreSaid()
    {
        QFETCH(QString, program);
        QFETCH(QString, parameter);
        QFETCH(bool, located);
        QFETCH(bool, startWorks);
        QFETCH(QString, opener);
        QFETCH(int, attempts);
        QFETCH(QString, named);
        FakePlatform fake;
        LauncherPlatform p = fake.platform();
        int calls = 0;
        p.locate = [located](const QString& prog) { return located ? prog : QString(); };
        p.start = [&](const QString&, const QStringList&) { return ++calls, startWorks; };
        p.openDocument = [&](const QString&) { return ++calls, true; };
        p.openerMissing = [opener](const QString&) { return opener; };
        const LaunchOutcome o = LaunchProgram(program, parameter, p);
        QCOMPARE(calls, attempts);
        QCOMPARE(o.started, named.isEmpty());
        QVERIFY2(o.message.contains(named), qPrintable(o.message));
        QCOMPARE(programFound(program, p), located);
    }

    void searchOrderStartsAtC()
    {
        FakePlatform fake;
        fake.files = {"C:\\x.exe", "E:\\x.exe"};
        QCOMPARE(searchDriveLetters(QStringLiteral("Z:\\x.exe"), fake.platform()).value(),
                 QStringLiteral("C:\\x.exe"));
        QVERIFY(!searchDriveLetters(QStringLiteral("Z:\\y.exe"), fake.platform()));
    }

    void shellWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("blanks only") << "  \t " << QStringList{};
        QTest::newRow("plain") << "a  b\tc" << QStringList{"a", "b", "c"};
        QTest::newRow("double quotes keep blanks") << "\"my file.txt\" x" << QStringList{"my file.txt", "x"};
        QTest::newRow("single quotes literal") << "'a \"b\" \\n $x'" << QStringList{"a \"b\" \\n $x"};
        QTest::newRow("quotes join a word") << "pre\"fix post\"'x'" << QStringList{"prefix postx"};
        QTest::newRow("empty quotes are a word") << "a \"\" b" << QStringList{"a", "", "b"};
        QTest::newRow("backslash outside quotes") << "my\\ file \\\"q" << QStringList{"my file", "\"q"};
        QTest::newRow("backslash in double quotes") << "\"a\\\"b\\\\c\\d\"" << QStringList{"a\"b\\c\\d"};
        QTest::newRow("open quote runs to the end") << "x \"open end" << QStringList{"x", "open end"};
        QTest::newRow("backslash paths kept")
            << "C:\\docs\\a.doc \\\\srv\\x" << QStringList{"C:\\docs\\a.doc", "\\srv\\x"};
        QTest::newRow("trailing backslash kept") << "end\\" << QStringList{"end\\"};
        QTest::newRow("nothing expanded") << "$HOME *.txt ~" << QStringList{"$HOME", "*.txt", "~"};
        QTest::newRow("chinese") << QString::fromUtf8("\"經絡 說明.pdf\"")
                                 << QStringList{QString::fromUtf8("經絡 說明.pdf")};
    }
    void shellWords()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QCOMPARE(splitShellWords(text), words);
    }

    void documentUrls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("web") << "http://www.example.org/a?b=1" << QUrl("http://www.example.org/a?b=1");
        QTest::newRow("mail") << "mailto:op@example.org" << QUrl("mailto:op@example.org");
        QTest::newRow("absolute file")
            << "/home/op/my file.pdf" << QUrl::fromLocalFile("/home/op/my file.pdf");
        QTest::newRow("drive letter is a file")
            << "C:/x" << QUrl::fromLocalFile(QDir::current().absoluteFilePath("C:/x"));
    }
    void documentUrls()
    {
        QFETCH(QString, text);
        QFETCH(QUrl, url);
        QCOMPARE(documentUrl(text), url);
    }
};

QTEST_GUILESS_MAIN(TestLauncher)
#include "test_launcher.moc"
