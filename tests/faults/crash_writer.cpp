// The writer the crash loop kills: it changes the data directory through the
// program's own libraries as fast as it can, and after every commit appends
// one line "KIND SEQ" to the report file and forces it to disk, so that every
// reported change is one the database or the file must still hold after a kill.
//   crash_writer DATADIR REPORT FIRSTSEQ SEED
// Kinds: M a subject with two measurements (one transaction), E the subject
// EDIT with NAME and ADDR from one edit, C the configuration (three lines that
// name the save), I an import of a transfer file of three subjects, S an
// import of a spreadsheet of three subjects, G two new subjects merged. The
// writer runs in practice mode: I, S and G write their audit log entries.
#include "records/measurements.h"
#include "records/operationhook.h"
#include "records/subjectimport.h"
#include "records/subjectmerge.h"
#include "records/subjects.h"
#include "records/transferflow.h"
#include "shell/configuration.h"
#include "shell/sharedstate.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace lumo;

namespace {

class Report
{
public:
    explicit Report(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600))
    {
    }
    bool ok() const { return m_fd >= 0; }
    bool committed(char kind, qint64 seq)
    {
        const QByteArray line = QByteArray(1, kind) + ' ' + QByteArray::number(seq) + '\n';
        return ::write(m_fd, line.constData(), size_t(line.size())) == line.size() && ::fsync(m_fd) == 0;
    }

private:
    int m_fd;
};

bool addSubjectWithMeasurements(Database& db, qint64 seq)
{
    Transaction t(db);
    SubjectRow s;
    s.CUSTNO = QStringLiteral("M%1").arg(seq);
    s.NAME = s.CUSTNO;
    if (!t.active() || !SubjectStore(db).append(s)) return false;
    for (int k = 0; k < 2; ++k) {
        MeasurementRow r;
        r.CUSTNO = s.CUSTNO;
        r.ZU[0] = k;
        if (!MeasurementStore(db).append(r)) return false;
    }
    return bool(t.commit());
}

bool editSubject(Database& db, qint64 seq)
{
    SubjectStore store(db);
    Transaction t(db);
    if (!t.active()) return false;
    std::optional<SubjectRow> s = store.findByCustNo(QStringLiteral("EDIT"));
    if (!s) return false;
    s->NAME = QStringLiteral("n%1").arg(seq);
    s->ADDR = QStringLiteral("a%1").arg(seq);
    return store.update(*s) && t.commit();
}

bool saveConfiguration(const QString& dataDir, qint64 seq)
{
    Configuration c = Configuration::createdDefaults();
    const QString tag = QStringLiteral("c%1").arg(seq);
    // Three lines of the file name the save, the last among them: a file cut short or mixed shows.
    c.UserName1 = tag;
    c.UserData2 = tag;
    c.ToolParam[5] = tag;
    return bool(SaveConfiguration(QDir(dataDir).filePath(QLatin1String(ConfigurationFileName)), c));
}

bool importTransferFile(SharedState& state, const QString& scratch, qint64 seq)
{
    Database& main = *state.MainDatabase;
    const QString dataDir = state.DataDirectory;
    const QString source = QDir(scratch).filePath(QStringLiteral("I%1").arg(seq));
    QDir(source).removeRecursively();
    QDir().mkpath(source);
    {
        Status st;
        auto file = Database::create(QDir(source).filePath(QLatin1String("ZuTran.mdb")), FileKind::Main, &st);
        if (!file) return false;
        for (int k = 0; k < 3; ++k) {
            SubjectRow s;
            s.CUSTNO = QStringLiteral("I%1-%2").arg(seq).arg(k);
            MeasurementRow r;
            r.CUSTNO = s.CUSTNO;
            r.ZUDATE = 45000; // an import refuses a measurement of no date
            if (!SubjectStore(*file).append(s) || !MeasurementStore(*file).append(r)) return false;
        }
    }
    ScriptedMessages yes;
    yes.setDefaultAnswer(true);
    const AuditEntry entry{QStringLiteral("import"), {}, 0, transferImportAuditText(source, false)};
    TransferFlow flow(main, dataDir,
                      TransferHooks{&yes, {}, {}, {}, {}, [&] { return audit(state, entry); }});
    const bool ok =
        flow.runImport(ImportRequest{source, TransferGroups{false, true}, false}) == TransferOutcome::Done;
    QDir(source).removeRecursively();
    if (!ok)
        for (const auto& m : yes.shown())
            std::fprintf(stderr, "%s\n", qPrintable(m.text));
    return ok;
}

bool importSubjectList(SharedState& state, const QString& scratch, qint64 seq)
{
    QDir().mkpath(scratch);
    const QString path = QDir(scratch).filePath(QStringLiteral("S%1.csv").arg(seq));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return false;
        f.write(QStringLiteral("CUSTNO,NAME\nS%1-0,a\nS%1-1,b\nS%1-2,c\n").arg(seq).toUtf8());
    }
    CsvTable table;
    if (!readCsvFile(path, &table)) return false;
    const ImportPlan plan =
        planSubjectImport(table, guessMapping(table.header), *state.MainDatabase, QDate::currentDate());
    const Status st = runRecordOperation(state, RecordOperation::ImportSubjects, path, [&](AuditEntry& e) {
        int added = 0, skipped = 0;
        QStringList numbers;
        const Status done =
            importSubjects(*state.MainDatabase, plan, ExistingNumbers::Refuse, &added, &skipped, &numbers);
        e.detail = importAuditText(path, numbers, skipped);
        return done;
    });
    QFile::remove(path);
    return st.ok;
}

// Two subjects with a measurement each (one transaction), then the second merged into the first.
bool mergeNewPair(SharedState& state, qint64 seq)
{
    Database& db = *state.MainDatabase;
    SubjectRow a, b;
    a.CUSTNO = QStringLiteral("G%1-a").arg(seq);
    b.CUSTNO = QStringLiteral("G%1-b").arg(seq);
    {
        Transaction t(db);
        for (SubjectRow* s : {&a, &b}) {
            MeasurementRow m;
            m.CUSTNO = s->CUSTNO;
            if (!t.active() || !SubjectStore(db).append(*s) || !MeasurementStore(db).append(m)) return false;
        }
        if (!t.commit()) return false;
    }
    return runRecordOperation(state, RecordOperation::MergeSubjects, a.CUSTNO,
                              [&](AuditEntry& e) {
                                  return mergeSubjects(db, a, b, MergeChoice{}, 45000, nullptr, &e.detail);
                              })
        .ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 5) return 1;
    const QString dataDir = a[1];
    Report report(a[2]);
    qint64 seq = a[3].toLongLong();
    QRandomGenerator random(a[4].toUInt());
    Status st;
    SharedState state;
    state.DataDirectory = dataDir;
    state.Session =
        OperatorSession{true, QStringLiteral("crash"), Role::Admin, QStringLiteral("crash-writer")};
    state.MainDatabase = Database::open(QDir(dataDir).filePath(QStringLiteral("lumo4.mdb")), FileKind::Main,
                                        Database::Access::ReadWrite, &st);
    Database* db = state.MainDatabase.get();
    if (!db || !report.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(st.error));
        return 2;
    }
    const QString scratch = QDir(dataDir).filePath(QStringLiteral("../scratch"));
    std::printf("ready\n");
    std::fflush(stdout);
    for (;; ++seq) {
        const quint32 pick = random.bounded(20u);
        const char kind = pick < 6    ? 'M'
                          : pick < 10 ? 'E'
                          : pick < 13 ? 'C'
                          : pick < 15 ? 'I'
                          : pick < 18 ? 'S'
                                      : 'G';
        bool ok = false;
        switch (kind) {
        case 'M':
            ok = addSubjectWithMeasurements(*db, seq);
            break;
        case 'E':
            ok = editSubject(*db, seq);
            break;
        case 'C':
            ok = saveConfiguration(dataDir, seq);
            break;
        case 'I':
            ok = importTransferFile(state, scratch, seq);
            break;
        case 'S':
            ok = importSubjectList(state, scratch, seq);
            break;
        default:
            ok = mergeNewPair(state, seq);
            break;
        }
        if (!ok) {
            std::fprintf(stderr, "change %c %lld failed\n", kind, seq);
            return 3;
        }
        if (!report.committed(kind, seq)) return 4;
    }
}
