#include "records/subjectexport.h"

#include "analysis/reportinput.h"
#include "base/atomicfolder.h"
#include "base/formats.h"
#include "records/fhirbundle.h"
#include "records/measurements.h"
#include "records/researchcsv.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QThread>

#include <QSqlQuery>
#include <atomic>
#include <thread>

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

Status renderOne(SharedState& state, const SubjectRow& subject, const MeasurementRow& m,
                 const QString& options, QByteArray* pdf)
{
    QString error;
    auto ctx = reportContext(state, subject, energyOf(m, state.compensation), options, m.MEMO1, &error);
    // A refused analysis still gives a context: the report prints the values and the reason.
    if (!ctx) return Status::failure(error);
    if (!renderReportPdf(ctx->input, pdf, &error)) return Status::failure(error);
    return Status::success();
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
        state.MainDatabase =
            Database::open(from.MainDatabase->path(), FileKind::Main, Database::Access::ReadOnly, &opened);
        if (opened && from.KnowledgeDatabase)
            state.KnowledgeDatabase = Database::open(from.KnowledgeDatabase->path(), FileKind::Knowledge,
                                                     Database::Access::ReadOnly, &opened);
    }
};

// The reports of the measurements, rendered side by side on the machine's
// cores: a report is some ten milliseconds of font and page work, most of a
// large export's time. Each thread takes every n-th measurement.
Status renderReports(SharedState& state, const SubjectRow& subject, const QVector<MeasurementRow>& rows,
                     const QString& options, QVector<QByteArray>* pdfs,
                     const std::function<void(int, int)>& progress)
{
    const int total = int(rows.size());
    const int threads = total < 8 ? 1 : qBound(1, QThread::idealThreadCount(), 4);
    pdfs->resize(total);
    QVector<Status> outcomes(threads);
    // Plain pointers into storage that does not move while the threads run.
    QByteArray* out = pdfs->data();
    Status* result = outcomes.data();
    std::atomic<int> done{0};
    std::atomic<bool> failed{false};
    int shown = 0;
    auto work = [&](SharedState& st, int first) {
        for (int i = first; i < total && !failed; i += threads) {
            result[first] = renderOne(st, subject, rows[i], options, &out[i]);
            if (!result[first]) failed = true;
            ++done;
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back([&, t] {
            ReportWorker w(state);
            if (!w.opened) {
                result[t] = w.opened;
                failed = true;
                return;
            }
            work(w.state, t);
        });
    // This thread takes its share and reports the progress of all.
    for (int i = 0; i < total && !failed; i += threads) {
        result[0] = renderOne(state, subject, rows[i], options, &out[i]);
        if (!result[0]) failed = true;
        shown = ++done;
        if (progress) progress(shown, total);
    }
    for (std::thread& h : helpers)
        h.join();
    for (const Status& o : outcomes)
        if (!o) return o;
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
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM ZUCUST WHERE CUSTNO = ?"));
    q.addBindValue(custNo);
    return q.exec() && q.next() ? q.value(0).toLongLong() : -1;
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
    FolderBeside folder(folderPath);
    if (!folder.begun()) return folder.begun();

    const QVector<MeasurementRow> rows = MeasurementStore(db).listForSubject(subject.CUSTNO);
    ResearchCsv csv;
    Status st = buildResearchCsv(db, ResearchCsvOptions{false, subject.CUSTNO}, &csv);
    if (st)
        st = folder.write(QLatin1String(SubjectBundleFile),
                          subjectBundleJson(subject, rows, state.compensation, QDateTime::currentDateTime()));
    if (st) st = folder.write(QLatin1String(ResearchSubjectsFile), csv.subjects);
    if (st) st = folder.write(QLatin1String(ResearchMeasurementsFile), csv.measurements);
    QVector<QByteArray> pdfs;
    if (st) st = renderReports(state, subject, rows, printOptions, &pdfs, progress);
    for (int i = 0; st && i < rows.size(); ++i)
        st = folder.write(reportFileName(i + 1, rows[i]), pdfs[i]);
    if (st) st = folder.place();
    if (!st) return st;
    if (outcome) *outcome = SubjectExportOutcome{QDir(folderPath).absolutePath(), int(rows.size())};
    return Status::success();
}

} // namespace lumo
