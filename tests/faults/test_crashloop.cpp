// Kills the writer (crash_writer.cpp) with SIGKILL at random moments, again
// and again, and after every kill checks what a power cut must never cost:
// the database passes SQLite's full check, every change reported committed is
// there, no change is there in part, every change of practice mode has its
// audit log entry and every entry its change, and ZuDefTw.ini is one whole save.
#include "practice/audit.h"
#include "practice/auditlog.h"
#include "practice/operators.h"
#include "records/database.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "shell/configuration.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"
#include "support/engines.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cstdio>
#include <map>
#include <set>

using namespace lumo;

namespace {

constexpr int WantedKills = 200;
constexpr qint64 TimeLimitMs = 60000;
constexpr int WantedMoveKills = 30;
const char* const kPassword = "crash-loop-secret-1";

struct Reported
{
    std::map<char, std::set<qint64>> seqs;
    qint64 total = 0;
    size_t count(char kind) const { return seqs.count(kind) ? seqs.at(kind).size() : 0; }
    qint64 last(char kind) const
    {
        auto it = seqs.find(kind);
        return it == seqs.end() || it->second.empty() ? 0 : *it->second.rbegin();
    }
};

// Only whole lines count: a kill may cut the line being written.
Reported readReport(const QString& path)
{
    Reported r;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return r;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray& l = lines.at(i);
        r.seqs[l.at(0)].insert(l.mid(2).toLongLong());
        ++r.total;
    }
    return r;
}

// The sequence numbers of the rows whose CUSTNO starts with `prefix`, with how
// many rows each has ("I7-2" belongs to 7).
std::map<qint64, int> rowsByChange(Database& db, const char* table, QChar prefix)
{
    std::map<qint64, int> out;
    QSqlQuery q(db.sql());
    q.exec(QStringLiteral("SELECT CUSTNO FROM %1 WHERE CUSTNO GLOB '%2*'").arg(QLatin1String(table), prefix));
    while (q.next())
        ++out[q.value(0).toString().mid(1).section(QLatin1Char('-'), 0, 0).toLongLong()];
    return out;
}

struct Figures
{
    int kills = 0;
    int checks = 0;
    qint64 subjects = 0;
    qint64 measurements = 0;
    qint64 audited = 0;
};

QString checkChanges(Database& db, const Reported& rep, Figures& f)
{
    struct Whole
    {
        char kind;
        int subjects;
        int measurements;
    };
    for (const Whole w : {Whole{'M', 1, 2}, Whole{'I', 3, 3}}) {
        const auto subjects = rowsByChange(db, "ZUCUST", QLatin1Char(w.kind));
        const auto measurements = rowsByChange(db, "ZUDATA", QLatin1Char(w.kind));
        for (const auto& [seq, n] : subjects)
            if (n != w.subjects || measurements.count(seq) == 0 || measurements.at(seq) != w.measurements)
                return QStringLiteral("change %1 %2 is there in part").arg(QLatin1Char(w.kind)).arg(seq);
        for (const auto& [seq, n] : measurements)
            if (!subjects.count(seq))
                return QStringLiteral("measurements of change %1 without their subject").arg(seq);
        for (qint64 seq : rep.seqs.count(w.kind) ? rep.seqs.at(w.kind) : std::set<qint64>{})
            if (!subjects.count(seq))
                return QStringLiteral("reported change %1 %2 is lost").arg(QLatin1Char(w.kind)).arg(seq);
        ++f.checks;
    }
    std::optional<SubjectRow> edit = SubjectStore(db).findByCustNo(QStringLiteral("EDIT"));
    if (!edit) return QStringLiteral("the edited subject is gone");
    const qint64 name = edit->NAME.mid(1).toLongLong(), addr = edit->ADDR.mid(1).toLongLong();
    if (name != addr) return QStringLiteral("an edit is there in part: %1 / %2").arg(edit->NAME, edit->ADDR);
    if (name < rep.last('E'))
        return QStringLiteral("reported edit %1 is lost (%2)").arg(rep.last('E')).arg(name);
    ++f.checks;
    QSqlQuery q(db.sql());
    q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM ZUCUST), (SELECT COUNT(*) FROM ZUDATA)"));
    if (q.next()) {
        f.subjects = q.value(0).toLongLong();
        f.measurements = q.value(1).toLongLong();
    }
    return {};
}

// The changes the audit log names: "S12" an import of subjects, "I7" of a
// transfer file, "G5" a merge (failures logged as such are no change).
std::set<QString> loggedChanges(Database& db, QString* problem)
{
    std::set<QString> logged;
    static const QRegularExpression named(QStringLiteral("S(\\d+)-0|/I(\\d+)（|^G(\\d+)-a$"));
    const Status st = readAuditRows(db, {}, [&](const AuditRow& r) {
        if (r.detail.contains(QString::fromUtf8("失敗"))) return true;
        const QRegularExpressionMatch m =
            named.match(r.action == QLatin1String("merge") ? r.custNo : r.detail);
        if (m.hasMatch())
            logged.insert((m.captured(1).size()   ? QStringLiteral("S") + m.captured(1)
                           : m.captured(2).size() ? QStringLiteral("I") + m.captured(2)
                                                  : QStringLiteral("G") + m.captured(3)));
        return true;
    });
    if (!st) *problem = st.error;
    return logged;
}

// A change of practice mode is there exactly when its entry is, and the
// chain of entries is whole.
QString checkAudit(Database& db, const Reported& rep, Figures& f)
{
    AuditCheck chain;
    if (const Status st = verifyAuditChain(db, &chain); !st) return st.error;
    if (chain.brokenKey)
        return QStringLiteral("the audit chain breaks at %1: %2").arg(chain.brokenKey).arg(chain.why);
    QString problem;
    const std::set<QString> logged = loggedChanges(db, &problem);
    if (!problem.isEmpty()) return problem;
    for (const char kind : {'S', 'I', 'G'}) {
        const auto subjects = rowsByChange(db, "ZUCUST", QLatin1Char(kind));
        std::set<qint64> done;
        for (const auto& [seq, n] : subjects) {
            // A merge leaves one of its two subjects; an import all three.
            if (kind == 'G' ? n == 1 : n == 3) done.insert(seq);
            if (kind != 'G' && n != 3)
                return QStringLiteral("import %1%2 is there in part").arg(kind).arg(seq);
        }
        for (const auto& [seq, n] : subjects)
            if (done.count(seq) != logged.count(QLatin1Char(kind) + QString::number(seq)))
                return QStringLiteral("change %1%2 %3 without its audit entry")
                    .arg(kind)
                    .arg(seq)
                    .arg(done.count(seq) ? QStringLiteral("is there")
                                         : QStringLiteral("is not there, but logged"));
        for (const QString& key : logged)
            if (key.startsWith(QLatin1Char(kind)) && !done.count(key.mid(1).toLongLong()))
                return QStringLiteral("entry %1 without its change").arg(key);
        for (qint64 seq : rep.seqs.count(kind) ? rep.seqs.at(kind) : std::set<qint64>{})
            if (!done.count(seq)) return QStringLiteral("reported change %1%2 is lost").arg(kind).arg(seq);
    }
    f.audited = qint64(logged.size());
    ++f.checks;
    return {};
}

QString checkConfiguration(const QString& path, const Reported& rep, Figures& f)
{
    Configuration c;
    const Status s = LoadConfiguration(path, c);
    if (!s) return s.error;
    const QString tag = c.UserName1;
    if (c.UserData2 != tag || c.ToolParam[5] != tag)
        return QStringLiteral("ZuDefTw.ini mixes saves: %1 %2 %3").arg(tag, c.UserData2, c.ToolParam[5]);
    const qint64 seq = tag.mid(1).toLongLong();
    if (seq < rep.last('C'))
        return QStringLiteral("reported save %1 is lost (%2)").arg(rep.last('C')).arg(seq);
    ++f.checks;
    return {};
}

// What a move must bring whole: the subjects and measurements, and the
// receiving end's log, whole and ending with the move's own entry.
struct Content
{
    qint64 subjects = 0;
    qint64 measurements = 0;
    qint64 auditRows = 0;
    QString lastAction;
    bool chainWhole = false;
};

Content contentOf(Database& db)
{
    Content c;
    c.subjects = db.rowCount(QStringLiteral("ZUCUST"));
    c.measurements = db.rowCount(QStringLiteral("ZUDATA"));
    c.auditRows = db.rowCount(QStringLiteral("LUMOAUDIT"));
    SqlRows last;
    db.run(QStringLiteral("SELECT ACTION FROM LUMOAUDIT ORDER BY MKEY DESC LIMIT 1"), {}, &last);
    c.lastAction = last.value(0).value(0).toString();
    AuditCheck chain;
    c.chainWhole = verifyAuditChain(db, &chain).ok && chain.brokenKey == 0;
    return c;
}

// lumo-cli migrate by the practice's admin, as a script runs it.
std::unique_ptr<QProcess> startMove(const QString& dataDir, bool to, const QString& conninfo)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMO_PASSWORD"), QLatin1String(kPassword));
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"),
             {QStringLiteral("--data-dir"), dataDir, QStringLiteral("--operator"), QStringLiteral("admin"),
              QStringLiteral("migrate"), to ? QStringLiteral("--to") : QStringLiteral("--from"), conninfo});
    return p;
}

// A practice file in practice mode with a few thousand rows, so that a move takes long enough to be killed
// in.
Content preparePractice(const QString& dataDir)
{
    SharedState s;
    s.DataDirectory = dataDir;
    ScriptedMessages quiet;
    s.messages = &quiet;
    runStartupFileSteps(s, QStringLiteral(LUMO_SHARE_DIR));
    if (!s.MainDatabase) return {};
    // The first account with its entry, as practice mode is turned on: the log starts there.
    s.Session = OperatorSession{true, QStringLiteral("admin"), Role::Admin, QStringLiteral("crash-loop")};
    OperatorStore(*s.MainDatabase).add(QStringLiteral("admin"), Role::Admin, QLatin1String(kPassword), [&] {
        return audit(s, {QStringLiteral("operator.add"), {}, 0, QStringLiteral("admin")});
    });
    Transaction t(*s.MainDatabase);
    for (int i = 0; i < 2000; ++i) {
        SubjectRow subject;
        subject.CUSTNO = QStringLiteral("P%1").arg(i);
        SubjectStore(*s.MainDatabase).append(subject);
        for (int k = 0; k < 2; ++k) {
            MeasurementRow m;
            m.CUSTNO = subject.CUSTNO;
            m.ZU[0] = k;
            MeasurementStore(*s.MainDatabase).append(m);
        }
    }
    t.commit();
    return contentOf(*s.MainDatabase);
}

} // namespace

class TestCrashLoop : public QObject
{
    Q_OBJECT
private slots:
    void killedAtRandomLosesNothing()
    {
        QTemporaryDir tmp;
        const QString data = tmp.filePath(QStringLiteral("data")) + QLatin1Char('/');
        {
            SharedState s;
            s.DataDirectory = data;
            ScriptedMessages quiet;
            s.messages = &quiet;
            const StartupOutcome o = runStartupFileSteps(s, QStringLiteral(LUMO_SHARE_DIR));
            QVERIFY2(o.databases, qPrintable(o.databases.error));
            SubjectRow edit;
            edit.CUSTNO = QStringLiteral("EDIT");
            edit.NAME = QStringLiteral("n0");
            edit.ADDR = QStringLiteral("a0");
            QVERIFY(SubjectStore(*s.MainDatabase).append(edit));
            s.config.UserName1 = s.config.UserData2 = s.config.ToolParam[5] = QStringLiteral("c0");
            QVERIFY(s.saveConfiguration());
        }
        const QString report = tmp.filePath(QStringLiteral("report"));
        const QString ini = data + QLatin1String(ConfigurationFileName);
        QRandomGenerator random(QRandomGenerator::global()->generate());
        Figures f;
        QElapsedTimer clock;
        clock.start();
        while (f.kills < WantedKills && clock.elapsed() < TimeLimitMs) {
            QProcess writer;
            writer.start(QStringLiteral(LUMO_BIN_DIR "/crash_writer"),
                         {data, report, QString::number(qint64(f.kills + 1) * 1000000),
                          QString::number(random.generate())});
            QVERIFY(writer.waitForReadyRead(10000));
            QThread::usleep(random.bounded(150000u)); // up to 150 ms of work: imports take that long
            QVERIFY2(writer.state() == QProcess::Running, writer.readAllStandardError().constData());
            writer.kill();
            QVERIFY(writer.waitForFinished(5000));
            ++f.kills;

            const Reported rep = readReport(report);
            Status st;
            auto db = Database::open(data + QLatin1String("lumo4.mdb"), FileKind::Main,
                                     Database::Access::ReadWrite, &st);
            QVERIFY2(db, qPrintable(st.error));
            st = db->checkIntegrity();
            QVERIFY2(st, qPrintable(st.error));
            ++f.checks;
            QString problem = checkChanges(*db, rep, f);
            QVERIFY2(problem.isEmpty(),
                     qPrintable(QStringLiteral("after kill %1: %2").arg(f.kills).arg(problem)));
            problem = checkAudit(*db, rep, f);
            QVERIFY2(problem.isEmpty(),
                     qPrintable(QStringLiteral("after kill %1: %2").arg(f.kills).arg(problem)));
            problem = checkConfiguration(ini, rep, f);
            QVERIFY2(problem.isEmpty(),
                     qPrintable(QStringLiteral("after kill %1: %2").arg(f.kills).arg(problem)));
            if (f.kills == WantedKills) {
                std::printf("crash loop: %d kills in %lld ms, %d checks passed, %lld changes reported "
                            "(M %zu, E %zu, C %zu, I %zu, S %zu, G %zu), rows ZUCUST %lld ZUDATA %lld, "
                            "%lld audited changes each with its entry\n",
                            f.kills, qint64(clock.elapsed()), f.checks, rep.total, rep.count('M'),
                            rep.count('E'), rep.count('C'), rep.count('I'), rep.count('S'), rep.count('G'),
                            f.subjects, f.measurements, f.audited);
                std::fflush(stdout);
                QVERIFY(rep.total > WantedKills); // the kills fell among real work
            }
        }
        QVERIFY2(f.kills >= WantedKills,
                 qPrintable(QStringLiteral("only %1 kills in %2 ms").arg(f.kills).arg(clock.elapsed())));
    }

    // Moves between the file and the server killed at random moments: the
    // receiving end holds every row with the move's log entry last, or none
    // of them and no entry; a file a killed move from the server left is
    // removed at the next start, which then makes no empty file in its place.
    void killedMovesAreWholeOrNothing()
    {
        QTemporaryDir tmp;
        const QString source = tmp.filePath(QStringLiteral("source")) + QLatin1Char('/');
        const Content want = preparePractice(source);
        QVERIFY(want.subjects == 2000 && want.measurements == 4000);
        // One move that ends: the server the moves back start from, and how long a move takes.
        const QString served = test::newServerDatabase();
        QElapsedTimer took;
        took.start();
        auto first = startMove(source, true, served);
        QVERIFY(first->waitForFinished(60000));
        QVERIFY2(first->exitCode() == 0, first->readAllStandardError().constData());
        const qint64 moveMs = took.elapsed();
        QRandomGenerator random(QRandomGenerator::global()->generate());
        int kills = 0, whole = 0, nothing = 0, leftovers = 0;
        QElapsedTimer clock;
        clock.start();
        while (kills < WantedMoveKills && clock.elapsed() < 3 * TimeLimitMs) {
            const bool to = kills % 2 == 0;
            const QString server = to ? test::newServerDatabase() : served;
            const QString dataDir = to ? source : tmp.filePath(QStringLiteral("back%1/").arg(kills));
            auto move = startMove(dataDir, to, server);
            QVERIFY(move->waitForStarted());
            QThread::msleep(random.bounded(quint32(moveMs * 3 / 2))); // some after the move ended
            move->kill();
            QVERIFY(move->waitForFinished(5000));
            ++kills;
            const QString main = dataDir + QLatin1String(MainDatabaseFile);
            if (!to && !QFileInfo::exists(main)) {
                // Nothing arrived: the next start removes the unfinished file
                // and makes no empty one from the template in its place.
                const bool left = QFileInfo::exists(movingMainDatabasePath(dataDir));
                leftovers += left;
                QDir().mkpath(dataDir);
                QFile::copy(QStringLiteral(LUMO_SHARE_DIR "/") + QLatin1String(TemplateDatabaseFile),
                            dataDir + QLatin1String(TemplateDatabaseFile));
                const PreparedFiles p = prepareDataDirectory(dataDir);
                QVERIFY(!QFileInfo::exists(movingMainDatabasePath(dataDir)));
                if (left)
                    QVERIFY2(p.move.error == unfinishedMoveMessage() && !QFileInfo::exists(main),
                             qPrintable(p.move.error));
                ++nothing;
                continue;
            }
            Status st;
            auto db = to ? Database::connect({server, {}}, &st)
                         : Database::open(main, FileKind::Main, Database::Access::ReadOnly, &st);
            QVERIFY2(db, qPrintable(st.error));
            const Content got = contentOf(*db);
            const QString at = QStringLiteral("move %1 (%2)").arg(kills).arg(to ? "to" : "from");
            QVERIFY2(got.chainWhole, qPrintable(at));
            if (got.subjects == 0) {
                QVERIFY2(got.measurements == 0 && got.auditRows == 0, qPrintable(at));
                ++nothing;
                continue;
            }
            QVERIFY2(got.subjects == want.subjects && got.measurements == want.measurements, qPrintable(at));
            QVERIFY2(got.lastAction == QLatin1String("import"),
                     qPrintable(at + QLatin1Char(' ') + got.lastAction));
            ++whole;
        }
        std::printf("move loop: %d kills of moves taking %lld ms, %d moved whole with their entry, %d left "
                    "nothing (%d unfinished files removed at the next start)\n",
                    kills, moveMs, whole, nothing, leftovers);
        std::fflush(stdout);
        QCOMPARE(kills, WantedMoveKills);
        QVERIFY(whole > 0 && nothing > 0); // the kills fell before and after the commits
    }
};

QTEST_GUILESS_MAIN(TestCrashLoop)
#include "test_crashloop.moc"
