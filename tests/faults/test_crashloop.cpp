// Kills the writer (crash_writer.cpp) with SIGKILL at random moments, again
// and again, and after every kill checks what a power cut must never cost:
// the database passes SQLite's full check, every change reported committed is
// there, no change is there in part, and ZuDefTw.ini is one whole save.
#include "records/database.h"
#include "records/subjects.h"
#include "shell/configuration.h"
#include "shell/sharedstate.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
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
            problem = checkConfiguration(ini, rep, f);
            QVERIFY2(problem.isEmpty(),
                     qPrintable(QStringLiteral("after kill %1: %2").arg(f.kills).arg(problem)));
            if (f.kills == WantedKills) {
                std::printf("crash loop: %d kills in %lld ms, %d checks passed, %lld changes reported "
                            "(M %zu, E %zu, C %zu, I %zu), rows ZUCUST %lld ZUDATA %lld\n",
                            f.kills, qint64(clock.elapsed()), f.checks, rep.total, rep.count('M'),
                            rep.count('E'), rep.count('C'), rep.count('I'), f.subjects, f.measurements);
                std::fflush(stdout);
                QVERIFY(rep.total > WantedKills); // the kills fell among real work
            }
        }
        QVERIFY2(f.kills >= WantedKills,
                 qPrintable(QStringLiteral("only %1 kills in %2 ms").arg(f.kills).arg(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestCrashLoop)
#include "test_crashloop.moc"
