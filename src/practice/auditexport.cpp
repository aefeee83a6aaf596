#include "practice/auditexport.h"
#include "practice/auditactions.h"

#include "records/researchcsv.h"

#include <QSaveFile>

namespace lumo {
namespace {

QByteArray csvLine(const QStringList& fields)
{
    QStringList out;
    for (const QString& f : fields)
        out << csvField(f);
    return out.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray csvRow(const AuditRow& r)
{
    return csvLine({QString::number(r.mkey), r.time, r.operatorName, r.workstation, r.action, r.custNo,
                    r.dataKey ? QString::number(r.dataKey) : QString(), r.detail, r.hash,
                    auditActionLabel(r.action)});
}

} // namespace

AuditExportFormat auditExportFormatOf(const QString& file)
{
    return file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? AuditExportFormat::Csv
                                                                     : AuditExportFormat::JsonLines;
}

Status exportAuditRows(Database& db, AuditFilter filter, const QString& file, AuditExportFormat format,
                       qint64* rows)
{
    *rows = 0;
    filter.newest = 0; // the file holds every row the filter finds, in the log's order
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return Status::failure(QString::fromUtf8("無法寫入 %1：%2").arg(file, out.errorString()));
    bool written = true;
    if (format == AuditExportFormat::Csv)
        written =
            out.write("\xEF\xBB\xBF" +
                      csvLine({QStringLiteral("MKEY"), QStringLiteral("ATIME"), QStringLiteral("OPERATOR"),
                               QStringLiteral("WORKSTATION"), QStringLiteral("ACTION"),
                               QStringLiteral("CUSTNO"), QStringLiteral("DATAKEY"), QStringLiteral("DETAIL"),
                               QStringLiteral("HASH"), QStringLiteral("ACTIONNAME")})) > 0;
    const Status read = readAuditRows(db, filter, [&](const AuditRow& r) {
        const QByteArray line = format == AuditExportFormat::Csv ? csvRow(r) : auditRowJson(r) + '\n';
        written = written && out.write(line) == line.size();
        if (written) ++*rows;
        return written;
    });
    if (!read) return read; // the half-written file is discarded with `out`
    if (!written || !out.commit())
        return Status::failure(QString::fromUtf8("無法寫入 %1：%2").arg(file, out.errorString()));
    return Status::success();
}

} // namespace lumo
