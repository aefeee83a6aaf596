#include "records/transfer.h"

#include "records/programcommands.h"
#include "records/sqlitesource.h"
#include "records/tablemapping.h"
#include "records/transferextras.h"

#include <cerrno>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

struct GroupTables
{
    const char* master;
    const char* detail;
    const char* link; // the export orders the master rows by it (then MKEY)
};
const GroupTables kPrograms{"ZUPRO", "ZUPRDT", "ProNo"};
const GroupTables kRecords{"ZUCUST", "ZUDATA", "CUSTNO"};

Status exec(Database& db, const QString& sql)
{
    const Status st = db.run(sql);
    if (st) return st;
    return Status::failure(QStringLiteral("%1: %2").arg(db.path(), st.error));
}

qint64 countOf(Database& db, const char* table, Status* status)
{
    Status st;
    auto c = queryCursor(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)), &st);
    LegacyRow row;
    if (!c || !c->next(&row)) {
        *status = c ? c->error() : st;
        return -1;
    }
    return row.value(0).toLongLong();
}

Status exportTable(Database& main, Database& transfer, const char* table, const QString& order,
                   const std::function<void()>& perRow)
{
    Status st;
    auto rows = queryCursor(
        main, QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(QLatin1String(table), order), &st);
    if (!rows) return st;
    return copyRows(*rows, QLatin1String(table), transfer, CarryRules{}, perRow);
}

Status importTable(Database& main, LegacySource& source, const char* table, const CarryRules& rules,
                   const std::function<void()>& perRow)
{
    Status st;
    auto rows = source.open(QLatin1String(table), &st);
    if (!rows) return st;
    return copyRows(*rows, QLatin1String(table), main, rules, perRow);
}

} // namespace

namespace {

// The table's code of an error number the table knows; 0 for any other.
int tableCode(int osError)
{
    switch (osError) {
    case ENOENT:
        return 2;
    case EACCES:
    case EPERM:
        return 5;
    case EROFS:
        return 19;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
        return 21;
    case EIO:
        return 30;
    case EBUSY:
    case ETXTBSY:
        return 32;
    case ENOSPC:
    case EDQUOT:
        return 112;
    default:
        return 0;
    }
}

} // namespace

int transferErrorCode(int osError)
{
    const int code = tableCode(osError);
    return code ? code : osError;
}

QString transferErrorText(int osError, TransferDirection direction)
{
    // An error number the table does not know is shown as itself, also where
    // it happens to equal one of the table's codes (EISDIR is 21, EPIPE 32).
    switch (tableCode(osError)) {
    case 2:
        return u("來源的檔案資料不存在 !!");
    case 5:
        return u("磁片或檔案是唯讀格式 !!");
    case 19:
        return u("磁碟片防寫 !!");
    case 21:
        return u("磁碟機尚未準備妥當，或沒有磁片 !!");
    case 30:
    case 31:
    case 32:
        return u("無法讀取指定裝置，或磁碟格式化錯誤 !!");
    case 112:
        return u("磁碟容量不足 !!");
    default:
        break;
    }
    return (direction == TransferDirection::Export ? u("資料匯出錯誤 !! ErrorCode[")
                                                   : u("資料匯入錯誤 !! ErrorCode[")) +
           QString::number(osError) + u("]，");
}

QString transferFailureMessage(const QString& text, TransferDirection direction)
{
    return text + (direction == TransferDirection::Export ? u(" 請排除問題後重新匯出資料。")
                                                          : u(" 請排除問題後重新匯入資料。"));
}

QString transferErrorMessage(const QString& error, TransferDirection direction)
{
    const QString head =
        direction == TransferDirection::Export ? u("資料匯出錯誤 !! ") : u("資料匯入錯誤 !! ");
    return transferFailureMessage(head + error + u("，"), direction);
}

void TransferProgress::plan(qint64 advances)
{
    m_planned = advances;
    m_done = 0;
    set(0);
}

void TransferProgress::advance()
{
    ++m_done;
    if (m_planned * Step <= Maximum)
        set(int(std::min<qint64>(m_done * Step, Maximum)));
    else
        set(int(std::min<qint64>(m_done * Maximum / m_planned, Maximum)));
}

void TransferProgress::fill()
{
    set(Maximum);
}

void TransferProgress::reset()
{
    m_planned = m_done = 0;
    set(0);
}

void TransferProgress::set(int v)
{
    if (v == m_value) return;
    m_value = v;
    if (m_show) m_show(v);
}

qint64 exportRowCount(Database& main, TransferGroups groups, Status* status)
{
    qint64 total = 0;
    for (const GroupTables* g : {&kPrograms, &kRecords}) {
        if (g == &kPrograms ? !groups.programs : !groups.records) continue;
        for (const char* table : {g->master, g->detail}) {
            const qint64 n = countOf(main, table, status);
            if (n < 0) return -1;
            total += n;
        }
    }
    *status = Status::success();
    return total;
}

Status exportRows(Database& main, Database& transfer, TransferGroups groups,
                  const std::function<void()>& perRow)
{
    ReadSnapshot snapshot(main);
    Transaction t(transfer);
    if (!t.active()) return t.begun();
    for (const GroupTables* g : {&kPrograms, &kRecords}) {
        if (g == &kPrograms ? !groups.programs : !groups.records) continue;
        const QString order = QStringLiteral("%1, MKEY").arg(main.engine().caseless(QLatin1String(g->link)));
        Status st = exportTable(main, transfer, g->master, order, perRow);
        if (st) st = exportTable(main, transfer, g->detail, QStringLiteral("MKEY"), perRow);
        // How the measurements were taken travels with them (side tables the earlier program ignores).
        if (st && g == &kRecords) st = exportMeasurementExtras(main, transfer);
        if (!st) return st;
    }
    return t.commit();
}

Status scanImport(LegacySource& source, TransferGroups groups, ImportScan* scan)
{
    *scan = ImportScan{};
    Status st;
    if (groups.programs) {
        if ((scan->programs = source.rowCount(QStringLiteral("ZUPRO"), &st)) < 0) return st;
        if ((scan->conditions = source.rowCount(QStringLiteral("ZUPRDT"), &st)) < 0) return st;
        if (scan->programs > 0) {
            auto rows = source.open(QStringLiteral("ZUPRO"), &st);
            if (!rows || !(st = listProgramCommands(*rows, &scan->commands))) return st;
        }
    }
    if (groups.records) {
        if ((scan->subjects = source.rowCount(QStringLiteral("ZUCUST"), &st)) < 0) return st;
        if ((scan->measurements = source.rowCount(QStringLiteral("ZUDATA"), &st)) < 0) return st;
    }
    return Status::success();
}

Status importRows(Database& main, LegacySource& source, const ImportChoice& choice, const ImportScan& scan,
                  const std::function<void()>& perRow, const std::function<Status()>& beforeCommit)
{
    Transaction t(main);
    if (!t.active()) return t.begun();
    CarryRules rules;
    rules.emptyCommands = !choice.withCommands;
    rules.boundedMeasurementDates = true;
    for (const GroupTables* g : {&kPrograms, &kRecords}) {
        if (g == &kPrograms ? !scan.importsPrograms(choice.groups) : !scan.importsRecords(choice.groups))
            continue;
        if (choice.replace) {
            for (const char* table : {g->master, g->detail}) {
                Status st = exec(main, QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
                if (!st) return st;
                if (perRow) perRow();
            }
            if (g == &kRecords)
                if (Status st = clearMeasurementExtras(main); !st) return st;
        }
        Status st;
        const qint64 lastKey = g == &kRecords ? largestMeasurementKey(main, &st) : 0;
        if (st) st = importTable(main, source, g->master, rules, perRow);
        if (st) st = importTable(main, source, g->detail, rules, perRow);
        if (st && g == &kRecords) {
            const QVector<qint64> appended = keysAfter(main, lastKey, &st);
            if (st) st = importMeasurementExtras(main, source, appended);
        }
        if (!st) return st;
    }
    if (beforeCommit)
        if (Status st = beforeCommit(); !st) return st;
    return t.commit();
}

} // namespace lumo
