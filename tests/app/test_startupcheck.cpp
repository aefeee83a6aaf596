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

// An older database with every field of the four tables but those named in
// `missing`; each table holds rows with a value in every field it has. Made
// from this program's layout, so only the missing fields tell it apart.
void makeOld(const QString& path, const QStringList& missing = {})
{
    Status st;
    auto db = Database::create(path, FileKind::Main, &st);
    QVERIFY2(db, qPrintable(st.error));
    QSqlQuery q(db->sql());
    // The optional fields of a program and a condition, with their values.
    QStringList proFields{"ProNo", "ProName", "ProFN"}, proValues{"'P1'", "'Prog'", "'1010'"};
    const std::pair<const char*, char> groups[] = {{"ProScrp", 's'}, {"ProPrg", 'g'}, {"ProParm", 'p'}};
    for (const auto& [stem, letter] : groups)
        for (int i = 1; i <= 4; ++i) {
            proFields << QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(i);
            proValues << QStringLiteral("'%1%2'").arg(QLatin1Char(letter)).arg(i);
        }
    QStringList dtFields{"ProNo", "ProCond", "ProAGL", "ProAGH"}, dtValues{"'P1'", "'1'", "20", "40"};
    for (const QString& m : missing) {
        for (auto* pair : {&proFields, &dtFields}) {
            const int at = int(pair->indexOf(m));
            if (at < 0) continue;
            pair->removeAt(at);
            (pair == &proFields ? proValues : dtValues).removeAt(at);
            const char* table = pair == &proFields ? "ZUPRO" : "ZUPRDT";
            QVERIFY(q.exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(QLatin1String(table), m)));
        }
    }
    QVERIFY(q.exec("INSERT INTO ZUCUST (MKEY, CUSTNO, NAME, SEX, DBIRTH) VALUES (500, 'OLD1', 'Old One', 0, 20000)"));
    QVERIFY(q.exec("INSERT INTO ZUCUST (MKEY, CUSTNO, NAME) VALUES (501, 'OLD2', 'Old Two')"));
    QVERIFY(q.exec("INSERT INTO ZUDATA (MKEY, CUSTNO, ZUDATE, ZU1, ZU24, MEMO1) VALUES (900, 'OLD1', 39000.5, 11.5, 42, 'memo')"));
    QVERIFY(q.exec(
        QStringLiteral("INSERT INTO ZUPRO (%1) VALUES (%2)").arg(proFields.join(','), proValues.join(','))));
    QVERIFY(q.exec(
        QStringLiteral("INSERT INTO ZUPRDT (%1) VALUES (%2)").arg(dtFields.join(','), dtValues.join(','))));
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

    // What the operator must learn at start reaches the status bar and a
    // notice, since the window closes as soon as the check is done: a data
    // directory that takes nothing (and a waiting older database is left for
    // later), and an older database put back after it was converted (set
    // aside again, nothing appended twice).
    void statusWindowTells_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("notice");
        QTest::newRow("read-only data") << true << QString::fromUtf8("資料目錄無法寫入，目前只能查閱資料");
        QTest::newRow("converted file put back") << false << alreadyConvertedMessage();
    }
    void statusWindowTells()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, notice);
        MainFixture f;
        const QString old = f.dir.filePath(QStringLiteral("lumo.mdb"));
        makeOld(old);
        const QString copy = f.dir.filePath(QStringLiteral("copy.mdb"));
        QVERIFY(QFile::copy(old, copy));
        if (!readOnly) {
            QVERIFY(convertWaitingDatabase(*f.main, f.dir.path(), nullptr).ok);
            QVERIFY(QFile::rename(copy, old)); // the operator puts the file back
        }
        const QString subjects = f.value("SELECT COUNT(*) FROM ZUCUST");
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        state.DataDirectory = f.dir.path() + QLatin1Char('/');
        state.MainDatabase = std::move(f.main);
        if (readOnly)
            state.ReadOnlyReason = QString::fromUtf8(
                "資料目錄無法寫入，目前只能查閱資料，量測結果與任何變更都無法儲存：\r\nwhy");
        SimStack s;
        TZuStatu w(state, &s.instrument, s.clock);
        w.runCheck();
        QVERIFY(state.InstrumentReady);
        QVERIFY(!messages.shown().empty());
        QCOMPARE(messages.shown().back().kind, int(NoteImportant));
        QVERIFY2(messages.shown().back().text.startsWith(notice), qPrintable(messages.shown().back().text));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBar"))->text().left(8), notice.left(8));
        f.main = std::move(state.MainDatabase);
        QCOMPARE(f.value("SELECT COUNT(*) FROM ZUCUST"), subjects);
        QCOMPARE(QFile::exists(old), readOnly);
        QCOMPARE(QFile::exists(f.dir.filePath(QStringLiteral("lumo_BAK.mdb"))), !readOnly);
    }

    void conversionAppendsWithNewKeys()
    {
        MainFixture f;
        makeOld(f.dir.filePath(QStringLiteral("lumo.mdb")));
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

    // The conversion's own rule for an older layout: the optional fields are
    // copied in order up to the first one the file lacks; that one and those
    // after it stay empty, even where the file has them (an import would copy
    // those). The program's button fields and the two age limits alike.
    void optionalFieldGroups_data()
    {
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<QString>("buttons"); // ProFN, ProScrp1..4, ProPrg1..4, ProParm1..4
        QTest::addColumn<QString>("ages");    // ProAGL, ProAGH
        const QString all = "1010,s1,s2,s3,s4,g1,g2,g3,g4,p1,p2,p3,p4";
        QStringList group{"ProFN"};
        for (const char* f : {"ProScrp", "ProPrg", "ProParm"})
            for (int i = 1; i <= 4; ++i)
                group << QStringLiteral("%1%2").arg(QLatin1String(f)).arg(i);
        QTest::newRow("every field") << QStringList() << all << "20,40";
        QTest::newRow("without the button fields") << group << ",,,,,,,,,,,,"
                                                   << "20,40";
        QTest::newRow("without ProFN alone") << QStringList{"ProFN"} << ",,,,,,,,,,,,"
                                             << "20,40";
        QTest::newRow("without ProScrp3") << QStringList{"ProScrp3"} << "1010,s1,s2,,,,,,,,,,"
                                          << "20,40";
        QTest::newRow("without ProParm4")
            << QStringList{"ProParm4"} << "1010,s1,s2,s3,s4,g1,g2,g3,g4,p1,p2,p3,"
            << "20,40";
        QTest::newRow("without ProAGL") << QStringList{"ProAGL"} << all << "0,0";
        QTest::newRow("without ProAGH") << QStringList{"ProAGH"} << all << "20,0";
    }
    void optionalFieldGroups()
    {
        QFETCH(QStringList, missing);
        QFETCH(QString, buttons);
        QFETCH(QString, ages);
        MainFixture f;
        makeOld(f.dir.filePath(QStringLiteral("lumo.mdb")), missing);
        QVERIFY(convertWaitingDatabase(*f.main, f.dir.path(), nullptr).ok);
        // An empty field may be stored as NULL.
        QString fields = "ifnull(ProFN, '')";
        for (const char* g : {"ProScrp", "ProPrg", "ProParm"})
            for (int i = 1; i <= 4; ++i)
                fields += QStringLiteral(" || ',' || ifnull(%1%2, '')").arg(QLatin1String(g)).arg(i);
        QCOMPARE(f.value("SELECT " + fields + " FROM ZUPRO"), buttons);
        QCOMPARE(f.value("SELECT ifnull(ProAGL, 0) || ',' || ifnull(ProAGH, 0) FROM ZUPRDT"), ages);
    }

    void failureLeavesEverythingUnchanged()
    {
        MainFixture f;
        makeOld(f.dir.filePath(QStringLiteral("lumo.mdb")));
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
