#include "records/conversion.h"

#include "shell/datadir.h"

#include "base/formats.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace lumo {
namespace {

struct TableCopy
{
    const char* table;
    QStringList fields;         // always copied
    QStringList optionalGroup;  // copied in order up to the first field the old file lacks
    int stepPerRow;
};

QList<TableCopy> copies()
{
    QStringList zudata = {"CUSTNO", "ZUDATE", "ZUVOTA", "MEMO1", "MEMO2", "AutoKey"};
    for (int i = 1; i <= 24; ++i) zudata << QStringLiteral("ZU%1").arg(i);
    zudata << "PrtFG";
    QStringList proGroup = {"ProFN"};
    for (const char* f : {"ProScrp", "ProPrg", "ProParm"})
        for (int i = 1; i <= 4; ++i)
            proGroup << QLatin1String(f) + QString::number(i);
    return {
        {"ZUCUST",
         {"CUSTNO", "NAME", "SEX", "DBIRTH", "ADDR", "TEL", "TEL2", "TEL3", "EMAIL", "BTYPE", "HEIGHT", "WEIGHT", "MEMO",
          "CUSTCAT", "CUSTFG", "PrtFG"},
         {},
         5},
        {"ZUDATA", zudata, {}, 3},
        {"ZUPRO", {"ProNo", "ProName", "ProData", "ProPict", "ProScal", "PrtFG"}, proGroup, 3},
        {"ZUPRDT", {"ProNo", "ProSubN", "ProNote", "ProAnd", "ProCond", "ProEng", "ProFlg", "PrtFG"}, {"ProAGL", "ProAGH"}, 3},
    };
}

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

Status copyTables(Database& main, Database& old, const std::function<void(int)>& step)
{
    for (const TableCopy& c : copies()) {
        QStringList fields;
        for (const QString& f : c.fields)
            if (old.hasColumn(QLatin1String(c.table), f)) fields << f;
        for (const QString& f : c.optionalGroup) {
            if (!old.hasColumn(QLatin1String(c.table), f)) break;
            fields << f;
        }
        step(3);
        QSqlQuery read(old.sql());
        read.setForwardOnly(true);
        if (!read.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY MKEY")
                           .arg(fields.join(QStringLiteral(", ")), QLatin1String(c.table))))
            return Status::failure(QStringLiteral("%1: %2").arg(old.path(), sqlError(read)));
        QSqlQuery write(main.sql());
        write.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(QLatin1String(c.table), fields.join(QStringLiteral(", ")),
                               QStringList(fields.size(), QStringLiteral("?")).join(QLatin1Char(','))));
        while (read.next()) {
            for (int i = 0; i < fields.size(); ++i) write.addBindValue(read.value(i));
            if (!write.exec()) return Status::failure(QStringLiteral("%1: %2").arg(main.path(), sqlError(write)));
            step(c.stepPerRow);
        }
        if (read.lastError().isValid())
            return Status::failure(QStringLiteral("%1: %2").arg(old.path(), sqlError(read)));
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
    // Its log folded in first: the content read and recorded is the whole file.
    Status st = Database::settle(oldPath);
    if (!st) return st;
    QString hash;
    if (!(st = contentHash(oldPath, &hash))) return st;
    auto old = Database::open(oldPath, FileKind::Main, Database::Access::ReadOnly, &st);
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
    for (int i = 0; i < 8; ++i) step(3);
    return st;
}

Status convertWaitingDatabase(Database& main, const QString& dataDir, const std::function<void(int)>& advance,
                              const ConversionHooks& hooks)
{
    const QString oldPath = dataFilePath(dataDir, QLatin1String(OldDatabaseFile));
    Status st = convertOldDatabase(main, oldPath, advance);
    if (!st) return st;
    if (hooks.afterCommit) hooks.afterCommit();
    const QString backup = dataFilePath(dataDir, QLatin1String(OldBackupFile));
    QFile::remove(backup);
    Database::removeOrphanedCompanions(backup);
    st = Database::moveFile(oldPath, backup);
    if (!st)
        return Status::failure(st.error + QString::fromUtf8("（其資料已轉換完成，下次啟動時不會重複轉換）"));
    return Status::success();
}

} // namespace lumo
