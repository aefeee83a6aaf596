#include "records/subjectexport.h"

#include "analysis/reportinput.h"
#include "base/atomicfolder.h"
#include "base/formats.h"
#include "records/fhirbundle.h"
#include "records/measurements.h"
#include "records/researchcsv.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QSqlQuery>

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

Status writeReports(SharedState& state, const SubjectRow& subject, const QVector<MeasurementRow>& rows,
                    const QString& options, FolderBeside& folder,
                    const std::function<void(int, int)>& progress)
{
    for (int i = 0; i < rows.size(); ++i) {
        const MeasurementRow& m = rows[i];
        QString error;
        auto ctx = reportContext(state, subject, energyOf(m, state.compensation), options, m.MEMO1, &error);
        // A refused analysis still gives a context: the report prints the values and the reason.
        if (!ctx) return Status::failure(error);
        QByteArray pdf;
        if (!renderReportPdf(ctx->input, &pdf, &error)) return Status::failure(error);
        if (Status s = folder.write(reportFileName(i + 1, m), pdf); !s) return s;
        if (progress) progress(i + 1, int(rows.size()));
    }
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
    if (st) st = writeReports(state, subject, rows, printOptions, folder, progress);
    if (st) st = folder.place();
    if (!st) return st;
    if (outcome) *outcome = SubjectExportOutcome{QDir(folderPath).absolutePath(), int(rows.size())};
    return Status::success();
}

} // namespace lumo
