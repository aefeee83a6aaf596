// Several rooms at once on the practice's server: two merges of one pair, two
// imports of one list, a number written in two cases, a COMMIT whose answer
// is lost, and text a server would cut. Two rooms are two connections in
// threads; a lock the test holds makes both reach the point where they meet
// before either goes on, so the race happens every run, not by chance.
#include "records/measurements.h"
#include "records/subjectexport.h"
#include "records/subjectimport.h"
#include "records/subjectmerge.h"
#include "records/subjects.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"
#include "support/commitcutter.h"
#include "support/engines.h"

#include <QElapsedTimer>
#include <QThread>
#include <future>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

using Work = std::function<Status(Database&)>;

// A room's work, on its own connection in a thread of its own.
std::future<Status> inRoom(const QString& conninfo, Work work)
{
    return std::async(std::launch::async, [conninfo, work] {
        Status st;
        auto db = Database::connect({conninfo, {}}, &st);
        return db ? work(*db) : st;
    });
}

// Both rooms' outcomes. A lock the test holds on the subjects (SHARE: every
// write waits, no read does) keeps both back until each waits on a lock, so
// they meet every run; nothing when they never met.
QVector<Status> raced(const QString& conninfo, const Work& first, const Work& second)
{
    Status st;
    auto gate = Database::connect({conninfo, {}}, &st);
    if (!gate) return {};
    auto held = std::make_unique<Transaction>(*gate);
    if (!held->active() || !gate->run(QStringLiteral("LOCK TABLE ZUCUST IN SHARE MODE"))) return {};
    auto a = inRoom(conninfo, first), b = inRoom(conninfo, second);
    const QString waiting = QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                           "current_database() AND wait_event_type = 'Lock'");
    bool met = false;
    QElapsedTimer clock;
    clock.start();
    while (!met && clock.elapsed() < 20000) {
        QThread::msleep(20);
        SqlRows n; // read anew: inside a transaction the activity is otherwise read once
        gate->run(QStringLiteral("SELECT pg_stat_clear_snapshot()"));
        met = gate->run(waiting, {}, &n) && n.value(0).value(0).toInt() >= 2;
    }
    held->commit();
    QVector<Status> out{a.get(), b.get()};
    return met ? out : QVector<Status>{};
}

qint64 countWhere(Database& db, const QString& sql)
{
    SqlRows rows;
    return db.run(sql, {}, &rows) && !rows.isEmpty() ? rows.first().value(0).toLongLong() : -1;
}

SubjectRow subject(Database& db, const QString& custNo, int measurements)
{
    SubjectRow s;
    s.CUSTNO = custNo;
    s.NAME = u("王") + custNo;
    SubjectStore(db).append(s);
    for (int i = 0; i < measurements; ++i) {
        MeasurementRow m;
        m.CUSTNO = custNo;
        m.ZUDATE = 45000 + i;
        MeasurementStore(db).append(m);
    }
    return s;
}

ImportPlan planOf(Database& db, const QByteArray& csv)
{
    CsvTable t;
    parseCsv(csv, &t);
    return planSubjectImport(t, guessMapping(t.header), db, QDate(2024, 6, 1));
}

} // namespace

class TestRooms : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // The same change in both rooms at once: one is made, the other finds
    // its rows gone, changed or added and says so. Merges of A and B leave
    // one subject with every measurement, its row version raised once; a
    // list imported twice adds its numbers once, under either choice.
    void sameChangeInTwoRooms_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("subjects");
        QTest::newRow("A into B and B into A") << "merge both ways" << u("其他工作站刪除／修改") << 1;
        QTest::newRow("A into B twice") << "merge" << u("其他工作站刪除／修改") << 1;
        QTest::newRow("a list, numbers there refused") << "import" << u("其他工作站新增") << 200;
        QTest::newRow("a list, numbers there skipped") << "import skip" << u("其他工作站新增") << 200;
    }
    void sameChangeInTwoRooms()
    {
        QFETCH(QString, work);
        QFETCH(QString, refusal);
        QFETCH(int, subjects);
        const QString conninfo = newServerDatabase();
        Status st;
        auto db = Database::connect({conninfo, {}}, &st);
        QVERIFY2(db, qPrintable(st.error));
        const SubjectRow a = subject(*db, QStringLiteral("A01"), 2);
        const SubjectRow b = subject(*db, QStringLiteral("B01"), 1);
        auto merge = [](const SubjectRow& kept, const SubjectRow& other) -> Work {
            return [kept, other](Database& room) {
                return mergeSubjects(room, kept, other, MergeChoice{}, 46000);
            };
        };
        QByteArray csv = "CUSTNO,NAME\n";
        for (int i = 0; i < subjects - 2; ++i)
            csv += "N" + QByteArray::number(i) + ",n" + QByteArray::number(i) + "\n";
        const ImportPlan plan = planOf(*db, csv);
        const auto choice =
            work.endsWith(QLatin1String("skip")) ? ExistingNumbers::Skip : ExistingNumbers::Refuse;
        const Work import = [&plan, choice](Database& room) {
            int added = 0, skipped = 0;
            return importSubjects(room, plan, choice, &added, &skipped);
        };
        const bool merging = work.startsWith(QLatin1String("merge"));
        const QVector<Status> out =
            merging ? raced(conninfo, merge(b, a),
                            work.endsWith(QLatin1String("ways")) ? merge(a, b) : merge(b, a))
                    : raced(conninfo, import, import);
        QCOMPARE(out.size(), 2);
        QCOMPARE(int(out[0].ok) + int(out[1].ok), 1);
        const Status& refused = out[0].ok ? out[1] : out[0];
        QVERIFY2(refused.error.contains(refusal), qPrintable(refused.error));
        QCOMPARE(countWhere(*db, QStringLiteral("SELECT COUNT(*) FROM ZUCUST")), subjects);
        if (!merging) return;
        QCOMPARE(countWhere(*db, QStringLiteral("SELECT COUNT(*) FROM ZUDATA d WHERE EXISTS "
                                                "(SELECT 1 FROM ZUCUST s WHERE s.CUSTNO = d.CUSTNO)")),
                 3);
        QCOMPARE(countWhere(*db, QStringLiteral("SELECT MAX(ROWVER) FROM ZUCUST")), 2); // raised once
    }

    // The numbers of one subject compared alike everywhere: "a01" and "A01"
    // are one number, and its records are nobody's to take away alone. A
    // subject of its own goes whole, its reports drawn on several connections.
    void exportOfOneNumber_data()
    {
        QTest::addColumn<test::Engine>("engine");
        QTest::addColumn<QString>("alsoHeld"); // a second subject's number
        for (const test::Engine e : {test::Engine::Sqlite, test::Engine::Postgres}) {
            const char* on = e == test::Engine::Sqlite ? "file" : "server";
            QTest::addRow("held twice in two cases, %s", on) << e << QStringLiteral("A01");
            QTest::addRow("held once, %s", on) << e << QString();
        }
    }
    void exportOfOneNumber()
    {
        QFETCH(test::Engine, engine);
        QFETCH(QString, alsoHeld);
        QTemporaryDir dir;
        SharedState state;
        ScriptedMessages quiet;
        state.messages = &quiet;
        state.DataDirectory = dir.filePath(QStringLiteral("data/"));
        if (engine == test::Engine::Postgres) state.databaseOption = newServerDatabase();
        QVERIFY(runStartupFileSteps(state, deliveredDirectory()).databases.ok);
        const SubjectRow mine = subject(*state.MainDatabase, QStringLiteral("a01"), 8);
        if (!alsoHeld.isEmpty()) subject(*state.MainDatabase, alsoHeld, 1);
        SubjectExportOutcome done;
        const Status st = exportSubjectRecords(state, mine, dir.filePath(QStringLiteral("out")),
                                               state.config.PrintOptions, &done);
        if (alsoHeld.isEmpty())
            QVERIFY2(st.ok && done.measurements == 8, qPrintable(st.error));
        else
            QVERIFY2(st.error.contains(u("編號 a01 有 2 位受測者")), qPrintable(st.error));
    }

    // A save whose connection breaks at its COMMIT is told as it ended on the
    // server, looked up on a new connection: saved once, or not at all.
    void commitAnswerLost_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<bool>("saved");
        QTest::newRow("the server committed, its answer lost") << int(CommitCutter::Cut::AfterServer) << true;
        QTest::newRow("the COMMIT never reached the server") << int(CommitCutter::Cut::BeforeServer) << false;
    }
    void commitAnswerLost()
    {
        QFETCH(int, cut);
        QFETCH(bool, saved);
        const QString conninfo = newServerDatabase();
        CommitCutter cutter(conninfo);
        Status st;
        auto db = Database::connect({cutter.conninfo(), {}}, &st);
        QVERIFY2(db, qPrintable(st.error));
        cutter.arm(CommitCutter::Cut(cut));
        MeasurementRow m;
        m.CUSTNO = QStringLiteral("A01");
        {
            Transaction t(*db);
            QVERIFY(MeasurementStore(*db).append(m).ok);
            st = t.commit();
        }
        QVERIFY(cutter.cutDone());
        QVERIFY2(st.ok == saved, qPrintable(st.error));
        if (!saved) QVERIFY2(st.error.contains(u("沒有寫入")), qPrintable(st.error));
        auto direct = Database::connect({conninfo, {}}, &st);
        QCOMPARE(countWhere(*direct, QStringLiteral("SELECT COUNT(*) FROM ZUDATA")), saved ? 1 : 0);
        QVERIFY(MeasurementStore(*db).get(m.MKEY).has_value() == saved); // the connection is back
    }

    // Characters a server would cut a text at, or that turn a name around,
    // are problems of their row on either engine; nothing is imported.
    void hiddenCharacters_data()
    {
        QTest::addColumn<test::Engine>("engine");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("problem");
        for (const test::Engine e : {test::Engine::Sqlite, test::Engine::Postgres}) {
            const char* on = e == test::Engine::Sqlite ? "file" : "server";
            QTest::addRow("NUL in the number, %s", on)
                << e << QByteArray("N2\0", 3) << u("編號 含有控制字元 U+0000");
            QTest::addRow("right-to-left override, %s", on) << e << QByteArray("\xE2\x80\xAE") << u("U+202E");
            QTest::addRow("first strong isolate, %s", on) << e << QByteArray("\xE2\x81\xA8") << u("U+2068");
            QTest::addRow("escape, %s", on) << e << QByteArray("\x1B[2J") << u("U+001B");
        }
    }
    void hiddenCharacters()
    {
        QFETCH(test::Engine, engine);
        QFETCH(QByteArray, name);
        QFETCH(QString, problem);
        auto db = freshMain(engine, m_dir);
        QVERIFY(db);
        const ImportPlan plan = planOf(
            *db, "CUSTNO,NAME\nN1,a\n" + (name.startsWith("N2") ? name + ",b\n" : "N3," + name + "\n"));
        QCOMPARE(plan.problems.size(), 1);
        QVERIFY2(plan.problems[0].text.contains(problem), qPrintable(plan.problems[0].text));
        QVERIFY(!importSubjects(*db, plan, ExistingNumbers::Skip, nullptr, nullptr).ok);
        QCOMPARE(countWhere(*db, QStringLiteral("SELECT COUNT(*) FROM ZUCUST")), 0);
    }
};

QTEST_MAIN(TestRooms)
#include "test_rooms.moc"
