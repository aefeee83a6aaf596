#include "app/tzustatu.h"
#include "instrument/protocol.h"
#include "instrument/simfixture.h"
#include "records/conversion.h"
#include "records/database.h"
#include "shell/startupcheck.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

// The lamp commands (the A, B and I commands) in the order they were sent.
QList<QByteArray> lampCommands(const QList<QByteArray>& log)
{
    QList<QByteArray> out;
    for (const QByteArray& c : log)
        if (c.startsWith('A') || c.startsWith('B') || c.startsWith('I')) out << c;
    return out;
}

// A database of this program's layout, less the fields an older one lacked.
void makeOld(const QString& path, bool withProgramGroup, bool withProParm4, bool withAgeLimits)
{
    Status st;
    auto db = Database::create(path, FileKind::Main, &st);
    QVERIFY2(db, qPrintable(st.error));
    QSqlQuery q(db->sql());
    QStringList gone;
    if (!withProgramGroup) {
        gone << QStringLiteral("ProFN");
        for (const char* f : {"ProScrp", "ProPrg", "ProParm"})
            for (int i = 1; i <= 4; ++i)
                gone << QStringLiteral("%1%2").arg(QLatin1String(f)).arg(i);
    } else if (!withProParm4) {
        gone << QStringLiteral("ProParm4");
    }
    for (const QString& c : gone)
        QVERIFY(q.exec(QStringLiteral("ALTER TABLE ZUPRO DROP COLUMN ") + c));
    if (!withAgeLimits) {
        QVERIFY(q.exec("ALTER TABLE ZUPRDT DROP COLUMN ProAGL"));
        QVERIFY(q.exec("ALTER TABLE ZUPRDT DROP COLUMN ProAGH"));
    }
    QVERIFY(q.exec("INSERT INTO ZUCUST (MKEY, CUSTNO, NAME, SEX, DBIRTH) VALUES (500, 'OLD1', 'Old One', 0, 20000)"));
    QVERIFY(q.exec("INSERT INTO ZUCUST (MKEY, CUSTNO, NAME) VALUES (501, 'OLD2', 'Old Two')"));
    QVERIFY(q.exec("INSERT INTO ZUDATA (MKEY, CUSTNO, ZUDATE, ZU1, ZU24, MEMO1) VALUES (900, 'OLD1', 39000.5, 11.5, 42, 'memo')"));
    if (withProgramGroup)
        QVERIFY(q.exec(QStringLiteral("INSERT INTO ZUPRO (ProNo, ProName, ProFN, ProScrp1, ProParm3%1) VALUES ('P1', 'Prog', '1010', 's1', 'p3'%2)")
                           .arg(withProParm4 ? ", ProParm4" : "", withProParm4 ? ", 'p4'" : "")));
    else
        QVERIFY(q.exec("INSERT INTO ZUPRO (ProNo, ProName) VALUES ('P1', 'Prog')"));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO ZUPRDT (ProNo, ProCond%1) VALUES ('P1', '1'%2)")
                       .arg(withAgeLimits ? ", ProAGL, ProAGH" : "", withAgeLimits ? ", 20, 40" : "")));
}

struct MainFixture
{
    QTemporaryDir dir;
    std::unique_ptr<Database> main;
    MainFixture()
    {
        Status st;
        Database::create(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st).reset();
        main = Database::open(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, Database::Access::ReadWrite, &st);
        SubjectRowInsert();
    }
    void SubjectRowInsert()
    {
        QSqlQuery q(main->sql());
        q.exec("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('NEW1', 'Already here')");
    }
    QString value(const QString& sql)
    {
        QSqlQuery q(main->sql());
        if (q.exec(sql) && q.next()) return q.value(0).toString();
        return QStringLiteral("<none>");
    }
};

} // namespace

class TestStartupCheck : public QObject
{
    Q_OBJECT
private slots:
    void noInstrument()
    {
        SimStack s;
        s.sim.unplug();
        s.sim.clearLog();
        StartupCheck check(&s.instrument, s.clock);
        StartupStatus st = check.identify();
        QVERIFY(!st.ready);
        QCOMPARE(st.serial, QStringLiteral("None!"));
        QCOMPARE(st.hardware, QStringLiteral("None!"));
        QCOMPARE(st.message, QString::fromUtf8("L.U.M.O.並未啟動！請檢查電源是否開啟，USB連線是否正常。"));
        check.runSequence(st, nullptr);
        QVERIFY(s.sim.log().isEmpty());
    }

    void emptyHardwareString()
    {
        SimStack s;
        s.sim.setHardwareString(QString());
        StartupStatus st = StartupCheck(&s.instrument, s.clock).identify();
        QVERIFY(!st.ready);
        QCOMPARE(st.hardware, QStringLiteral("USB Status Error!"));
        QCOMPARE(st.message, QString::fromUtf8("USB介面異常！請檢查L.U.M.O.的USB連線。"));
    }

    void unknownModelOrNoReply_data()
    {
        QTest::addColumn<bool>("noReply");
        QTest::newRow("unknown code") << false;
        QTest::newRow("no reply") << true;
    }
    void unknownModelOrNoReply()
    {
        QFETCH(bool, noReply);
        SimStack s;
        s.sim.setModel(0);
        s.sim.setNoReply(noReply);
        StartupStatus st = StartupCheck(&s.instrument, s.clock).identify();
        QVERIFY(!st.ready);
        QCOMPARE(st.model, 0);
        QCOMPARE(st.message, QString::fromUtf8("L.U.M.O.連線異常！請檢查L.U.M.O.的USB連線。"));
    }

    void lampSequencePerGroup_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QList<QByteArray>>("commands");
        QTest::newRow("group 1") << 1 << QList<QByteArray>{"AFFFFFF", "A000000", "BFFFFFF", "B000000", "IFFFFFF"};
        QTest::newRow("group 2") << 4 << QList<QByteArray>{"AFFFFFF", "A000000", "IFFFFFF", "AFFFFFF", "IFFFFFF"};
    }
    void lampSequencePerGroup()
    {
        QFETCH(int, model);
        QFETCH(QList<QByteArray>, commands);
        SimStack s;
        s.sim.setModel(model);
        StartupCheck check(&s.instrument, s.clock);
        StartupStatus st = check.identify();
        QVERIFY(st.ready);
        QCOMPARE(st.model, model);
        QCOMPARE(st.serial, QStringLiteral("123456789ABC"));
        QCOMPARE(s.sim.log().mid(0, 2), (QList<QByteArray>{"X000000", "P000000"}));
        s.sim.clearLog();
        int lastBar = -1, maxLamps = 0;
        bool textsShown = false;
        check.runSequence(st, [&](int bar, int lamps, bool texts) {
            QVERIFY(bar >= lastBar);
            lastBar = bar;
            maxLamps = std::max(maxLamps, lamps);
            textsShown |= texts;
        });
        QVERIFY(lastBar > 1200);
        QCOMPARE(maxLamps, 7);
        QVERIFY(textsShown);
        QCOMPARE(lampCommands(s.sim.log()), commands);
    }

    void statusWindowReadyAndNotReady()
    {
        QTemporaryDir dir;
        SharedState state;
        state.DataDirectory = dir.path() + QLatin1Char('/');
        {
            SimStack s;
            TZuStatu w(state, &s.instrument, s.clock);
            w.runCheck();
            QVERIFY(state.InstrumentReady);
            QCOMPARE(state.SerialText, QStringLiteral("123456789ABC"));
            QCOMPARE(w.findChild<QLabel*>(QStringLiteral("ModelText"))->text(), QStringLiteral("Corvan A"));
            QCOMPARE(s.sim.log().last(), QByteArray("X000000"));
        }
        {
            SimStack s;
            s.sim.unplug();
            TZuStatu w(state, &s.instrument, s.clock);
            w.runCheck();
            QVERIFY(!state.InstrumentReady);
            QVERIFY(!w.findChild<QPushButton*>(QStringLiteral("LeaveButton"))->isHidden());
            QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBar"))->text(),
                     QString::fromUtf8("L.U.M.O.並未啟動！請檢查電源是否開啟，USB連線是否正常。"));
            QCOMPARE(w.findChild<QLabel*>(QStringLiteral("SerialText"))->text(), QStringLiteral("None!"));
        }
    }

    void conversionAppendsWithNewKeys()
    {
        MainFixture f;
        makeOld(f.dir.filePath(QStringLiteral("lumo.mdb")), true, true, true);
        QFile::copy(f.dir.filePath(QStringLiteral("lumo.mdb")), f.dir.filePath(QStringLiteral("lumo_BAK.mdb"))); // an older backup
        QFile stale(f.dir.filePath(QStringLiteral("lumo_BAK.mdb")));
        QVERIFY(stale.open(QIODevice::WriteOnly | QIODevice::Truncate));
        stale.write("older backup");
        stale.close();
        int progress = 0;
        Status st = convertWaitingDatabase(*f.main, f.dir.path(), [&](int n) { progress += n; });
        QVERIFY2(st.ok, qPrintable(st.error));
        QVERIFY(progress > 0);
        QCOMPARE(f.value("SELECT COUNT(*) FROM ZUCUST"), QStringLiteral("3"));
        QVERIFY(f.value("SELECT MKEY FROM ZUCUST WHERE CUSTNO = 'OLD1'").toInt() < 500); // new keys
        QCOMPARE(f.value("SELECT DBIRTH FROM ZUCUST WHERE CUSTNO = 'OLD1'"), QStringLiteral("20000"));
        QCOMPARE(f.value("SELECT ZU24 FROM ZUDATA WHERE CUSTNO = 'OLD1'"), QStringLiteral("42"));
        QCOMPARE(f.value("SELECT ZUDATE FROM ZUDATA WHERE CUSTNO = 'OLD1'"), QStringLiteral("39000.5"));
        QCOMPARE(f.value("SELECT ProParm4 FROM ZUPRO"), QStringLiteral("p4"));
        QCOMPARE(f.value("SELECT ProAGH FROM ZUPRDT"), QStringLiteral("40"));
        QVERIFY(!QFile::exists(f.dir.filePath(QStringLiteral("lumo.mdb"))));
        QFile bak(f.dir.filePath(QStringLiteral("lumo_BAK.mdb")));
        QVERIFY(bak.open(QIODevice::ReadOnly));
        QVERIFY(bak.readAll().startsWith("SQLite format 3"));
    }

    void optionalFieldGroups_data()
    {
        QTest::addColumn<bool>("group");
        QTest::addColumn<bool>("parm4");
        QTest::addColumn<QString>("fn");
        QTest::addColumn<QString>("parm3");
        QTest::newRow("without ProFN") << false << false << "" << "";
        QTest::newRow("without only ProParm4") << true << false << "1010" << "p3";
    }
    void optionalFieldGroups()
    {
        QFETCH(bool, group);
        QFETCH(bool, parm4);
        QFETCH(QString, fn);
        QFETCH(QString, parm3);
        MainFixture f;
        makeOld(f.dir.filePath(QStringLiteral("lumo.mdb")), group, parm4, false);
        QVERIFY(convertWaitingDatabase(*f.main, f.dir.path(), nullptr).ok);
        QCOMPARE(f.value("SELECT ProFN FROM ZUPRO"), fn);
        QCOMPARE(f.value("SELECT ProParm3 FROM ZUPRO"), parm3);
        QCOMPARE(f.value("SELECT ProParm4 FROM ZUPRO"), QString());
        QCOMPARE(f.value("SELECT ProAGL FROM ZUPRDT"), QStringLiteral("0"));
    }

    void failureLeavesEverythingUnchanged()
    {
        MainFixture f;
        makeOld(f.dir.filePath(QStringLiteral("lumo.mdb")), true, true, true);
        // The main database refuses measurement rows: the subjects appended before must go too.
        QSqlQuery q(f.main->sql());
        QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE INSERT ON ZUDATA BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        Status st = convertWaitingDatabase(*f.main, f.dir.path(), nullptr);
        QVERIFY(!st.ok);
        QVERIFY(st.error.contains(QStringLiteral("disk full")));
        QCOMPARE(f.value("SELECT COUNT(*) FROM ZUCUST"), QStringLiteral("1"));
        QVERIFY(QFile::exists(f.dir.filePath(QStringLiteral("lumo.mdb"))));
        QVERIFY(!QFile::exists(f.dir.filePath(QStringLiteral("lumo_BAK.mdb"))));
    }
};

QTEST_MAIN(TestStartupCheck)
#include "test_startupcheck.moc"
