#include "records/enginemigration.h"

#include "records/legacysource.h"
#include "records/sqlitesource.h"
#include "records/tablemapping.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Every table of the definition but the kept counts, which the target's own
// triggers count as the rows arrive.
QStringList movedTables()
{
    QStringList names;
    for (const TableDef& t : tablesOf(FileKind::Main))
        if (t.name != QLatin1String(KeptCountTable)) names << t.name;
    return names;
}

// The rows of a table in key order; nothing (and no error) for a table an
// older source does not have yet.
std::unique_ptr<LegacyCursor> rowsOf(Database& db, const QString& table, Status* status)
{
    *status = Status::success();
    if (!db.hasTable(table)) return nullptr;
    return db.cursor(
        QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, keyColumnOf(FileKind::Main, table)), {},
        status);
}

Status copyAll(Database& source, Database& target, MovedRows* moved)
{
    CarryRules rules;
    rules.keepKeys = true;
    rules.dateToSecond = false;
    for (const QString& table : movedTables()) {
        Status st;
        auto rows = rowsOf(source, table, &st);
        if (!st) return st;
        if (!rows) continue;
        if (!(st = copyRows(*rows, table, target, rules))) return st;
        moved->tables << table;
        moved->rows << 0;
    }
    return Status::success();
}

bool sameValue(const QVariant& want, const QVariant& got)
{
    const bool wantNull = want.isNull() || !want.isValid();
    const bool gotNull = got.isNull() || !got.isValid();
    if (wantNull || gotNull) return wantNull == gotNull;
    switch (want.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return got.toLongLong() == want.toLongLong();
    case QMetaType::Double: {
        const double a = want.toDouble(), b = got.toDouble();
        return a == b || (std::isnan(a) && std::isnan(b));
    }
    case QMetaType::QByteArray:
        return got.toByteArray() == want.toByteArray();
    default:
        return got.toString() == want.toString();
    }
}

// Each row of the target against its source row, every field in the form the
// copy stored it.
Status compareTable(Database& source, Database& target, const QString& table, qint64* count)
{
    Status st;
    auto from = rowsOf(source, table, &st);
    if (!from) return st;
    auto to = rowsOf(target, table, &st);
    if (!to) return st;
    const QVector<MappedField> fields = mappedFields(table, true);
    QVector<int> in, out;
    for (const MappedField& f : fields) {
        in << from->columnIndex(f.name);
        out << to->columnIndex(f.name);
    }
    CarryRules rules;
    rules.keepKeys = true;
    rules.dateToSecond = false;
    const Status differentCount = Status::failure(u("資料表 %1 移轉後的筆數與原來的不同").arg(table));
    LegacyRow a, b;
    qint64 n = 0;
    while (from->next(&a)) {
        ++n;
        if (!to->next(&b)) return to->error() ? differentCount : to->error();
        for (int i = 0; i < fields.size(); ++i) {
            QVariant want;
            QString problem;
            if (!carryValue(fields.at(i), in.at(i) < 0 ? QVariant() : a.value(in.at(i)), rules, &want,
                            &problem) ||
                out.at(i) < 0 || !sameValue(want, b.value(out.at(i))))
                return Status::failure(
                    u("資料表 %1 第 %2 筆的欄位 %3 移轉後不相同").arg(table).arg(n).arg(fields.at(i).name));
        }
    }
    if (!from->error()) return from->error();
    if (to->next(&b)) return differentCount;
    if (!to->error()) return to->error();
    *count = n;
    return Status::success();
}

Status copyAndCheck(Database& source, Database& target, MovedRows* moved, const MoveHook& beforeCommit)
{
    Transaction t(target);
    if (!t.active()) return t.begun();
    Status st = copyAll(source, target, moved);
    for (int i = 0; st && i < moved->tables.size(); ++i)
        st = compareTable(source, target, moved->tables.at(i), &moved->rows[i]);
    if (st && beforeCommit) st = beforeCommit(target, *moved);
    if (!st) return st;
    return t.commit();
}

} // namespace

QString MovedRows::summary() const
{
    QStringList parts;
    for (int i = 0; i < tables.size(); ++i)
        parts << QStringLiteral("%1 %2").arg(tables.at(i)).arg(rows.value(i));
    return parts.join(QStringLiteral(", "));
}

QString serverNotEmptyMessage(const QString& server)
{
    return u("%1 已有本系統的資料，移轉不會覆寫它；請指定一個空的資料庫。").arg(server);
}

Status migrateFileToServer(const QString& file, Database& server, MovedRows* moved,
                           const MoveHook& beforeCommit)
{
    *moved = MovedRows();
    if (!QFileInfo(file).isFile()) return Status::failure(QStringLiteral("%1: file not found").arg(file));
    for (const QString& table : movedTables())
        if (server.hasTable(table) && server.rowCount(table) != 0)
            return Status::failure(serverNotEmptyMessage(server.path()));
    // Its log folded in, and no other workstation writing it meanwhile.
    Status st = Database::settle(file);
    if (!st) return st;
    auto source = Database::open(file, FileKind::Main, Database::Access::ReadOnly, &st);
    if (!source) return st;
    return copyAndCheck(*source, server, moved, beforeCommit);
}

Status migrateServerToFile(Database& server, const QString& file, MovedRows* moved,
                           const MoveHook& beforeCommit)
{
    *moved = MovedRows();
    if (QFileInfo::exists(file)) return Status::failure(u("%1 已經存在，移轉不會覆寫它").arg(file));
    const QString fresh = file + QStringLiteral(".new");
    QFile::remove(fresh);
    Database::removeOrphanedCompanions(fresh);
    Status st;
    {
        auto target = Database::create(fresh, FileKind::Main, &st);
        if (target) {
            // Every table read in one snapshot: rows another workstation adds
            // meanwhile never arrive without their subject or program.
            ReadSnapshot snapshot(server);
            st = copyAndCheck(server, *target, moved, beforeCommit);
        }
        if (st) st = target->checkIntegrity();
    }
    if (st) st = Database::settle(fresh);
    if (st && !QFile::rename(fresh, file))
        st = Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(fresh, file));
    if (!st) {
        QFile::remove(fresh);
        Database::removeOrphanedCompanions(fresh);
    }
    return st;
}

} // namespace lumo
