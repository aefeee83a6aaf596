#include "records/conversion.h"

#include "shell/datadir.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlError>
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
        for (int i = 1; i <= 4; ++i) proGroup << QStringLiteral("%1%2").arg(QLatin1String(f)).arg(i);
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

} // namespace

Status convertOldDatabase(Database& main, const QString& oldPath, const std::function<void(int)>& advance)
{
    auto step = [&](int n) {
        if (advance) advance(n);
    };
    Database::settle(oldPath);
    Status st;
    auto old = Database::open(oldPath, FileKind::Main, Database::Access::ReadOnly, &st);
    if (!old) return st;
    step(3);

    Transaction t(main);
    if (!t.active()) return t.commit();
    for (const TableCopy& c : copies()) {
        QStringList fields;
        for (const QString& f : c.fields)
            if (old->hasColumn(QLatin1String(c.table), f)) fields << f;
        for (const QString& f : c.optionalGroup) {
            if (!old->hasColumn(QLatin1String(c.table), f)) break;
            fields << f;
        }
        step(3);
        QSqlQuery read(old->sql());
        read.setForwardOnly(true);
        if (!read.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY MKEY").arg(fields.join(QStringLiteral(", ")),
                                                                                 QLatin1String(c.table))))
            return Status::failure(QStringLiteral("%1: %2").arg(oldPath, sqlError(read)));
        QSqlQuery write(main.sql());
        write.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(QLatin1String(c.table), fields.join(QStringLiteral(", ")),
                               QStringList(fields.size(), QStringLiteral("?")).join(QLatin1Char(','))));
        while (read.next()) {
            for (int i = 0; i < fields.size(); ++i) write.addBindValue(read.value(i));
            if (!write.exec()) return Status::failure(QStringLiteral("%1: %2").arg(main.path(), sqlError(write)));
            step(c.stepPerRow);
        }
        if (read.lastError().isValid()) return Status::failure(QStringLiteral("%1: %2").arg(oldPath, sqlError(read)));
    }
    st = t.commit();
    for (int i = 0; i < 8; ++i) step(3);
    return st;
}

Status convertWaitingDatabase(Database& main, const QString& dataDir, const std::function<void(int)>& advance)
{
    const QString oldPath = dataFilePath(dataDir, QLatin1String(OldDatabaseFile));
    Status st = convertOldDatabase(main, oldPath, advance);
    if (!st) return st;
    const QString backup = dataFilePath(dataDir, QLatin1String(OldBackupFile));
    QFile::remove(backup);
    if (!QFile::rename(oldPath, backup))
        return Status::failure(QStringLiteral("%1: cannot be renamed to %2; its rows were converted").arg(oldPath, backup));
    return Status::success();
}

} // namespace lumo
