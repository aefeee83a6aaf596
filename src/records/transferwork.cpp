#include "records/transferwork.h"

#include "base/atomicfile.h"
#include "records/legacysource.h"
#include "records/schemaobjects.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace lumo {
namespace {

constexpr const char* LockName = ".lock";
constexpr const char* FolderStem = "ZuTran-";

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The lock of a folder, taken without waiting; -1 when another process holds it.
int tryLock(const QString& path, bool create)
{
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0600);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A rollback journal ends in a record naming a super-journal when its
// transaction spanned several files. Rolling it back makes SQLite open that
// file and delete it, wherever it is: a transfer file's journal could name
// any file of the operator's. This program never writes one.
bool namesSuperJournal(const QString& journal)
{
    static const unsigned char magic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
    QFile f(journal);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 16) return false;
    if (!f.seek(f.size() - 8)) return true;
    const QByteArray tail = f.read(8);
    return tail.size() != 8 || std::memcmp(tail.constData(), magic, 8) == 0;
}

// Opens the private copy for writing, which lets SQLite roll back a hot
// journal and read the log, and folds the log into the file.
Status recover(const QString& path, const QString& shownAs)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        distrustSchema(db);
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    }
    const QString error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    sqlite3_close_v2(db);
    if (rc == SQLITE_OK) return Status::success();
    return Status::failure(QStringLiteral("%1: %2").arg(shownAs, error));
}

} // namespace

WorkingFolder::WorkingFolder(const QString& dataDirectory)
{
    QByteArray name =
        QFile::encodeName(QDir(dataDirectory).filePath(QLatin1String(FolderStem) + QStringLiteral("XXXXXX")));
    if (!::mkdtemp(name.data())) {
        m_osError = errno;
        m_status = Status::failure(QStringLiteral("%1: %2").arg(
            QFile::decodeName(name), QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    m_path = QFile::decodeName(name);
    m_lock = tryLock(filePath(QLatin1String(LockName)), true);
    if (m_lock < 0) {
        m_osError = errno;
        m_status = Status::failure(QStringLiteral("%1: cannot be locked").arg(m_path));
    }
}

WorkingFolder::~WorkingFolder()
{
    if (!m_path.isEmpty()) QDir(m_path).removeRecursively();
    if (m_lock >= 0) ::close(m_lock);
}

QString WorkingFolder::filePath(const QString& name) const
{
    return QDir(m_path).filePath(name);
}

void WorkingFolder::removeLeftovers(const QString& dataDirectory)
{
    const QDir dir(dataDirectory);
    const QStringList folders = dir.entryList({QLatin1String(FolderStem) + QStringLiteral("??????")},
                                              QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : folders) {
        const QString folder = dir.filePath(name);
        if (QFileInfo(folder).isSymLink()) continue;
        // A folder without its lock is being made this moment; a killed operation left its lock file.
        const int lock = tryLock(QDir(folder).filePath(QLatin1String(LockName)), false);
        if (lock < 0) continue;
        QDir(folder).removeRecursively();
        ::close(lock);
    }
    // Earlier versions worked on this name when the data directory was the chosen one.
    const QString earlier = dir.filePath(QStringLiteral("ZuTran.working.mdb"));
    QFile::remove(earlier);
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(earlier + QLatin1String(suffix));
}

Status copyRecovered(const QString& from, const QString& to, int* osError)
{
    const bool sqlite = fileSignature(from) == FileSignature::Sqlite;
    Status st = copyFileAtomically(from, to, false, osError);
    if (!st || !sqlite) return st;
    bool companions = false;
    for (const char* suffix : {"-journal", "-wal"}) {
        const QString companion = from + QLatin1String(suffix);
        if (!QFileInfo(companion).isFile()) continue;
        if (QLatin1String(suffix) == QLatin1String("-journal") && namesSuperJournal(companion))
            return Status::failure(u("%1：交易記錄指向其他檔案，不予使用；檔案維持原狀。").arg(companion));
        if (!(st = copyFileAtomically(companion, to + QLatin1String(suffix), false, osError))) return st;
        companions = true;
    }
    return companions ? recover(to, from) : Status::success();
}

} // namespace lumo
