#pragma once
// Where an import or an export does its work: a folder of the data directory
// that the one operation has to itself, so that two operations at once (two
// workstations on one data directory, a command beside the screen) never
// read or replace each other's working copy. The operation holds a lock on
// the folder while it lives; a folder whose lock nobody holds was left by a
// process that was killed, and the next operation or start removes it.

#include "base/status.h"

#include <QString>

namespace lumo {

class WorkingFolder
{
public:
    // Creates "ZuTran-XXXXXX" in the data directory and takes its lock.
    explicit WorkingFolder(const QString& dataDirectory);
    // Removes the folder with everything in it.
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    const Status& status() const { return m_status; }
    int osError() const { return m_osError; } // of a folder that could not be made
    QString path() const { return m_path; }
    QString filePath(const QString& name) const;

    // Removes the working folders of the data directory that no operation
    // holds, and the working copy earlier versions kept beside the database.
    static void removeLeftovers(const QString& dataDirectory);

private:
    QString m_path;
    int m_lock = -1;
    int m_osError = 0;
    Status m_status;
};

// Copies a database file someone handed us to `to`, with the rollback
// journal and the write-ahead log beside it, and brings the copy to what
// SQLite presents after a crash: a transaction the journal shows unfinished
// rolled back, the committed ones still in the log folded in; the copy is
// then one file. The operator's files are only read. A journal that names a
// journal of another file (whose rollback would delete that file) is refused.
// osError receives the system's error number of a failed copy (0 otherwise).
Status copyRecovered(const QString& from, const QString& to, int* osError);

} // namespace lumo
