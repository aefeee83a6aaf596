#include "records/subjectexport.h"

#include "analysis/reportinput.h"
#include "base/atomicfolder.h"
#include "base/formats.h"
#include "records/fhirbundle.h"
#include "records/measurements.h"
#include "records/researchcsv.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

EnergySet energyOf(const MeasurementRow& m, const CompensationTable& table)
{
    EnergySet e;
    e.Readings = m.ZU;
    e.recompensate(table);
    e.TakenAt = m.ZUDATE;
    e.VoltageMode = m.ZUVOTA;
    e.Memo = m.MEMO1.isEmpty() ? QStringList() : m.MEMO1.split(QStringLiteral("\r\n"));
    return e;
}

// The measurements' reports, shared out among the threads that render them:
// each takes the next measurement not yet taken, so a thread slowed by other
// work on the machine holds up no fixed share. The first failure stops them all.
class ReportQueue
{
public:
    explicit ReportQueue(int total) : m_total(total) {}
    int total() const { return m_total; }
    // The next measurement to render, or -1 when none is left or one failed.
    int take()
    {
        if (m_failed) return -1;
        const int i = m_next++;
        return i < m_total ? i : -1;
    }
    int finish() { return ++m_done; }
    void fail(const Status& why)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_failed) m_failure = why;
        m_failed = true;
    }
    // Read once every thread has stopped.
    const Status& outcome() const { return m_failure; }

private:
    const int m_total;
    std::atomic<int> m_next{0}, m_done{0};
    std::atomic<bool> m_failed{false};
    std::mutex m_mutex;
    Status m_failure;
};

// What renders the reports: the data, the print options and the folder the
// reports go into as soon as each is done (FolderBeside::write may be called
// from several threads at once).
struct ReportJob
{
    const SubjectRow& subject;
    const QVector<MeasurementRow>& rows;
    const QString& options;
    FolderBeside& folder;
    ReportQueue queue;
};

// One report, rendered and written; a failure names the report it stopped at.
Status renderOne(SharedState& state, const ReportJob& job, int i)
{
    const MeasurementRow& m = job.rows[i];
    const QString name = reportFileName(i + 1, m);
    QString error;
    auto ctx =
        reportContext(state, job.subject, energyOf(m, state.compensation), job.options, m.MEMO1, &error);
    QByteArray pdf;
    // A refused analysis still gives a context: the report prints the values and the reason.
    if (!ctx || !renderReportPdf(ctx->input, &pdf, &error))
        return Status::failure(QStringLiteral("%1: %2").arg(name, error));
    return job.folder.write(name, pdf);
}

// Renders from the queue until it is empty; `rendered` runs after each
// report with the count all threads have done.
void renderShare(SharedState& state, ReportJob& job, const std::function<void(int)>& rendered = {})
{
    for (int i = job.queue.take(); i >= 0; i = job.queue.take()) {
        const Status st = renderOne(state, job, i);
        if (!st) job.queue.fail(st);
        const int done = job.queue.finish();
        if (rendered) rendered(done);
    }
}

// What a helper thread renders with: its own connections to the databases
// (a connection belongs to the thread that opened it) and a copy of the
// settings the report reads.
struct ReportWorker
{
    SharedState state;
    Status opened;
    explicit ReportWorker(const SharedState& from)
    {
        state.DataDirectory = from.DataDirectory;
        state.config = from.config;
        state.compensation = from.compensation;
        // A connection of its own to the same database: the server's, or the file read-only.
        Database& main = *from.MainDatabase;
        state.MainDatabase = main.onServer() ? Database::connect(main.login(), &opened)
                                             : Database::open(main.path(), FileKind::Main,
                                                              Database::Access::ReadOnly, &opened);
        if (opened && from.KnowledgeDatabase)
            state.KnowledgeDatabase = Database::open(from.KnowledgeDatabase->path(), FileKind::Knowledge,
                                                     Database::Access::ReadOnly, &opened);
    }
};

// A report is some ten milliseconds of font and page work (most of it the
// PDF writer embedding the font subset), most of a large export's time: the
// reports are rendered on every core, with one thread per core besides this
// one. Small exports stay on this thread, where opening the helpers'
// connections would cost more than it saves.
std::vector<std::jthread> startHelpers(const SharedState& state, ReportJob& job)
{
    const int threads = job.queue.total() < 8 ? 1 : qBound(1, QThread::idealThreadCount(), 4);
    std::vector<std::jthread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back([&state, &job] {
            ReportWorker w(state);
            if (!w.opened)
                job.queue.fail(w.opened);
            else
                renderShare(w.state, job);
        });
    return helpers;
}

// The bundle and the research files: written by this thread while the helpers render.
Status writeRecords(SharedState& state, const SubjectRow& subject, const QVector<MeasurementRow>& rows,
                    FolderBeside& folder)
{
    ResearchCsv csv;
    Status st = buildResearchCsv(*state.MainDatabase, ResearchCsvOptions{false, subject.CUSTNO}, &csv);
    if (st)
        st = folder.write(QLatin1String(SubjectBundleFile),
                          subjectBundleJson(subject, rows, state.compensation, QDateTime::currentDateTime()));
    if (st) st = folder.write(QLatin1String(ResearchSubjectsFile), csv.subjects);
    if (st) st = folder.write(QLatin1String(ResearchMeasurementsFile), csv.measurements);
    return st;
}

// Everything into the folder: the helpers render while this thread writes the
// bundle and the research files, then renders with them and shows the
// progress of all. Returns once every thread has stopped, with the first failure.
Status writeFolder(SharedState& state, ReportJob& job, const std::function<void(int, int)>& progress)
{
    const int total = job.queue.total();
    int shown = 0;
    {
        const std::vector<std::jthread> helpers = startHelpers(state, job);
        const Status st = writeRecords(state, job.subject, job.rows, job.folder);
        if (!st) job.queue.fail(st);
        renderShare(state, job, [&](int done) {
            shown = done;
            if (progress) progress(shown, total);
        });
    } // the helpers are joined here, before anything is read or removed
    if (!job.queue.outcome()) return job.queue.outcome();
    // The helpers may finish after this thread's last report.
    if (progress && shown != total) progress(total, total);
    return Status::success();
}

} // namespace

QString subjectFolderName(const QString& custNo, const QDate& day)
{
    QString name = custNo.trimmed();
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('"') ||
            c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('|') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    // A leading dot would hide the folder.
    if (name.startsWith(QLatin1Char('.'))) name[0] = QLatin1Char('_');
    return QStringLiteral("LUMO-%1-%2").arg(name, day.toString(QStringLiteral("yyyyMMdd")));
}

QString reportFileName(int n, const MeasurementRow& m)
{
    const QString when = m.ZUDATE == 0
                             ? QStringLiteral("no-date")
                             : dateTimeFromDayNumber(m.ZUDATE).toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return QStringLiteral("report-%1-%2.pdf").arg(n, 3, 10, QLatin1Char('0')).arg(when);
}

qint64 countSubjectsWithNumber(Database& db, const QString& custNo)
{
    // Compared as the measurements are read (listForSubject): "a01" and "A01"
    // are one number on either engine, so neither's records go to the other.
    const Engine& e = db.engine();
    SqlRows rows;
    if (!db.run(QStringLiteral("SELECT COUNT(*) FROM ZUCUST WHERE %1 = %2")
                    .arg(e.caseless(QStringLiteral("CUSTNO")), e.caselessValue()),
                {custNo}, &rows) ||
        rows.isEmpty())
        return -1;
    return rows.first().value(0).toLongLong();
}

QString exportAuditText(const SubjectRow& subject, const QString& folder, int measurements)
{
    return u("%1 %2：匯出至 %3 (測量資料 %4 筆)")
        .arg(subject.CUSTNO, subject.NAME, QDir::toNativeSeparators(folder))
        .arg(measurements);
}

Status exportSubjectRecords(SharedState& state, const SubjectRow& subject, const QString& folderPath,
                            const QString& printOptions, SubjectExportOutcome* outcome,
                            const std::function<void(int, int)>& progress)
{
    Database& db = *state.MainDatabase;
    const qint64 holders = countSubjectsWithNumber(db, subject.CUSTNO);
    if (holders > 1)
        return Status::failure(
            u("編號 %1 有 %2 位受測者，無法分辨各自的測量資料；請先以「合併受測者」合併後再匯出。")
                .arg(subject.CUSTNO)
                .arg(holders));
    if (holders < 1) return Status::failure(u("沒有編號為 %1 的受測者").arg(subject.CUSTNO));
    // What an export killed before it placed its folder left there (the personal data of a subject).
    FolderBeside::removeLeftovers(QFileInfo(folderPath).absolutePath());
    FolderBeside folder(folderPath);
    if (!folder.begun()) return folder.begun();

    const QVector<MeasurementRow> rows = MeasurementStore(db).listForSubject(subject.CUSTNO);
    ReportJob job{subject, rows, printOptions, folder, ReportQueue(int(rows.size()))};
    Status st = writeFolder(state, job, progress);
    if (st) st = folder.place();
    if (!st) return st;
    if (outcome) *outcome = SubjectExportOutcome{QDir(folderPath).absolutePath(), int(rows.size())};
    return Status::success();
}

} // namespace lumo
