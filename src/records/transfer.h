#pragma once
// Moving the two groups of data between the main database and a transfer
// file: the treatment programs (ZUPRO, ZUPRDT) and the subjects with their
// measurements (ZUCUST, ZUDATA). The rows travel as tablemapping carries them;
// every change of an import is one transaction of the main database.

#include "records/database.h"
#include "records/legacysource.h"
#include "records/programcommands.h"

#include <functional>

namespace lumo {

struct TransferGroups
{
    bool programs = false; // 專家療程資料
    bool records = false;  // 病歷檢測資料
    bool any() const { return programs || records; }
};

enum class TransferDirection
{
    Export,
    Import
};

// The code the message table of a failed copy is keyed by, from this
// platform's error number: ENOENT 2, EACCES and EPERM 5, EROFS 19,
// ENODEV/ENXIO/ENOMEDIUM 21, EIO 30, EBUSY/ETXTBSY 32, ENOSPC/EDQUOT 112;
// any other number stands for itself.
int transferErrorCode(int osError);
// The text of the table for the code ("磁碟容量不足 !!", or the ErrorCode form).
QString transferErrorText(int osError, TransferDirection direction);
// A message as shown: the text and " 請排除問題後重新匯出資料。" (or 匯入).
QString transferFailureMessage(const QString& text, TransferDirection direction);
// An engine's or a file's error as shown: "資料匯出錯誤 !! " + the error + "，" and the request.
QString transferErrorMessage(const QString& error, TransferDirection direction);

// The bar of the screen: 0..2000, advancing by 5 after each step and each
// copied row. An operation of more than 400 advances would fill it long
// before its end and then stand still; its advances are spread over the bar
// instead, so the bar keeps moving until the operation ends.
class TransferProgress
{
public:
    static constexpr int Maximum = 2000;
    static constexpr int Step = 5;
    explicit TransferProgress(std::function<void(int)> show = {}) : m_show(std::move(show)) {}
    void plan(qint64 advances);
    void advance();
    void fill();
    void reset();
    int value() const { return m_value; }

private:
    void set(int v);
    std::function<void(int)> m_show;
    qint64 m_planned = 0;
    qint64 m_done = 0;
    int m_value = 0;
};

// Export: the rows of the ticked groups appended to the transfer database,
// programs in ProNo order then their conditions, subjects in CUSTNO order
// then the measurements; perRow after each row. One transaction of the
// transfer file; the main database is only read (in one snapshot).
Status exportRows(Database& main, Database& transfer, TransferGroups groups,
                  const std::function<void()>& perRow);
// How many rows exportRows copies.
qint64 exportRowCount(Database& main, TransferGroups groups, Status* status);

// What a transfer file holds of the ticked groups, read before anything changes.
struct ImportScan
{
    qint64 programs = 0, conditions = 0, subjects = 0, measurements = 0;
    // The external commands the programs' buttons would start.
    QVector<ProgramCommand> commands;
    bool importsPrograms(TransferGroups g) const { return g.programs && programs > 0; }
    bool importsRecords(TransferGroups g) const { return g.records && subjects > 0; }
};
Status scanImport(LegacySource& source, TransferGroups groups, ImportScan* scan);

struct ImportChoice
{
    TransferGroups groups;
    bool replace = false;     // 取代原有資料: the main rows of an imported group are deleted first
    bool withCommands = true; // false: the programs arrive without their external commands
};

// Import: every change in one transaction of the main database; a group whose
// transfer table (ZUPRO, ZUCUST) is empty is skipped. On any error nothing is
// changed and the error is returned. perRow runs after each appended row and
// after each table emptied by a replacement; beforeCommit, last, inside the
// same transaction (the audit log's entry of the import).
Status importRows(Database& main, LegacySource& source, const ImportChoice& choice, const ImportScan& scan,
                  const std::function<void()>& perRow, const std::function<Status()>& beforeCommit = {});

} // namespace lumo
