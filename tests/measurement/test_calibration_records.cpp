// What a calibration leaves behind: the log and its reminder, the calibration
// screen with its last five entries, and lumo-cli calibrate.
#include "base/formats.h"
#include "measurement/practicefixture.h"
#include "measurement/ui/tsyspt.h"
#include "records/caliblog.h"

#include <QAction>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

void grab(QWidget& w, const char* name)
{
    const QString dir = qEnvironmentVariable("LUMO_SCREENSHOTS");
    if (!dir.isEmpty()) w.grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

} // namespace

class TestCalibrationRecords : public QObject
{
    Q_OBJECT
private slots:
    void reminder_data()
    {
        QTest::addColumn<QList<int>>("daysAgo"); // oldest first; negative: a failed calibration
        QTest::addColumn<bool>("reminds");
        QTest::newRow("never calibrated") << QList<int>{} << false;
        QTest::newRow("30 days ago") << QList<int>{30} << false;
        QTest::newRow("31 days ago") << QList<int>{31} << true;
        QTest::newRow("a failure since does not count") << QList<int>{40, -1} << true;
        QTest::newRow("only failures") << QList<int>{-40} << false;
        QTest::newRow("calibrated again today") << QList<int>{45, 0} << false;
    }
    void reminder()
    {
        QFETCH(QList<int>, daysAgo);
        QFETCH(bool, reminds);
        Practice f;
        const QDate today(2026, 3, 15);
        CalibrationLog log(*f.state.MainDatabase);
        for (int d : daysAgo) {
            const CalibrationEntry e{
                QDateTime(today.addDays(-std::abs(d)), QTime(10, 0)), 4000, 4000, 4000, 4000, d >= 0};
            QVERIFY(log.append(e).ok);
        }
        QCOMPARE(calibrationReminder(*f.state.MainDatabase, today),
                 reminds ? u("距離上次校準已超過 30 天，建議重新校準。") : QString());
    }

    void latestFiveNewestFirst()
    {
        Practice f;
        CalibrationLog log(*f.state.MainDatabase);
        QVERIFY(log.latest(5).isEmpty()); // nothing logged yet
        const QDateTime t0(QDate(2026, 1, 1), QTime(9, 30, 15));
        for (int i = 0; i < 7; ++i)
            QVERIFY(log.append({t0.addDays(i), 3900 + i, 4000 + i, 3899 + i, 3999 + i, i % 2 == 0}).ok);
        const auto five = log.latest(5);
        QCOMPARE(five.size(), 5);
        QCOMPARE(five.first().standard, 3906);
        QCOMPARE(five.first().at, t0.addDays(6));
        QCOMPARE(five.last().standard, 3902);
        QCOMPARE(five.at(1).success, false);
        QCOMPARE(five.at(1).previousHigh, 4004);
    }

    // The screen: previous values from the settings, a calibration run through
    // the toolbar, the log's last entries; 停止校準 while waiting ends it.
    void screen()
    {
        Practice f;
        f.state.config.CalibStandard = 3800;
        f.state.config.CalibHigh = 3900;
        f.state.config.CalibDate = QStringLiteral("2025/01/02");
        HandleContact& handle = f.sim.sim.probe().handle();
        TSyspt screen(f.state, f.sim.instrument);
        screen.show();
        QCOMPARE(screen.windowTitle(), u("數位自動校準系統"));
        auto text = [&](const char* name) { return screen.findChild<QLabel*>(QLatin1String(name))->text(); };
        QCOMPARE(text("PreviousStandard"), QStringLiteral("3,800"));
        QCOMPARE(text("PreviousHigh"), QStringLiteral("3,900"));
        QCOMPARE(text("PreviousDate"), QStringLiteral("2025/01/02"));
        QCOMPARE(text("NewStandard"), QStringLiteral("    0"));
        QCOMPARE(text("StatusText"), u("環境校準值為本次與前一次的校準比值。"));
        QAction* start = screen.action(u("開始校準"));
        QAction* stop = screen.action(u("停止校準"));
        QAction* leave = screen.action(u("離  開"));
        QVERIFY(start->isEnabled() && !stop->isEnabled() && leave->isEnabled());

        // First a stop while waiting for the tip, then a calibration at 4045 / 3600.
        const qint64 t0 = f.sim.clock.nowMs();
        bool duringOk = false, stopped = false;
        f.sim.clock.setTick([&](qint64 now) {
            f.sim.sim.timeAdvanced();
            if (!stopped && screen.run().running() && now - t0 > 1500) {
                stopped = true;
                duringOk = !start->isEnabled() && stop->isEnabled() && !leave->isEnabled();
                grab(screen, "calibration-waiting");
                stop->trigger();
            }
        });
        start->trigger();
        QVERIFY(duringOk);
        QCOMPARE(screen.run().outcome(), CalibrationRun::Outcome::Stopped);
        QVERIFY(screen.logTable()->item(0, 0) == nullptr);

        handle.on = true;
        handle.standardCounts = 4045;
        handle.highCounts = 3600;
        bool lifted = false;
        f.sim.clock.setTick([&](qint64) {
            f.sim.sim.timeAdvanced();
            if (!lifted && screen.logTable()->item(0, 0)) {
                lifted = true;
                grab(screen, "calibration-success");
                handle.on = false;
            }
        });
        start->trigger();
        QCOMPARE(screen.run().outcome(), CalibrationRun::Outcome::Succeeded);
        QCOMPARE(text("NewStandard"), QStringLiteral("4,041"));
        QCOMPARE(text("NewHigh"), QStringLiteral("3,600"));
        QVERIFY(text("ResultText").isEmpty()); // emptied after the separation
        QCOMPARE(screen.logTable()->item(0, 1)->text(), QStringLiteral("4,041"));
        QCOMPARE(screen.logTable()->item(0, 3)->text(), QStringLiteral("3,800"));
        QCOMPARE(screen.logTable()->item(0, 5)->text(), u("成功"));
        QVERIFY(screen.logTable()->item(1, 0) == nullptr);
        QVERIFY(start->isEnabled() && !stop->isEnabled() && leave->isEnabled());
        leave->trigger();
        QVERIFY(!screen.isVisible());
    }

    void cli_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("standard");
        QTest::addColumn<int>("high");
        QTest::addColumn<bool>("success");
        QTest::addColumn<bool>("applied");
        QTest::newRow("default short circuit")
            << QStringList{"--simulate"} << 0 << 3996 << 4000 << true << true;
        QTest::newRow("N only: failed, previous values stay")
            << QStringList{"--simulate", "--short-counts", "2990"} << 3 << 2987 << 2990 << false << false;
        QTest::newRow("N only: failed, kept by --keep-failed")
            << QStringList{"--simulate", "--short-counts", "2990", "--keep-failed"} << 3 << 2987 << 2990
            << false << true;
        QTest::newRow("N,M") << QStringList{"--simulate", "--short-counts", "4045,3600"} << 0 << 4041 << 3600
                             << true << true;
        QTest::newRow("tip never closes")
            << QStringList{"--simulate", "--short-counts", "0"} << 2 << 0 << 0 << false << false;
        QTest::newRow("not a count") << QStringList{"--simulate", "--short-counts", "4000,x"} << 2 << 0 << 0
                                     << false << false;
        QTest::newRow("above 12 bits")
            << QStringList{"--simulate", "--short-counts", "5000"} << 2 << 0 << 0 << false << false;
        QTest::newRow("counts without --simulate")
            << QStringList{"--short-counts", "4000"} << 2 << 0 << 0 << false << false;
    }
    void cli()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(int, standard);
        QFETCH(int, high);
        QFETCH(bool, success);
        QFETCH(bool, applied);
        QTemporaryDir dir;
        const QString cli = QStringLiteral(LUMO_BIN_DIR "/lumo-cli");
        auto run = [&](const QStringList& args) {
            QProcess p;
            p.start(cli, QStringList{"--data-dir", dir.path()} + args);
            p.waitForFinished(120000);
            return std::make_tuple(p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError());
        };
        QCOMPARE(std::get<0>(run({"init"})), 0);
        QFile ini(dir.filePath(QLatin1String(ConfigurationFileName)));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray before = ini.readAll();
        ini.close();

        // --keep-failed belongs to the command, after its name.
        QStringList args = options;
        const bool keep = args.removeAll(QStringLiteral("--keep-failed")) > 0;
        auto [code, out, err] =
            run(args + QStringList{"calibrate"} + (keep ? QStringList{"--keep-failed"} : QStringList()));
        QVERIFY2(code == exitCode, err.constData());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray after = ini.readAll();
        ini.close();
        if (exitCode == 2) {
            QVERIFY(out.isEmpty());
            QVERIFY(!err.isEmpty());
            QCOMPARE(after, before); // nothing stored
            return;
        }
        const QJsonObject o = QJsonDocument::fromJson(out).object();
        QCOMPARE(o.value("CalibStandard").toInt(), standard);
        QCOMPARE(o.value("CalibHigh").toInt(), high);
        QCOMPARE(o.value("Success").toBool(), success);
        QCOMPARE(o.value("Applied").toBool(), applied);
        QCOMPARE(o.value("PreviousStandard").toInt(), 4000);
        QCOMPARE(o.value("PreviousHigh").toInt(), 4000);
        QCOMPARE(o.value("CalibDate").toString(), shortDate(QDate::currentDate()));
        if (applied) {
            Configuration saved = parseConfiguration(after);
            QCOMPARE(saved.CalibStandard, standard);
            QCOMPARE(saved.CalibHigh, high);
        } else {
            QCOMPARE(after, before);
        }

        // A second calibration sees the values in use as its previous ones, and both are logged.
        auto [code2, out2, err2] = run({"--simulate", "calibrate"});
        QCOMPARE(code2, 0);
        const QJsonObject o2 = QJsonDocument::fromJson(out2).object();
        QCOMPARE(o2.value("PreviousStandard").toInt(), applied ? standard : 4000);
        QCOMPARE(o2.value("PreviousHigh").toInt(), applied ? high : 4000);
        Status st;
        auto db = Database::open(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main,
                                 Database::Access::ReadOnly, &st);
        QVERIFY2(db, qPrintable(st.error));
        const auto log = CalibrationLog(*db).latest(5);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.last().standard, standard);
        QCOMPARE(log.last().success, success);
        QCOMPARE(log.last().applied, applied);
    }

    // A configuration that could not be read is not overwritten with defaults.
    void cliRefusesAnUnreadableConfiguration()
    {
        QTemporaryDir dir;
        const QString cli = QStringLiteral(LUMO_BIN_DIR "/lumo-cli");
        QProcess p;
        p.start(cli, {"--data-dir", dir.path(), "init"});
        QVERIFY(p.waitForFinished(60000));
        const QString ini = dir.filePath(QLatin1String(ConfigurationFileName));
        QVERIFY(QFile::remove(ini));
        QVERIFY(QDir().mkdir(ini)); // a folder where the file should be
        p.start(cli, {"--data-dir", dir.path(), "--simulate", "calibrate"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        QVERIFY(QFileInfo(ini).isDir());
    }
};

QTEST_MAIN(TestCalibrationRecords)
#include "test_calibration_records.moc"
