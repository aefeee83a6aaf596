// A subject's records as a folder: what it holds, that it appears whole or
// not at all (refusals, a write cut short, a name taken meanwhile), and the
// two commands as a script runs them.
#include "../app/clirunner.h"
#include "base/atomicfolder.h"
#include "base/codec.h"
#include "records/researchcsv.h"
#include "records/subjectexport.h"
#include "travelfixture.h"

#include <QDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <optional>
#include <sys/resource.h>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestSubjectExport : public QObject
{
    Q_OBJECT
private slots:
    void folderHoldsEverything()
    {
        TravelPractice p;
        const SubjectRow s = p.subject(QStringLiteral("A01"), u("王小明"));
        p.measurement(QStringLiteral("A01"), 30, 0);
        p.measurement(QStringLiteral("A01"), 0, 1); // refused by the analysis: printed with its reason
        p.subject(QStringLiteral("B01"), u("旁人"));
        p.measurement(QStringLiteral("B01"), 40, 0);
        QTemporaryDir out;
        const QString folder = out.filePath(subjectFolderName(s.CUSTNO, QDate(2024, 6, 1)));
        SubjectExportOutcome o;
        QVector<int> progress;
        QVERIFY(exportSubjectRecords(p.state, s, folder, p.state.config.PrintOptions, &o, [&](int done, int) {
                    progress << done;
                }).ok);
        QCOMPARE(o.measurements, 2);
        QCOMPARE(progress, (QVector<int>{1, 2}));
        QCOMPARE(entries(out.path()), QStringList{QStringLiteral("LUMO-A01-20240601")});
        const QStringList files = entries(folder);
        QCOMPARE(files.size(), 5);
        QVERIFY(files.contains(QLatin1String(SubjectBundleFile)));
        QVERIFY(files.contains(QLatin1String(ResearchMeasurementsFile)));
        QCOMPARE(files.filter(QStringLiteral("report-00")).size(), 2);
        for (const QString& f : files.filter(QStringLiteral(".pdf"))) {
            QFile pdf(QDir(folder).filePath(f));
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.read(5) == "%PDF-");
        }
        // The other subject's measurement stays out of this one's files.
        QFile csv(QDir(folder).filePath(QLatin1String(ResearchMeasurementsFile)));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), 3);
    }

    void refused_data()
    {
        QTest::addColumn<int>("case_"); // 0 the target exists, 1 no parent, 2 the number twice
        QTest::addColumn<QString>("message");
        QTest::newRow("the folder is there") << 0 << u("已經存在");
        QTest::newRow("no parent folder") << 1 << u("資料夾不存在");
        QTest::newRow("two subjects hold the number") << 2 << u("請先以「合併受測者」合併");
    }
    void refused()
    {
        QFETCH(int, case_);
        QFETCH(QString, message);
        TravelPractice p;
        const SubjectRow s = p.subject(QStringLiteral("A01"), u("王"));
        p.measurement(QStringLiteral("A01"), 30, 0);
        if (case_ == 2) p.subject(QStringLiteral("a01"), u("王"));
        QTemporaryDir out;
        QString folder = out.filePath(QStringLiteral("target"));
        if (case_ == 0) QVERIFY(QDir().mkdir(folder));
        if (case_ == 1) folder = out.filePath(QStringLiteral("missing/target"));
        const QStringList before = entries(out.path());
        const Status st = exportSubjectRecords(p.state, s, folder, p.state.config.PrintOptions);
        QVERIFY(!st.ok);
        QVERIFY2(st.error.contains(message), qPrintable(st.error));
        QCOMPARE(entries(out.path()), before);
        if (case_ == 0) QVERIFY(entries(folder).isEmpty());
    }

    // A write cut short while the reports are rendered on several threads:
    // by the file-size limit, for every file or only for the bundle this
    // thread writes while the helpers write reports. The export fails once,
    // naming the file, and nothing is left once every thread has stopped.
    void cutShortWhileRendering_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("names");
        QTest::newRow("every report and the bundle") << 10000 << QString();
        QTest::newRow("the bundle, the reports fit") << 120000 << QString::fromLatin1(SubjectBundleFile);
    }
    void cutShortWhileRendering()
    {
        QFETCH(int, limit);
        QFETCH(QString, names);
        TravelPractice p;
        const SubjectRow s = p.subject(QStringLiteral("A01"), u("王"));
        for (int day = 0; day < 12; ++day) // enough for the helper threads to take part
            p.measurement(QStringLiteral("A01"), 30 + day, day);
        QTemporaryDir out;
        rlimit was{};
        getrlimit(RLIMIT_FSIZE, &was);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r{rlim_t(limit), was.rlim_max};
        setrlimit(RLIMIT_FSIZE, &r);
        const Status st = exportSubjectRecords(p.state, s, out.filePath(QStringLiteral("target")),
                                               p.state.config.PrintOptions);
        setrlimit(RLIMIT_FSIZE, &was);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!st.ok);
        QVERIFY2(st.error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(st.error));
        QVERIFY2(st.error.contains(names.isEmpty() ? QStringLiteral("target") : names), qPrintable(st.error));
        QCOMPARE(st.error.count(QStringLiteral("target")), 1);
        QCOMPARE(entries(out.path()), QStringList());
    }

    void folderBeside()
    {
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("f"));
        {
            FolderBeside f(target);
            QVERIFY(f.begun().ok);
            QVERIFY(f.write(QStringLiteral("a.txt"), "a").ok);
            QVERIFY(!f.write(QStringLiteral("../b.txt"), "b").ok);
        } // gone without being placed
        QVERIFY(entries(out.path()).isEmpty());
        {
            FolderBeside f(target);
            QVERIFY(f.write(QStringLiteral("a.txt"), "a").ok);
            QVERIFY(QDir().mkdir(target)); // another process took the name meanwhile
            QVERIFY(!f.place().ok);
        }
        QCOMPARE(entries(out.path()), QStringList{QStringLiteral("f")});
        QVERIFY(entries(target).isEmpty());
    }

    // What a killed export left beside its target is removed at the next
    // export into that folder (and at start-up); nothing else is.
    void leftoversRemoved_data()
    {
        QTest::addColumn<QString>("left"); // the hidden folder's content
        QTest::addColumn<bool>("removed");
        QTest::newRow("a killed export's") << "lock file" << true;
        QTest::newRow("a living export's") << "living" << false;
        QTest::newRow("an operator's of a like name") << "file" << false;
        QTest::newRow("one holding a folder") << "lock dir" << false;
    }
    void leftoversRemoved()
    {
        QFETCH(QString, left);
        QFETCH(bool, removed);
        QTemporaryDir out;
        std::optional<FolderBeside> living;
        if (left == QLatin1String("living")) {
            living.emplace(out.filePath(QStringLiteral("f")));
            QVERIFY(living->write(QStringLiteral("subject.json"), "{}").ok);
        } else {
            const QDir hidden(out.filePath(QStringLiteral(".f.partial-Ab12Cd")));
            QVERIFY(QDir().mkpath(hidden.path()));
            for (const QString& what : left.split(QLatin1Char(' '))) {
                if (what == QLatin1String("dir")) QVERIFY(hidden.mkdir(QStringLiteral("sub")));
                QFile f(hidden.filePath(what == QLatin1String("lock") ? QStringLiteral(".lumo-partial")
                                                                      : QStringLiteral("subject.json")));
                if (what != QLatin1String("dir")) QVERIFY(f.open(QIODevice::WriteOnly));
            }
        }
        QCOMPARE(FolderBeside::removeLeftovers(out.path()).size(), removed ? 1 : 0);
        QCOMPARE(entries(out.path()).isEmpty(), removed);
    }

    // The commands: exit codes, what they print, and a write cut short by the
    // file-size limit leaving neither folder nor remains.
    void commands()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(runCli({QStringLiteral("--data-dir"), data, QStringLiteral("init")}).exitCode == 0);
        auto run = [&](QStringList args, rlim_t limit = RLIM_INFINITY) {
            return runCli(QStringList{QStringLiteral("--data-dir"), data} + args, {}, limit);
        };
        const QString csv = dir.filePath(QStringLiteral("list.csv"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(toCp950(u("姓名\t編號\t性別\r\n王小明\tA01\t男\r\n李大同\tA02\t女\r\n")));
        f.close();
        CliRun r = run(
            {QStringLiteral("import-subjects"), QStringLiteral("--csv"), csv, QStringLiteral("--dry-run")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains(u("可以新增 2 位")), qPrintable(r.out));
        r = run({QStringLiteral("import-subjects"), QStringLiteral("--csv"), csv});
        QCOMPARE(r.exitCode, 0);
        r = run(
            {QStringLiteral("import-subjects"), QStringLiteral("--csv"), csv}); // the numbers are there now
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(u("編號已經存在")), qPrintable(r.err));
        r = run({QStringLiteral("import-subjects"), QStringLiteral("--csv"), csv, QStringLiteral("--map"),
                 u("編號=9")});
        QCOMPARE(r.exitCode, 2);

        const QString out = dir.filePath(QStringLiteral("out"));
        QCOMPARE(run({QStringLiteral("export-subject"), QStringLiteral("--custno"), QStringLiteral("Z9"),
                      QStringLiteral("--to"), out})
                     .exitCode,
                 2);
        r = run({QStringLiteral("export-subject"), QStringLiteral("--custno"), QStringLiteral("a02"),
                 QStringLiteral("--to"), out},
                200);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(entries(dir.path()).filter(QStringLiteral("out")).isEmpty());
        r = run({QStringLiteral("export-subject"), QStringLiteral("--custno"), QStringLiteral("a02"),
                 QStringLiteral("--to"), out});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.trimmed(), QDir::toNativeSeparators(QDir(out).absolutePath()));
        QVERIFY(entries(out).contains(QLatin1String(SubjectBundleFile)));
    }
};

QTEST_MAIN(TestSubjectExport)
#include "test_subjectexport.moc"
