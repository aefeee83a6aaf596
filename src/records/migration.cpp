#include "records/migration.h"

#include "records/database.h"
#include "records/tablemapping.h"
#include "shell/datadir.h"

#include <QFile>
#include <QFileInfo>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const kTables[] = {"ZUCUST", "ZUDATA", "ZUPRO", "ZUPRDT"};

QString separated(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

void removeFile(const QString& path)
{
    QFile::remove(path);
    Database::removeOrphanedCompanions(path);
}

// Every row keeps its MKEY, so measurements, treatment records and anything
// else that names a row by its key still find it; dates keep every digit.
Status copyAll(LegacySource& source, Database& target)
{
    CarryRules rules;
    rules.keepKeys = true;
    rules.dateToSecond = false;
    Transaction t(target);
    if (!t.active()) return t.begun();
    for (const char* table : kTables) {
        Status st;
        auto rows = source.open(QLatin1String(table), &st);
        if (!rows) return st;
        if (!(st = copyRows(*rows, QLatin1String(table), target, rules))) return st;
    }
    return t.commit();
}

} // namespace

bool mainDatabaseIsJet(const QString& dataDir)
{
    return fileSignature(dataFilePath(dataDir, QLatin1String(MainDatabaseFile))) == FileSignature::Jet;
}

QString migrationQuestion()
{
    return u("偵測到舊版資料庫，是否轉換為新版格式？原始檔案將保留為 lumo4_jet.mdb。");
}

QString migrationDeclinedMessage()
{
    return u("lumo4.mdb 是舊版的資料庫，未轉換為新版格式前本系統無法使用；所有檔案維持原狀。");
}

Status migrateJetMainDatabase(const QString& dataDir, LegacySource& source)
{
    const QString dir = separated(dataDir);
    const QString original = dataFilePath(dir, QLatin1String(MainDatabaseFile));
    const QString backup = dataFilePath(dir, QLatin1String(JetMainBackupFile));
    const QString fresh = dir + QLatin1String(MainDatabaseFile) + QStringLiteral(".new");
    const QString final = dir + QLatin1String(MainDatabaseFile);
    auto failed = [&](const QString& why) {
        removeFile(fresh);
        return Status::failure(u("舊版資料庫無法轉換，所有檔案維持原狀：") + why);
    };
    // An earlier original is never replaced: it may be the only copy of its rows.
    if (QFileInfo::exists(backup)) return failed(u("%1 已經存在").arg(backup));
    removeFile(fresh);
    Status st;
    {
        auto target = Database::create(fresh, FileKind::Main, &st);
        if (!target) return failed(st.error);
        if (!(st = copyAll(source, *target))) return failed(st.error);
        if (!(st = target->checkIntegrity())) return failed(st.error);
    }
    if (!QFile::rename(original, backup)) return failed(u("%1 無法更名為 %2").arg(original, backup));
    if (!QFile::rename(fresh, final)) {
        QFile::rename(backup, original);
        return failed(u("%1 無法更名為 %2").arg(fresh, final));
    }
    return Status::success();
}

Status migrateWaitingJetDatabase(const QString& dataDir, const std::function<bool(const QString&)>& ask)
{
    if (!mainDatabaseIsJet(dataDir)) return Status::success();
    if (!ask || !ask(migrationQuestion())) return Status::failure(migrationDeclinedMessage());
    Status st;
    auto source = openLegacySource(dataFilePath(dataDir, QLatin1String(MainDatabaseFile)), &st);
    if (!source) return Status::failure(u("舊版資料庫無法轉換，所有檔案維持原狀：") + st.error);
    return migrateJetMainDatabase(dataDir, *source);
}

} // namespace lumo
