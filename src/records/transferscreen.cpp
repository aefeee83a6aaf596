#include "records/transferscreen.h"

#include "records/sqlitesource.h"

namespace lumo {
namespace {

QVector<QStringList> rowsOf(Database& main, const QString& sql, Status* status)
{
    QVector<QStringList> rows;
    auto cursor = queryCursor(main, sql, status);
    if (!cursor) return rows;
    LegacyRow row;
    while (cursor->next(&row)) {
        QStringList texts;
        for (const QVariant& v : row)
            texts << v.toString();
        rows.append(texts);
    }
    *status = cursor->error();
    return rows;
}

} // namespace

TransferButtonState transferButtons(const TransferScreenState& s)
{
    TransferButtonState b;
    b.leaveEnabled = !s.running;
    if (s.running) return b;
    if (s.exportPage)
        b.exportEnabled = s.anyExportBox;
    else
        b.importEnabled = s.anyImportBox && s.transferFileShown;
    return b;
}

QString transferCountText(qint64 count)
{
    return QLatin1Char('[') + QString::asprintf("%6.0d", int(count)) + QLatin1Char(']');
}

QString transferStatusText(bool exportPage)
{
    return exportPage
               ? QString::fromUtf8("本功能會將系統工作目錄下的檔案資料，匯出到您所指定的磁碟或目錄中。")
               : QString::fromUtf8("本功能會將您所指定的磁碟或目錄中檔案資料，匯入到系統工作目錄中。");
}

QVector<QStringList> transferProgramRows(Database& main, Status* status)
{
    return rowsOf(main,
                  QStringLiteral("SELECT ProNo, ProName FROM ZUPRO ORDER BY %1, MKEY")
                      .arg(main.engine().caseless(QStringLiteral("ProNo"))),
                  status);
}

QVector<QStringList> transferSubjectRows(Database& main, Status* status)
{
    return rowsOf(main,
                  QStringLiteral("SELECT CUSTNO, NAME, ADDR FROM ZUCUST ORDER BY %1, MKEY")
                      .arg(main.engine().caseless(QStringLiteral("CUSTNO"))),
                  status);
}

} // namespace lumo
