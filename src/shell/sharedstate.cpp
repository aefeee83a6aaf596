#include "shell/sharedstate.h"
#include "practice/passwordhash.h"

#include "base/filesystemkind.h"
#include "base/privatefiles.h"
#include "instrument/instrument.h"
#include "records/migration.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lumo {

SharedState::SharedState()
{
    resetCurrentSubject();
}

QString SharedState::dataPath(const QString& name) const
{
    return dataFilePath(DataDirectory, name);
}

bool SharedState::saveConfiguration()
{
    Status s = SaveConfiguration(dataPath(QLatin1String(ConfigurationFileName)), config);
    if (!s) reportError(s.error);
    return s.ok;
}

void SharedState::resetCurrentSubject()
{
    CurrentSubject = SubjectRow();
    CurrentSubject.SEX = true;
}

void SharedState::reportFailure(const Status& st)
{
    if (st) return;
    if (isRowConflict(st))
        ShowMessageDialog(NoteAttention, st.error);
    else
        reportError(st.error);
}

void SharedState::playTone(int tone)
{
    if (instrument) instrument->PlayTone(tone);
}

QString databaseStartupMessage(const QString& engineError)
{
    return QString::fromUtf8("LUMO 資料庫啟動錯誤！") + QStringLiteral("\r\n") + engineError;
}

QString templateMissingMessage()
{
    return QString::fromUtf8("您沒有完全安裝 L.U.M.O.，資料庫不存在！請重新安裝LUMO。");
}

QString networkFolderMessage()
{
    return QString::fromUtf8("資料目錄位於網路磁碟，多台工作站共用時建議改用資料庫伺服器。");
}

namespace {

// The main database for writing when the folder, the file and the disk take a
// change; otherwise for reading, with the reason in out.writable. A file that
// cannot be opened at all stays an error.
Status openMainDatabase(SharedState& s, StartupOutcome& out)
{
    const QString path = s.dataPath(QLatin1String(MainDatabaseFile));
    Status st;
    if (out.writable) {
        s.MainDatabase = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        if (st) {
            out.writable = s.MainDatabase->checkWritable();
            if (out.writable) return st;
        } else if (st.error.contains(databaseReadOnlyMessage()) || st.error.contains(diskFullMessage())) {
            out.writable = st;
        } else {
            return st;
        }
    }
    s.MainDatabase = Database::open(path, FileKind::Main, Database::Access::ReadOnly, &st);
    if (st) s.ReadOnlyReason = readOnlyDataMessage(out.writable.error);
    return st;
}

// The file steps of a main database that is the data directory's lumo4.mdb
// (an Access file of the earlier program already migrated): the upgrade
// swap, the template copy, then the file opened (a fresh copy checked first).
Status openMainFile(SharedState& s, StartupOutcome& out)
{
    const PreparedFiles prepared = prepareDataDirectory(s.DataDirectory);
    if (!prepared.move) return prepared.move;
    out.templateMissing = prepared.templateMissing;
    out.swap = prepared.swap;
    if (!prepared.copy)
        out.copies =
            Status::failure(out.copies.ok ? prepared.copy.error
                                          : out.copies.error + QStringLiteral("\r\n") + prepared.copy.error);

    Status st = openMainDatabase(s, out);
    // A fresh copy is checked before anything is stored in it; a damaged one
    // holds nothing of the user's and is removed, so the next start copies again.
    if (st && prepared.mainCreated) {
        st = s.MainDatabase->checkIntegrity();
        if (!st) {
            const QString path = s.MainDatabase->path();
            s.MainDatabase.reset();
            QFile::remove(path);
            Database::removeOrphanedCompanions(path);
        }
    }
    return st;
}

// The main database on a server: no file of the data directory is touched
// but the template, whose absence still means an incomplete installation.
Status openMainOnServer(SharedState& s, StartupOutcome& out, const QString& conninfo)
{
    out.onServer = true;
    out.networkFolder = false;
    out.templateMissing = !dataFileExists(s.DataDirectory, QLatin1String(TemplateDatabaseFile));
    s.server = ServerLogin{conninfo, {}};
    Status st;
    s.MainDatabase = connectWithLogin(&s.server, s.askPassword, &st);
    return st;
}

} // namespace

StartupOutcome runStartupFileSteps(SharedState& s, const QString& deliveredDir)
{
    StartupOutcome out;
    const bool created = !QFileInfo::exists(s.DataDirectory);
    if (!QDir().mkpath(s.DataDirectory)) {
        out.databases =
            Status::failure(QStringLiteral("%1: cannot create the data directory").arg(s.DataDirectory));
        return out;
    }
    out.networkFolder = onNetworkFileSystem(s.DataDirectory);
    // Measured once on this machine and kept in the folder (about 0.5 s a login).
    loadPasswordCost(s.DataDirectory);
    // Health records: a folder made here is the user's alone; one the user
    // chose is left as it is (workstations may share it) and reported.
    if (created)
        QFile::setPermissions(s.DataDirectory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    out.privacy = checkPrivateDirectory(s.DataDirectory);
    // Before anything is written here: a folder that takes nothing is told at
    // start, not as an engine's error after a whole measuring run.
    out.writable = checkFolderWritable(s.DataDirectory);
    removeLeftovers(s.DataDirectory);
    const CopiedFiles copied = copyDeliveredFiles(deliveredDir, s.DataDirectory);
    out.copiedFiles = copied.copied;
    out.copies = copied.status();

    QString conninfo = s.databaseOption;
    Status st = conninfo.isEmpty() ? readServerConfig(s.DataDirectory, &conninfo) : Status::success();
    if (st && conninfo.isEmpty()) {
        // A main database brought from the earlier Windows program becomes this
        // program's file first; declined or failed, nothing else is touched.
        const Status migrated = migrateWaitingJetDatabase(s.DataDirectory, [&s](const QString& question) {
            return s.askDefaultYes(AskImportant, question); // the original file is kept
        });
        if (!migrated) {
            out.databases = Status::failure(databaseStartupMessage(migrated.error));
            return out;
        }
    }
    if (st) st = conninfo.isEmpty() ? openMainFile(s, out) : openMainOnServer(s, out, conninfo);
    // The delivered knowledge texts stay a local file, only read, wherever the main database is.
    if (st)
        s.KnowledgeDatabase = Database::open(s.dataPath(QLatin1String(KnowledgeDatabaseFile)),
                                             FileKind::Knowledge, Database::Access::ReadOnly, &st);
    if (!st) {
        s.MainDatabase.reset();
        s.KnowledgeDatabase.reset();
        out.databases = Status::failure(databaseStartupMessage(st.error));
    }

    s.SubjectSortField = 1;
    s.PickedRecords.clear();
    s.AnalysisChart = 1;
    s.CurrentMeasurementKey = 0;
    s.CurrentMeasurementVersion = 0;

    const QString cfg = s.dataPath(QLatin1String(ConfigurationFileName));
    // Until a file is read every setting holds its fallback, so a failed read
    // still leaves a working configuration.
    s.config = parseConfiguration(QByteArray());
    if (dataFileExists(s.DataDirectory, QLatin1String(ConfigurationFileName))) {
        out.configuration = LoadConfiguration(cfg, s.config);
    } else {
        s.config = Configuration::createdDefaults();
        out.configuration = SaveConfiguration(cfg, s.config);
    }

    s.qualityThresholds = readQualityThresholds(s.DataDirectory, &out.qualityThresholds);
    s.AnalysisPage = 0;
    s.resetCurrentSubject();
    s.energy.TakenAt = 0;
    s.compensation = defaultCompensationTable();
    s.PointsSinceAnalysis = 0;
    return out;
}

} // namespace lumo
