#pragma once
// The data directory and the file steps of start-up: delivered files, the
// upgrade swap and the template copy. File names are matched without regard
// to case, as on the system the data directories come from.

#include "base/status.h"

#include <QString>
#include <QStringList>

namespace lumo {

inline constexpr const char* MainDatabaseFile = "lumo4.mdb";
inline constexpr const char* TemplateDatabaseFile = "Zuspa.mdb";
inline constexpr const char* KnowledgeDatabaseFile = "lumoTW.mdb";
inline constexpr const char* MasterProgramDatabaseFile = "lumoMTW.mdb";
inline constexpr const char* UpgradeDatabaseFile = "lumo430.mdb";
inline constexpr const char* OldDatabaseFile = "lumo.mdb";
inline constexpr const char* OldBackupFile = "lumo_BAK.mdb";
inline constexpr const char* TransferDatabaseFile = "ZuTran.mdb";
inline constexpr const char* PictureFolder = "Data";

// Windows: the fixed folder; elsewhere the per-user application data folder. Ends in a separator.
QString defaultDataDirectory();
// Where the files delivered with the program are installed (next to the executables).
QString deliveredDirectory();

// The path of a file in a directory: the existing entry whose name matches
// without regard to case, otherwise dir + name.
QString dataFilePath(const QString& dir, const QString& name);
bool dataFileExists(const QString& dir, const QString& name);

// Copies every delivered file and picture that the data directory lacks; never
// overwrites. Returns the names copied.
QStringList copyDeliveredFiles(const QString& deliveredDir, const QString& dataDir);

// The creation steps on files: the template check, the upgrade swap and the
// template copy. templateMissing is set when Zuspa.mdb is absent (the steps after
// it still run, as the window does before it closes).
struct PreparedFiles
{
    bool templateMissing = false;
};
PreparedFiles prepareDataDirectory(const QString& dataDir);

} // namespace lumo
