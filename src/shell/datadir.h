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

// The data directory a user named: empty is an error, a relative one is taken
// against the current directory, and the root of the file system is never
// one (the program would spread its files over it). Ends in a separator.
Status resolveDataDirectory(const QString& given, QString* resolved);

// Whether the folder takes a new file: one block written and removed again,
// so that a read-only folder, file system or a full disk is found before
// anything is done there. The failure names the folder and the reason.
Status checkFolderWritable(const QString& dir);
// "資料目錄無法寫入，只能查閱資料：" followed by the reason.
QString readOnlyDataMessage(const QString& reason);

// Copies every delivered file and picture that the data directory lacks; never
// overwrites. Every copy is checked (a full disk cuts files short): a failed
// one leaves no file behind and its message is among the failures.
struct CopiedFiles
{
    QStringList copied;   // names, pictures as "Data/name"
    QStringList failures; // one message per file that could not be copied
    Status status() const;
};
CopiedFiles copyDeliveredFiles(const QString& deliveredDir, const QString& dataDir);

// Removes what processes killed in the data directory left: temporary files
// beside the files written whole (the configuration, copies of the delivered
// files and pictures) and the working folders of imports and exports. What
// a running process (another workstation) still holds stays.
void removeLeftovers(const QString& dataDir);

// The creation steps on files: the template check, the upgrade swap and the
// template copy. templateMissing is set when Zuspa.mdb is absent (the steps after
// it still run, as the window does before it closes).
struct PreparedFiles
{
    bool templateMissing = false;
    bool mainCreated = false; // lumo4.mdb is a fresh copy of the template
    Status swap;              // a swap refused because another process holds a file: files as they were
    Status copy;              // the template copy failed: no lumo4.mdb
    Status move;              // a move from a server stopped half-way with no lumo4.mdb: none is made
};
PreparedFiles prepareDataDirectory(const QString& dataDir);

// The file a move of the main database into the data directory writes
// before it takes the main database's name (a server's, or an Access file's).
QString movingMainDatabasePath(const QString& dataDir);
// "上次由資料庫伺服器移出資料...": a start after a move from a server was
// killed, whose unfinished file was removed and no empty file made instead.
QString unfinishedMoveMessage();

} // namespace lumo
