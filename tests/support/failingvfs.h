#pragma once
// A full disk for SQLite: a VFS over the system's default one whose files
// refuse every write (SQLITE_FULL) once a budget of bytes has been written.
// Installed as the default VFS of the test process, so the program's own
// connections (the SQL module uses the same SQLite library) meet it.

#include <QtGlobal>
#include <cstring>
#include <sqlite3.h>

namespace lumo::test {

class FailingVfs
{
public:
    FailingVfs()
    {
        m_real = sqlite3_vfs_find(nullptr);
        m_vfs = *m_real;
        m_vfs.zName = "lumo-failing";
        m_vfs.szOsFile = int(sizeof(File)) + m_real->szOsFile;
        m_vfs.pAppData = this;
        m_vfs.xOpen = &FailingVfs::open;
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~FailingVfs()
    {
        sqlite3_vfs_unregister(&m_vfs);
        sqlite3_vfs_register(m_real, 1);
    }
    FailingVfs(const FailingVfs&) = delete;
    FailingVfs& operator=(const FailingVfs&) = delete;

    // From now on `bytes` more bytes are written, then every write fails; -1: none fails.
    void failAfter(qint64 bytes) { m_budget = bytes; }
    qint64 refused() const { return m_refused; }

private:
    struct File
    {
        sqlite3_file base;
        FailingVfs* owner;
        sqlite3_file* real;
    };
    static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    static int open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags)
    {
        auto* self = static_cast<FailingVfs*>(vfs->pAppData);
        auto* f = reinterpret_cast<File*>(file);
        f->owner = self;
        f->real = reinterpret_cast<sqlite3_file*>(f + 1);
        f->base.pMethods = nullptr;
        const int rc = self->m_real->xOpen(self->m_real, name, f->real, flags, outFlags);
        if (f->real->pMethods) {
            self->m_methods = *f->real->pMethods;
            self->m_methods.xClose = &FailingVfs::close;
            self->m_methods.xWrite = &FailingVfs::write;
            self->m_methods.xTruncate = [](sqlite3_file* x, sqlite3_int64 n) {
                return real(x)->pMethods->xTruncate(real(x), n);
            };
            forward(self->m_methods);
            f->base.pMethods = &self->m_methods;
        }
        return rc;
    }
    static void forward(sqlite3_io_methods& m)
    {
        m.xRead = [](sqlite3_file* x, void* b, int n, sqlite3_int64 o) {
            return real(x)->pMethods->xRead(real(x), b, n, o);
        };
        m.xSync = [](sqlite3_file* x, int fl) { return real(x)->pMethods->xSync(real(x), fl); };
        m.xFileSize = [](sqlite3_file* x, sqlite3_int64* s) {
            return real(x)->pMethods->xFileSize(real(x), s);
        };
        m.xLock = [](sqlite3_file* x, int l) { return real(x)->pMethods->xLock(real(x), l); };
        m.xUnlock = [](sqlite3_file* x, int l) { return real(x)->pMethods->xUnlock(real(x), l); };
        m.xCheckReservedLock = [](sqlite3_file* x, int* r) {
            return real(x)->pMethods->xCheckReservedLock(real(x), r);
        };
        m.xFileControl = [](sqlite3_file* x, int op, void* a) {
            return real(x)->pMethods->xFileControl(real(x), op, a);
        };
        m.xSectorSize = [](sqlite3_file* x) { return real(x)->pMethods->xSectorSize(real(x)); };
        m.xDeviceCharacteristics = [](sqlite3_file* x) {
            return real(x)->pMethods->xDeviceCharacteristics(real(x));
        };
        m.xShmMap = [](sqlite3_file* x, int p, int s, int e, void volatile** out) {
            return real(x)->pMethods->xShmMap(real(x), p, s, e, out);
        };
        m.xShmLock = [](sqlite3_file* x, int o, int n, int fl) {
            return real(x)->pMethods->xShmLock(real(x), o, n, fl);
        };
        m.xShmBarrier = [](sqlite3_file* x) { real(x)->pMethods->xShmBarrier(real(x)); };
        m.xShmUnmap = [](sqlite3_file* x, int d) { return real(x)->pMethods->xShmUnmap(real(x), d); };
        // Memory-mapped reads would pass writes by; the pager falls back to xRead.
        m.xFetch = [](sqlite3_file*, sqlite3_int64, int, void** p) {
            *p = nullptr;
            return SQLITE_OK;
        };
        m.xUnfetch = [](sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; };
    }
    static int close(sqlite3_file* x)
    {
        const int rc = real(x)->pMethods->xClose(real(x));
        x->pMethods = nullptr;
        return rc;
    }
    static int write(sqlite3_file* x, const void* b, int n, sqlite3_int64 o)
    {
        FailingVfs* self = reinterpret_cast<File*>(x)->owner;
        if (self->m_budget >= 0) {
            if (self->m_budget < n) {
                ++self->m_refused;
                return SQLITE_FULL;
            }
            self->m_budget -= n;
        }
        return real(x)->pMethods->xWrite(real(x), b, n, o);
    }

    sqlite3_vfs* m_real;
    sqlite3_vfs m_vfs;
    sqlite3_io_methods m_methods{};
    qint64 m_budget = -1;
    qint64 m_refused = 0;
};

} // namespace lumo::test
