#pragma once
// The rules of the import and export screen that need no window: which
// buttons work, the texts it shows, the rows of its two lists.

#include "records/database.h"

#include <QStringList>
#include <QVector>

namespace lumo {

struct TransferButtonState
{
    bool exportEnabled = false; // 資料匯出
    bool importEnabled = false; // 匯入資料
    bool leaveEnabled = true;   // 離  開
};

struct TransferScreenState
{
    bool exportPage = true;
    bool anyExportBox = false; // 專家療程資料, 病歷檢測資料 or 研究用 CSV 檔案 ticked
    bool anyImportBox = false;
    bool transferFileShown = false; // the import page's file list shows ZuTran.mdb
    bool running = false;
};

// On the export page 匯入資料 is off and 資料匯出 works while a box is ticked;
// on the import page 資料匯出 is off and 匯入資料 works while a box is ticked
// and a transfer file is listed. Nothing but the running operation works while
// one runs.
TransferButtonState transferButtons(const TransferScreenState& s);

// "[" + the count in "%6.0d" + "]".
QString transferCountText(qint64 count);
// The status bar of each page.
QString transferStatusText(bool exportPage);

// The list rows: programs as 編號, 療程名稱 by ProNo; subjects as 編號, 姓名, 地址 by CUSTNO.
QVector<QStringList> transferProgramRows(Database& main, Status* status);
QVector<QStringList> transferSubjectRows(Database& main, Status* status);

} // namespace lumo
