#include "records/conversion.h"
#include "records/transferextras.h"

#include "shell/datadir.h"

#include "base/formats.h"
#include "records/tablemapping.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace lumo {
namespace {

// The four tables in the order they are converted, with the bar's advance per row.
struct TableStep
{
    const char* table;
    int stepPerRow;
};
const TableStep kTables[] = {{"ZUCUST", 5}, {"ZUDATA", 3}, {"ZUPRO", 3}, {"ZUPRDT", 3}};

// The identity of an old file: its content, so a copy of it put back later is recognised too.
Status contentHash(const QString& path, QString* hash)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f)) return Status::failure(QStringLiteral("%1: %2").arg(path, f.errorString()));
    *hash = QString::fromLatin1(h.result().toHex());
    return Status::success();
}

Status wasConverted(Database& main, const QString& hash, bool* converted)
{
    QSqlQuery q(main.sql());
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM LUMOCONV WHERE SOURCEHASH = ?"));
    q.addBindValue(hash);
    if (!q.exec() || !q.next())
        return Status::failure(QStringLiteral("%1: %2").arg(main.path(), sqlError(q)));
    *converted = q.value(0).toInt() > 0;
    return Status::success();
}

// Every row is appended with a new key. A program without the button fields,
// or a condition without the age limits, keeps what the file has of them in
// their order: the fields from the first one the file lacks stay empty.
Status copyTables(Database& main, LegacySource& old, const std::function<void(int)>& step)
{
    CarryRules rules;
    rules.optionalUpToFirstMissing = true;
    for (const TableStep& t : kTables) {
        Status st;
        const bool measurements = QLatin1String(t.table) == QLatin1String("ZUDATA");
        const qint64 lastKey = measurements ? largestMeasurementKey(main, &st) : 0;
        if (!st) return st;
        auto rows = old.open(QLatin1String(t.table), &st);
        if (!rows) return st;
        step(3);
        st = copyRows(*rows, QLatin1String(t.table), main, rules, [&] { step(t.stepPerRow); });
        if (!st) return st;
        // A file of this program set aside by an upgrade brings how its measurements were taken.
        if (measurements) {
            const QVector<qint64> appended = keysAfter(main, lastKey, &st);
            if (st) st = importMeasurementExtras(main, old, appended);
            if (!st) return st;
        }
    }
    return Status::success();
}

} // namespace

Status convertOldDatabase(Database& main, const QString& oldPath, const std::function<void(int)>& advance,
                          bool* alreadyConverted)
{
    auto step = [&](int n) {
        if (advance) advance(n);
    };
    if (alreadyConverted) *alreadyConverted = false;
    // Its log folded in first: the content read and recorded is the whole
    // file. An Access file of the earlier program has no log.
    Status st;
    const bool jet = fileSignature(oldPath) == FileSignature::Jet;
    if (!jet && !(st = Database::settle(oldPath))) return st;
    QString hash;
    if (!(st = contentHash(oldPath, &hash))) return st;
    auto old = openLegacySource(oldPath, &st);
    if (!old) return st;
    step(3);

    // The record is read inside the transaction: a second workstation
    // converting the same file at the same time waits here and then finds it.
    Transaction t(main);
    if (!t.active()) return t.begun();
    bool converted = false;
    if (!(st = wasConverted(main, hash, &converted))) return st;
    if (converted) {
        if (alreadyConverted) *alreadyConverted = true;
        return Status::success();
    }
    if (!(st = copyTables(main, *old, step))) return st;
    QSqlQuery record(main.sql());
    record.prepare(QStringLiteral("INSERT INTO LUMOCONV (SOURCEHASH, CONVDATE) VALUES (?, ?)"));
    record.addBindValue(hash);
    record.addBindValue(dayNumber(QDateTime::currentDateTime()));
    if (!record.exec()) return Status::failure(QStringLiteral("%1: %2").arg(main.path(), sqlError(record)));
    st = t.commit();
    for (int i = 0; i < 8; ++i)
        step(3);
    return st;
}

QString alreadyConvertedMessage()
{
    return QString::fromUtf8("lumo.mdb 的資料先前已經轉換到目前的資料庫中，這次沒有再匯入（以免重複）；"
                             "該檔案已改名為 lumo_BAK.mdb。");
}

Status convertWaitingDatabase(Database& main, const QString& dataDir, const std::function<void(int)>& advance,
                              const ConversionHooks& hooks, bool* alreadyConverted)
{
    const QString oldPath = dataFilePath(dataDir, QLatin1String(OldDatabaseFile));
    Status st = convertOldDatabase(main, oldPath, advance, alreadyConverted);
    if (!st) return st;
    if (hooks.afterCommit) hooks.afterCommit();
    const QString backup = dataFilePath(dataDir, QLatin1String(OldBackupFile));
    QFile::remove(backup);
    Database::removeOrphanedCompanions(backup);
    if (fileSignature(oldPath) == FileSignature::Jet)
        st = QFile::rename(oldPath, backup)
                 ? Status::success()
                 : Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(oldPath, backup));
    else
        st = Database::moveFile(oldPath, backup);
    if (!st)
        return Status::failure(st.error + QString::fromUtf8("（其資料已轉換完成，下次啟動時不會重複轉換）"));
    return Status::success();
}

} // namespace lumo
