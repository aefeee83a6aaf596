#include "shell/ui/launcher.h"

#include <QSet>
#include <QtTest>

using namespace lumo;

namespace {

struct FakePlatform
{
    QSet<QString> files;
    QStringList opened;
    LauncherPlatform platform()
    {
        LauncherPlatform p;
        p.fileExists = [this](const QString& f) { return files.contains(f); };
        p.open = [this](const QString& file, const QString& param) { opened << file + QLatin1Char('|') + param; };
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
        QTest::addColumn<QString>("opened"); // empty: nothing started
        QTest::newRow("drive E found") << QStringList{"E:\\tools\\run.exe"} << "D:\\tools\\run.exe" << "" << "E:\\tools\\run.exe|";
        QTest::newRow("no drive holds it") << QStringList{} << "D:\\tools\\run.exe" << "x" << "";
        QTest::newRow("web address") << QStringList{} << "http://example.org/" << "" << "http://example.org/|";
        QTest::newRow("document only") << QStringList{"C:\\doc.txt"} << "" << "C:\\doc.txt" << "C:\\doc.txt|";
        QTest::newRow("parameter keeps caller's drive") << QStringList{"C:\\a.exe"} << "C:\\a.exe" << "F:\\x.doc" << "C:\\a.exe|F:\\x.doc";
        QTest::newRow("quote before drive") << QStringList{"\"G:\\p.exe"} << "\"D:\\p.exe" << "" << "\"G:\\p.exe|";
        QTest::newRow("blanks trimmed") << QStringList{} << "  notepad  " << "  file.txt " << "notepad|file.txt";
        QTest::newRow("unix path") << QStringList{} << "/usr/bin/true" << "" << "/usr/bin/true|";
    }
    void launches()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, program);
        QFETCH(QString, parameter);
        QFETCH(QString, opened);
        FakePlatform fake;
        for (const QString& f : files) fake.files.insert(f);
        LaunchProgram(program, parameter, fake.platform());
        QCOMPARE(fake.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    }

    void searchOrderStartsAtC()
    {
        FakePlatform fake;
        fake.files = {"C:\\x.exe", "E:\\x.exe"};
        QCOMPARE(searchDriveLetters(QStringLiteral("Z:\\x.exe"), fake.platform()).value(), QStringLiteral("C:\\x.exe"));
        QVERIFY(!searchDriveLetters(QStringLiteral("Z:\\y.exe"), fake.platform()));
    }
};

QTEST_GUILESS_MAIN(TestLauncher)
#include "test_launcher.moc"
