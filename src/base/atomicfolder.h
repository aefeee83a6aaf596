#pragma once
// A folder of several files that appears whole or not at all: the files are
// written into a hidden folder beside the target, forced to disk, and the
// folder is then renamed to its name in one step that never replaces anything
// there. Until then, and after any failure, the target does not exist and the
// hidden folder is removed when this object goes. A process killed meanwhile
// leaves the hidden folder: removeLeftovers() finds it by the lock this
// object holds on a file in it while it lives.

#include "base/status.h"

#include <QByteArray>
#include <QString>

namespace lumo {

class FolderBeside
{
public:
    // The target must not exist; its parent folder must.
    explicit FolderBeside(const QString& target);
    ~FolderBeside();
    FolderBeside(const FolderBeside&) = delete;
    FolderBeside& operator=(const FolderBeside&) = delete;

    // Why the folder could not be begun (the target exists, no parent folder, ...).
    const Status& begun() const { return m_begun; }
    // One file of the folder; the name is a plain file name. Several threads
    // may write files at once (each call touches only its own file).
    Status write(const QString& name, const QByteArray& content);
    // Renames the folder into place; after a failure nothing is at the target.
    Status place();

    // Removes from `parent` the hidden folders that objects of this class
    // left when their process was killed: ".NAME.partial-XXXXXX" holding only
    // files, among them the lock file, which no living writer holds. Nothing
    // else is touched (an operator's folder of a like name holds no lock
    // file). Returns the names removed.
    static QStringList removeLeftovers(const QString& parent);

private:
    QString m_target;
    QByteArray m_work;
    Status m_begun;
    int m_lock = -1;
    bool m_placed = false;
};

} // namespace lumo
