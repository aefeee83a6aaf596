// lumo-cli on the files a user can throw at it: a settings file that is a FIFO,
// an endless device or far too large; a disk that fills up; a report path that
// names a FIFO.
#include "clirunner.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumo;
using lumo::test::runCli;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isFifo(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// A data directory with one stored measurement (key 1), as after a day's work.
QString practice(const QTemporaryDir& dir)
{
    SharedState s;
    s.DataDirectory = dir.filePath(QStringLiteral("data")) + QLatin1Char('/');
    runStartupFileSteps(s, QStringLiteral(LUMO_SHARE_DIR));
    SubjectRow subject;
    subject.CUSTNO = QStringLiteral("P1");
    subject.NAME = QString::fromUtf8("王小明");
    SubjectStore(*s.MainDatabase).append(subject);
    MeasurementRow m;
    m.CUSTNO = subject.CUSTNO;
    for (int i = 0; i < 24; ++i)
        m.ZU[size_t(i)] = 20 + 2 * i;
    MeasurementStore(*s.MainDatabase).append(m);
    return s.DataDirectory;
}

} // namespace

class TestCliFiles : public QObject
{
    Q_OBJECT
private slots:
    void specialSettingsFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("FIFO") << "fifo" << 2;
        QTest::newRow("endless device") << "zero" << 2;
        QTest::newRow("one byte above 64 KiB") << "large" << 2;
        QTest::newRow("64 KiB") << "bound" << 0;
    }
    void specialSettingsFilesAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("ZuDefTw.ini"));
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0644), 0);
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), ini));
        } else {
            // 36 lines that a program could have written, then blank lines to the size.
            QByteArray content = "2500\r\n";
            content +=
                QByteArray(64 * 1024 - content.size() + (kind == QLatin1String("large") ? 1 : 0), '\n');
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const auto r = runCli({"--data-dir", dir.path(), "config", "dump"}, {}, RLIM_INFINITY, 30000);
        QVERIFY2(r.finished, "the command hung on the settings file");
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode == 0) {
            QVERIFY(r.out.contains(QStringLiteral("\"CalibStandard\": 2500")) ||
                    r.out.contains(QStringLiteral("\"CalibStandard\":2500")));
            return;
        }
        QVERIFY2(r.err.contains(QStringLiteral("ZuDefTw.ini")), qPrintable(r.err));
        // The special file stays what it was: nothing was written over it.
        if (kind == QLatin1String("fifo")) QVERIFY(isFifo(ini));
        if (kind == QLatin1String("zero")) QVERIFY(QFileInfo(ini).isSymLink());
    }

    void initOnAFullDiskReportsTheMissingFiles()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QCOMPARE(runCli({"--data-dir", data, "init"}).exitCode, 0);
        QDir pictures(data + QStringLiteral("/Data"));
        const QStringList all = pictures.entryList(QDir::Files);
        QVERIFY(all.size() >= 72);
        for (const QString& f : all)
            QVERIFY(pictures.remove(f));

        // Every picture is larger than what the disk takes now.
        const auto r = runCli({"--data-dir", data, "init"}, {}, 100 * 1024);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(all.first()) && r.err.contains(all.last()), qPrintable(r.err.left(2000)));
        QVERIFY(
            pictures.entryList(QDir::Files | QDir::Hidden).isEmpty()); // no half picture, no temporary file

        QCOMPARE(runCli({"--data-dir", data, "init"}).exitCode, 0);
        for (const QString& f : all)
            QCOMPARE(contentOf(pictures.filePath(f)), contentOf(QStringLiteral(LUMO_SHARE_DIR "/Data/") + f));
    }

    void writtenFilesOnAFullDiskKeepTheOldOnes_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("report") << "report";
        QTest::newRow("chart") << "chart";
    }
    void writtenFilesOnAFullDiskKeepTheOldOnes()
    {
        QFETCH(QString, command);
        QTemporaryDir dir;
        const QString data = practice(dir);
        const QString out =
            dir.filePath(command == QLatin1String("report") ? QStringLiteral("out/report.pdf")
                                                            : QStringLiteral("out/chart.png"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));
        QStringList args =
            command == QLatin1String("report")
                ? QStringList{"--data-dir", data,        "report",
                              "--mkey",     "1",         "--out",
                              out,          "--options", QString(20, QLatin1Char('1'))}
                : QStringList{"chart", "1", "--out", out, "--width", "3000", "--height", "2000"};
        if (command == QLatin1String("chart"))
            for (int i = 0; i < 24; ++i)
                args << QString::number(20 + 2 * i);
        QCOMPARE(runCli(args).exitCode, 0);
        const QByteArray good = contentOf(out);
        const rlim_t limit = 40 * 1024; // room for the databases' shared memory, not for the file
        QVERIFY2(good.size() > qint64(limit), qPrintable(QString::number(good.size())));

        const auto r = runCli(args, {}, limit);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(!r.err.isEmpty());
        QCOMPARE(contentOf(out), good);
        QCOMPARE(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QFileInfo(out).fileName()});
    }

    void reportNeverReplacesASpecialFile()
    {
        QTemporaryDir dir;
        const QString data = practice(dir);
        const QString fifo = dir.filePath(QStringLiteral("report.pdf"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        const auto r = runCli({"--data-dir", data, "report", "--mkey", "1", "--out", fifo});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("not a regular file")), qPrintable(r.err));
        QVERIFY(isFifo(fifo));
    }

    void storedRowOutOfRangePrintsUnanalysable()
    {
        QTemporaryDir dir;
        const QString data = practice(dir);
        {
            Status st;
            auto db = Database::open(data + QStringLiteral("lumo4.mdb"), FileKind::Main,
                                     Database::Access::ReadWrite, &st);
            auto row = MeasurementStore(*db).get(1);
            row->ZU[4] = 1e308;
            QVERIFY(MeasurementStore(*db).update(*row).ok);
        }
        const QString out = dir.filePath(QStringLiteral("report.pdf"));
        const auto r = runCli({"--data-dir", data, "report", "--mkey", "1", "--out", out, "--options",
                               QString(20, QLatin1Char('1'))});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.contains(QString::fromUtf8("無法分析")), qPrintable(r.err));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {out, QStringLiteral("-")});
        QVERIFY2(text.waitForFinished(30000) && text.exitCode() == 0, "pdftotext (poppler-utils) is needed");
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(printed.contains(QString::fromUtf8("無法分析")));
        QVERIFY(printed.contains(QString::fromUtf8("第 5 點")));
        QVERIFY(!printed.contains(QString::fromUtf8("體能")));      // no verdict
        QVERIFY(!printed.contains(QString::fromUtf8("身體能量:"))); // no body-state section
        QVERIFY(
            !printed.contains(QStringLiteral("1000000000000"))); // the value table does not spell out 1e308
        QVERIFY(printed.contains(QStringLiteral("---")));
    }

    // Runs killed at any moment leave nothing behind in the temporary folder
    // but the one runtime folder every run uses (each run once left a folder
    // of its own there).
    void killedRunsLeaveNoFolders()
    {
        QTemporaryDir dir;
        const QString tmp = dir.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(tmp));
        const QString data = practice(dir);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp);
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        auto entries = [&] {
            return QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };
        for (int i = 0; i < 3; ++i) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"),
                    {QStringLiteral("--data-dir"), data, QStringLiteral("demo"), QStringLiteral("--out"),
                     dir.filePath(QStringLiteral("out%1").arg(i))});
            QVERIFY(QTest::qWaitFor([&] { return !entries().isEmpty() || p.state() == QProcess::NotRunning; },
                                    60000));
            p.kill();
            p.waitForFinished(10000);
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"),
                {QStringLiteral("--data-dir"), data, QStringLiteral("init")});
        QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
        QCOMPARE(entries(), QStringList{QStringLiteral("lumo-cli-runtime-%1").arg(::getuid())});
    }
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "test_clifiles.moc"
