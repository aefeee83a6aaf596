// The writer the crash loop kills: it changes the data directory through the
// program's own libraries as fast as it can, and after every commit appends
// one line "KIND SEQ" to the report file and forces it to disk, so that every
// reported change is one the database or the file must still hold after a kill.
//   crash_writer DATADIR REPORT FIRSTSEQ SEED
// Kinds: M a subject with two measurements (one transaction), E the subject
// EDIT with NAME and ADDR from one edit, C the configuration (three lines that
// name the save), I an import of a transfer file of three subjects.
#include "records/measurements.h"
#include "records/subjects.h"
#include "records/transferflow.h"
#include "shell/configuration.h"

#include <QCoreApplication>
#include <QDir>
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

bool importTransferFile(Database& main, const QString& dataDir, const QString& scratch, qint64 seq)
{
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
            if (!SubjectStore(*file).append(s) || !MeasurementStore(*file).append(r)) return false;
        }
    }
    ScriptedMessages yes;
    yes.setDefaultAnswer(true);
    TransferFlow flow(main, dataDir, TransferHooks{&yes, {}, {}, {}, {}});
    const bool ok =
        flow.runImport(ImportRequest{source, TransferGroups{false, true}, false}) == TransferOutcome::Done;
    QDir(source).removeRecursively();
    return ok;
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
    auto db = Database::open(QDir(dataDir).filePath(QStringLiteral("lumo4.mdb")), FileKind::Main,
                             Database::Access::ReadWrite, &st);
    if (!db || !report.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(st.error));
        return 2;
    }
    const QString scratch = QDir(dataDir).filePath(QStringLiteral("../scratch"));
    std::printf("ready\n");
    std::fflush(stdout);
    for (;; ++seq) {
        const quint32 pick = random.bounded(10u);
        const char kind = pick < 4 ? 'M' : pick < 7 ? 'E' : pick < 9 ? 'C' : 'I';
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
        default:
            ok = importTransferFile(*db, dataDir, scratch, seq);
            break;
        }
        if (!ok) {
            std::fprintf(stderr, "change %c %lld failed\n", kind, seq);
            return 3;
        }
        if (!report.committed(kind, seq)) return 4;
    }
}
