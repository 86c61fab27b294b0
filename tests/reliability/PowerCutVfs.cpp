#include "PowerCutVfs.h"

#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace powercut {

namespace {

constexpr std::int64_t kSector = 512;

// A write or truncation the disk may not hold yet.
struct Pending
{
    bool truncate = false;
    std::int64_t offset = 0; // the new size, for a truncation
    std::string data;
};

// What the disk holds of one file: its content at the last sync, and what came after.
struct Disk
{
    std::string synced;
    std::vector<Pending> pending;
};

struct State
{
    std::map<std::string, Disk> files;
    std::int64_t operations = 0;
    std::int64_t cutAt = 0;
    bool cut = false;
    std::uint32_t seed = 0;
};

State &state()
{
    static State s;
    return s;
}

struct File
{
    sqlite3_file base;
    const char *path; // null for files SQLite does not name (temporary files): not tracked
    sqlite3_file *real;
};

sqlite3_vfs *realVfs()
{
    return sqlite3_vfs_find(nullptr);
}

// Counts a changing operation; true when it must fail because the power is (now) off.
bool powerFails(const File *file)
{
    State &s = state();
    if (s.cut)
        return true;
    if (!file || !file->path)
        return false;
    ++s.operations;
    if (s.operations == s.cutAt)
        s.cut = true;
    return s.cut;
}

std::string readWholeFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void applyWrite(std::string &image, std::int64_t offset, const std::string &data)
{
    if (std::int64_t(image.size()) < offset + std::int64_t(data.size()))
        image.resize(std::size_t(offset) + data.size(), '\0');
    image.replace(std::size_t(offset), data.size(), data);
}

void apply(std::string &image, const Pending &p)
{
    if (p.truncate) {
        if (std::int64_t(image.size()) > p.offset)
            image.resize(std::size_t(p.offset));
    } else {
        applyWrite(image, p.offset, p.data);
    }
}

// A write the power cut caught half way: each of its sectors is new, old or garbage.
void applyTorn(std::string &image, const Pending &p, std::mt19937 &random)
{
    for (std::int64_t start = 0; start < std::int64_t(p.data.size()); start += kSector) {
        std::string sector = p.data.substr(std::size_t(start), std::size_t(kSector));
        switch (random() % 3) {
        case 0:
            applyWrite(image, p.offset + start, sector);
            break;
        case 1:
            for (char &c : sector)
                c = char(random());
            applyWrite(image, p.offset + start, sector);
            break;
        default:
            break; // the old content stays
        }
    }
}

int fileClose(sqlite3_file *f)
{
    auto *file = reinterpret_cast<File *>(f);
    const int rc = file->real->pMethods ? file->real->pMethods->xClose(file->real) : SQLITE_OK;
    delete[] file->path;
    return rc;
}

int fileRead(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset)
{
    auto *file = reinterpret_cast<File *>(f);
    if (state().cut)
        return SQLITE_IOERR_READ;
    return file->real->pMethods->xRead(file->real, buffer, amount, offset);
}

int fileWrite(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset)
{
    auto *file = reinterpret_cast<File *>(f);
    if (powerFails(file))
        return SQLITE_IOERR_WRITE;
    const int rc = file->real->pMethods->xWrite(file->real, buffer, amount, offset);
    if (rc == SQLITE_OK && file->path)
        state().files[file->path].pending.push_back(
            {false, offset, std::string(static_cast<const char *>(buffer), std::size_t(amount))});
    return rc;
}

int fileTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    auto *file = reinterpret_cast<File *>(f);
    if (powerFails(file))
        return SQLITE_IOERR_TRUNCATE;
    const int rc = file->real->pMethods->xTruncate(file->real, size);
    if (rc == SQLITE_OK && file->path)
        state().files[file->path].pending.push_back({true, size, {}});
    return rc;
}

int fileSync(sqlite3_file *f, int flags)
{
    auto *file = reinterpret_cast<File *>(f);
    if (powerFails(file))
        return SQLITE_IOERR_FSYNC;
    const int rc = file->real->pMethods->xSync(file->real, flags);
    if (rc == SQLITE_OK && file->path) {
        Disk &disk = state().files[file->path];
        for (const Pending &p : disk.pending)
            apply(disk.synced, p);
        disk.pending.clear();
    }
    return rc;
}

int fileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    auto *file = reinterpret_cast<File *>(f);
    if (state().cut)
        return SQLITE_IOERR_FSTAT;
    return file->real->pMethods->xFileSize(file->real, size);
}

int fileLock(sqlite3_file *f, int level)
{
    auto *file = reinterpret_cast<File *>(f);
    return file->real->pMethods->xLock(file->real, level);
}

int fileUnlock(sqlite3_file *f, int level)
{
    auto *file = reinterpret_cast<File *>(f);
    return file->real->pMethods->xUnlock(file->real, level);
}

int fileCheckReservedLock(sqlite3_file *f, int *out)
{
    auto *file = reinterpret_cast<File *>(f);
    return file->real->pMethods->xCheckReservedLock(file->real, out);
}

int fileControl(sqlite3_file *f, int op, void *arg)
{
    auto *file = reinterpret_cast<File *>(f);
    return file->real->pMethods->xFileControl(file->real, op, arg);
}

int fileSectorSize(sqlite3_file *f)
{
    auto *file = reinterpret_cast<File *>(f);
    return file->real->pMethods->xSectorSize(file->real);
}

int fileDeviceCharacteristics(sqlite3_file *f)
{
    auto *file = reinterpret_cast<File *>(f);
    return file->real->pMethods->xDeviceCharacteristics(file->real);
}

// Version 1: no shared memory, so SQLite keeps to its rollback journal, as the program does.
const sqlite3_io_methods kMethods = {
    1,
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileUnlock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int vfsOpen(sqlite3_vfs *vfs, const char *name, sqlite3_file *f, int flags, int *outFlags)
{
    auto *file = reinterpret_cast<File *>(f);
    file->base.pMethods = nullptr;
    file->path = nullptr;
    file->real = reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(f) + sizeof(File));
    auto *real = static_cast<sqlite3_vfs *>(vfs->pAppData);
    const int rc = real->xOpen(real, name, file->real, flags, outFlags);
    if (rc != SQLITE_OK)
        return rc;
    if (name && (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL))) {
        const std::size_t length = std::strlen(name);
        char *copy = new char[length + 1];
        std::memcpy(copy, name, length + 1);
        file->path = copy;
        // A file seen for the first time is on the disk as it is now.
        if (!state().files.count(name))
            state().files[name].synced = readWholeFile(name);
    }
    file->base.pMethods = &kMethods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs *vfs, const char *name, int syncDir)
{
    State &s = state();
    if (s.cut)
        return SQLITE_IOERR_DELETE;
    if (s.files.count(name)) {
        ++s.operations;
        if (s.operations == s.cutAt) {
            s.cut = true;
            return SQLITE_IOERR_DELETE;
        }
    }
    auto *real = static_cast<sqlite3_vfs *>(vfs->pAppData);
    const int rc = real->xDelete(real, name, syncDir);
    if (rc == SQLITE_OK)
        s.files.erase(name);
    return rc;
}

sqlite3_vfs *real(sqlite3_vfs *vfs)
{
    return static_cast<sqlite3_vfs *>(vfs->pAppData);
}

int vfsAccess(sqlite3_vfs *v, const char *name, int flags, int *out)
{
    return real(v)->xAccess(real(v), name, flags, out);
}

int vfsFullPathname(sqlite3_vfs *v, const char *name, int size, char *out)
{
    return real(v)->xFullPathname(real(v), name, size, out);
}

void *vfsDlOpen(sqlite3_vfs *v, const char *name)
{
    return real(v)->xDlOpen(real(v), name);
}

void vfsDlError(sqlite3_vfs *v, int size, char *out)
{
    real(v)->xDlError(real(v), size, out);
}

void (*vfsDlSym(sqlite3_vfs *v, void *handle, const char *symbol))(void)
{
    return real(v)->xDlSym(real(v), handle, symbol);
}

void vfsDlClose(sqlite3_vfs *v, void *handle)
{
    real(v)->xDlClose(real(v), handle);
}

int vfsRandomness(sqlite3_vfs *v, int size, char *out)
{
    return real(v)->xRandomness(real(v), size, out);
}

int vfsSleep(sqlite3_vfs *v, int microseconds)
{
    return real(v)->xSleep(real(v), microseconds);
}

int vfsCurrentTime(sqlite3_vfs *v, double *out)
{
    return real(v)->xCurrentTime(real(v), out);
}

int vfsGetLastError(sqlite3_vfs *v, int size, char *out)
{
    return real(v)->xGetLastError ? real(v)->xGetLastError(real(v), size, out) : 0;
}

} // namespace

bool registerVfs()
{
    static const bool registered = [] {
        sqlite3_vfs *underlying = realVfs();
        if (!underlying)
            return false;
        static sqlite3_vfs vfs{};
        vfs.iVersion = 1;
        vfs.szOsFile = int(sizeof(File)) + underlying->szOsFile;
        vfs.mxPathname = underlying->mxPathname;
        vfs.zName = kVfsName;
        vfs.pAppData = underlying;
        vfs.xOpen = vfsOpen;
        vfs.xDelete = vfsDelete;
        vfs.xAccess = vfsAccess;
        vfs.xFullPathname = vfsFullPathname;
        vfs.xDlOpen = vfsDlOpen;
        vfs.xDlError = vfsDlError;
        vfs.xDlSym = vfsDlSym;
        vfs.xDlClose = vfsDlClose;
        vfs.xRandomness = vfsRandomness;
        vfs.xSleep = vfsSleep;
        vfs.xCurrentTime = vfsCurrentTime;
        vfs.xGetLastError = vfsGetLastError;
        return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    }();
    return registered;
}

void arm(std::int64_t cutAt, std::uint32_t seed)
{
    State &s = state();
    s.files.clear();
    s.operations = 0;
    s.cutAt = cutAt;
    s.cut = false;
    s.seed = seed;
}

void cutNow()
{
    state().cut = true;
}

bool powerCut()
{
    return state().cut;
}

std::int64_t operations()
{
    return state().operations;
}

void writeSurvivingFiles()
{
    State &s = state();
    if (!s.cut)
        return;
    std::mt19937 random(s.seed);
    for (const auto &[path, disk] : s.files) {
        std::string image = disk.synced;
        for (const Pending &p : disk.pending) {
            const unsigned choice = random() % 10;
            if (choice < 5)
                continue; // never reached the disk
            if (choice < 8 || p.truncate)
                apply(image, p);
            else
                applyTorn(image, p, random);
        }
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(image.data(), std::streamsize(image.size()));
    }
    s.files.clear();
}

} // namespace powercut
