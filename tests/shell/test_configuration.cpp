#include "base/codec.h"
#include "shell/configuration.h"
#include "base/formats.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace lumo;

namespace {

// A file of the given lines (UTF-8 here, CP950 on disk), CR LF separated.
QByteArray fileOf(const QStringList& lines)
{
    QByteArray out;
    for (const QString& l : lines) out += toCp950(l) + "\r\n";
    return out;
}

QStringList createdLines()
{
    QByteArray bytes = serializeConfiguration(Configuration::createdDefaults());
    QStringList lines = fromCp950(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast(); // after the final CR LF
    return lines;
}

} // namespace

class TestConfiguration : public QObject
{
    Q_OBJECT
private slots:
    void createdFileHas36Lines()
    {
        const QStringList lines = createdLines();
        QCOMPARE(lines.size(), 36);
        const QStringList expected = {
            "4000", "4000", "0111000000000000000", "1", shortDate(QDate::currentDate()), "0",
            QString::fromUtf8("LUMO經絡能量分析儀"), QString::fromUtf8("LUMO 經絡能量分析儀分析報表"),
            QString::fromUtf8("Quenta事業有限公司"), QString::fromUtf8("中西醫科學研究中心"), "11000", "1", "0", "2", "0",
            "0", "1", "111000", QString::fromUtf8("連結Quenta事業有限公司全球資訊網"), QString::fromUtf8("啟動影音播放功能"),
            QString::fromUtf8("文件編輯功能"), "", "", "", "", "wmplayer.exe", "winword.exe", "", "", "",
            QString::fromLatin1(MakerWebAddress), "", "", "", "", ""};
        QCOMPARE(lines, expected);
    }

    void reals_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << 1.0 << "1";
        QTest::newRow("two and a half") << 2.5 << "2.5";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("highest") << 123.456 << "123.456";
    }
    void reals()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        Configuration c = Configuration::createdDefaults();
        c.MinResponse = value;
        QCOMPARE(fromCp950(serializeConfiguration(c)).split(QStringLiteral("\r\n")).at(3), text);
        QCOMPARE(parseConfiguration(serializeConfiguration(c)).MinResponse, value);
    }

    // One line replaced in an otherwise created file.
    void lineRules_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("calib 1999") << 1 << "1999" << "CalibStandard" << QVariant(4000);
        QTest::newRow("calib 2000") << 1 << "2000" << "CalibStandard" << QVariant(2000);
        QTest::newRow("calib text") << 1 << "abc" << "CalibStandard" << QVariant(4000);
        QTest::newRow("calib high blank") << 2 << "" << "CalibHigh" << QVariant(4000);
        QTest::newRow("calib high 3500") << 2 << "3500" << "CalibHigh" << QVariant(3500);
        QTest::newRow("flag 1 blank") << 6 << "1 " << "HighPotential" << QVariant(false);
        QTest::newRow("flag 1") << 6 << "1" << "HighPotential" << QVariant(true);
        QTest::newRow("flag blank 1") << 6 << " 1" << "HighPotential" << QVariant(false);
        QTest::newRow("name three blanks") << 7 << "   " << "UserName1" << QVariant(QString::fromUtf8("LUMO經絡能量分析儀"));
        QTest::newRow("name with blanks kept") << 7 << "  Clinic  " << "UserName1" << QVariant(QStringLiteral("  Clinic  "));
        QTest::newRow("name tab only") << 7 << "\t" << "UserName1" << QVariant(QString::fromUtf8("LUMO經絡能量分析儀"));
        QTest::newRow("tool flags blank") << 18 << "" << "ToolFlags" << QVariant(QStringLiteral("000000"));
        QTest::newRow("comma decimal") << 4 << "2,5" << "MinResponse" << QVariant(1.0);
        QTest::newRow("point decimal") << 4 << "2.5" << "MinResponse" << QVariant(2.5);
        QTest::newRow("highest blank") << 15 << "" << "LocateHighest" << QVariant(0.0);
        QTest::newRow("sensitivity text") << 14 << "x" << "LocateSensitivity" << QVariant(2);
        QTest::newRow("style text") << 17 << "?" << "PointPictureStyle" << QVariant(1);
        QTest::newRow("hint blank kept empty") << 19 << "" << "ToolHint1" << QVariant(QString());
        QTest::newRow("program blanks kept") << 26 << "  " << "ToolProgram2" << QVariant(QStringLiteral("  "));
        QTest::newRow("print options blank") << 3 << " " << "PrintOptions" << QVariant(QStringLiteral("0111000000000000000"));
        QTest::newRow("reserved blank") << 11 << "" << "ReservedFlags" << QVariant(QStringLiteral("11000"));
    }
    void lineRules()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        QFETCH(QString, setting);
        QFETCH(QVariant, expected);
        QStringList lines = createdLines();
        lines[line - 1] = text;
        Configuration c = parseConfiguration(fileOf(lines));
        int index = 0;
        for (int i = 1; i <= ConfigurationLineCount; ++i)
            if (setting == QLatin1String(settingName(i))) index = i;
        QVERIFY(index > 0);
        SettingRef ref = settingRef(c, index);
        QVariant actual;
        if (auto* i = std::get_if<int*>(&ref)) actual = **i;
        else if (auto* d = std::get_if<double*>(&ref)) actual = **d;
        else if (auto* b = std::get_if<bool*>(&ref)) actual = **b;
        else if (auto* s = std::get_if<QString*>(&ref)) actual = **s;
        QCOMPARE(actual, expected);
    }

    void shortFileTakesFallbacks()
    {
        QStringList lines = createdLines().mid(0, 10);
        Configuration c = parseConfiguration(fileOf(lines));
        QCOMPARE(c.UserData2, QString::fromUtf8("中西醫科學研究中心"));
        QCOMPARE(c.ReservedFlags, QStringLiteral("11000"));
        QCOMPARE(c.LocateSound, false);
        QCOMPARE(c.LocateSensitivity, 2);
        QCOMPARE(c.PointPictureStyle, 1);
        QCOMPARE(c.ToolFlags, QStringLiteral("000000"));
        QCOMPARE(c.ToolParam[0], QString());
    }

    void lineEndsAndExtraLines()
    {
        QStringList lines = createdLines();
        lines << "extra 37" << "extra 38";
        QByteArray lf = fileOf(lines).replace("\r\n", "\n");
        Configuration c = parseConfiguration(lf);
        QCOMPARE(c.UserName1, QString::fromUtf8("LUMO經絡能量分析儀"));
        QCOMPARE(c.ToolParam[0], QString::fromLatin1(MakerWebAddress));
        QCOMPARE(serializeConfiguration(c), serializeConfiguration(parseConfiguration(fileOf(createdLines()))));
    }

    void invalidCp950BytesAreReplaced()
    {
        QByteArray content = fileOf(createdLines());
        content.replace(toCp950(QString::fromUtf8("LUMO經絡能量分析儀")), QByteArray("Name\xfa\x40X"));
        Configuration c = parseConfiguration(content);
        QCOMPARE(c.UserName1, QString::fromUtf8("Name\uFFFD@X"));
    }

    void printOptionsBeyondEndAreOff()
    {
        Configuration c = Configuration::createdDefaults();
        QCOMPARE(c.PrintOptions.size(), 19);
        QVERIFY(!c.printOption(1));
        QVERIFY(c.printOption(2) && c.printOption(3) && c.printOption(4));
        QVERIFY(!c.printOption(17));
        QVERIFY(!c.printOption(20));
    }

    void saveLoadRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ZuDefTw.ini"));
        Configuration c = Configuration::createdDefaults();
        c.UserName2 = QString::fromUtf8("  我的診所  ");
        c.MinResponse = 2.5;
        c.HighPotential = true;
        c.ToolHint[3] = QString::fromUtf8("說明四");
        QVERIFY(SaveConfiguration(path, c).ok);
        Configuration back;
        QVERIFY(LoadConfiguration(path, back).ok);
        QCOMPARE(serializeConfiguration(back), serializeConfiguration(c));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith("\r\n"));
    }

    void failedSaveKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ZuDefTw.ini"));
        QVERIFY(SaveConfiguration(path, Configuration::createdDefaults()).ok);
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QByteArray before = old.readAll();
        old.close();

        // A full disk, as the file system reports it: writes past 64 bytes fail.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
        Configuration changed = Configuration::createdDefaults();
        changed.UserName1 = QStringLiteral("changed");
        const Status s = SaveConfiguration(path, changed);
        setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(!s.ok);
        QVERIFY(!s.error.isEmpty());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("ZuDefTw.ini")});
    }

    // Only a regular file of at most 64 KiB is read; a device that never ends,
    // a FIFO that would block the start, a folder or a huge file are refused
    // at once and leave the configuration as it was.
    void loadReadsOnlySmallRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("read");
        QTest::newRow("at the bound") << "bound" << true;
        QTest::newRow("one byte above") << "above" << false;
        QTest::newRow("endless device") << "zero" << false;
        QTest::newRow("link to an endless device") << "link" << false;
        QTest::newRow("FIFO") << "fifo" << false;
        QTest::newRow("folder") << "folder" << false;
    }
    void loadReadsOnlySmallRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, read);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("ZuDefTw.ini"));
        if (kind == QLatin1String("bound") || kind == QLatin1String("above")) {
            QByteArray content = "2600\r\n";
            content += QByteArray(int(ConfigurationSizeLimit) - int(content.size()) +
                                      (kind == QLatin1String("above") ? 1 : 0),
                                  '\n');
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        } else if (kind == QLatin1String("zero")) {
            path = QStringLiteral("/dev/zero");
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        } else {
            QVERIFY(QDir().mkpath(path));
        }
        Configuration c = Configuration::createdDefaults();
        c.CalibStandard = 3000;
        const Status s = LoadConfiguration(path, c);
        QCOMPARE(s.ok, read);
        QCOMPARE(c.CalibStandard, read ? 2600 : 3000);
        if (!read) QVERIFY(s.error.contains(path));
    }

    void saveNeverReplacesASpecialFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ZuDefTw.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        QVERIFY(!SaveConfiguration(path, Configuration::createdDefaults()).ok);
        struct stat st
        {
        };
        QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList{QStringLiteral("ZuDefTw.ini")});
    }

    void loadOfMissingFileFails()
    {
        Configuration c;
        QVERIFY(!LoadConfiguration(QStringLiteral("/nonexistent/ZuDefTw.ini"), c).ok);
    }
};

QTEST_GUILESS_MAIN(TestConfiguration)
#include "test_configuration.moc"
