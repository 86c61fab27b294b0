#include "PowerCutVfs.h"

#include <sqlite3.h>

#include <cstdio>
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

// What the disk holds of one file's content, whatever name it has: its content at the last
// sync, and what came after.
struct Inode
{
    std::string synced;
    std::vector<Pending> pending;
};

struct State
{
    std::vector<Inode> inodes;
    // The directory as the running system shows it, and as the disk holds it (its state at the
    // last directory sync): path -> inode.
    std::map<std::string, std::size_t> names;
    std::map<std::string, std::size_t> durable;
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
    std::size_t inode;
    // The wrapped file system syncs the directory of a journal it created at the journal's
    // first sync (SQLite asks it to, so that the new journal is found after a cut).
    bool syncDirectoryAtSync;
    sqlite3_file *real;
};

sqlite3_vfs *g_underlying = nullptr;

// Counts a changing operation; true when it must fail because the power is (now) off.
bool powerFails()
{
    State &s = state();
    if (s.cut)
        return true;
    ++s.operations;
    if (s.operations == s.cutAt)
        s.cut = true;
    return s.cut;
}

bool powerFails(const File *file)
{
    if (state().cut)
        return true;
    if (!file || !file->path)
        return false;
    return powerFails();
}

std::string readWholeFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string parentOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A directory sync: the entries of that directory on the disk become what the system shows.
void syncDirectory(const std::string &directory)
{
    State &s = state();
    for (auto it = s.durable.begin(); it != s.durable.end();) {
        if (parentOf(it->first) == directory && !s.names.count(it->first))
            it = s.durable.erase(it);
        else
            ++it;
    }
    for (const auto &[path, inode] : s.names) {
        if (parentOf(path) == directory)
            s.durable[path] = inode;
    }
}

// The inode a tracked path names now, registering a file that was there before the run (it is
// on the disk as it is now, and so is its directory entry). -1 when there is no such file.
std::int64_t inodeOf(const char *path)
{
    State &s = state();
    if (const auto it = s.names.find(path); it != s.names.end())
        return std::int64_t(it->second);
    int exists = 0;
    if (g_underlying->xAccess(g_underlying, path, SQLITE_ACCESS_EXISTS, &exists) != SQLITE_OK || !exists)
        return -1;
    s.inodes.push_back({readWholeFile(path), {}});
    s.names[path] = s.durable[path] = s.inodes.size() - 1;
    return std::int64_t(s.inodes.size() - 1);
}

Inode &inodeOf(const File *file)
{
    return state().inodes[file->inode];
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
        inodeOf(file).pending.push_back(
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
        inodeOf(file).pending.push_back({true, size, {}});
    return rc;
}

int fileSync(sqlite3_file *f, int flags)
{
    auto *file = reinterpret_cast<File *>(f);
    if (powerFails(file))
        return SQLITE_IOERR_FSYNC;
    const int rc = file->real->pMethods->xSync(file->real, flags);
    if (rc != SQLITE_OK || !file->path)
        return rc;
    Inode &inode = inodeOf(file);
    for (const Pending &p : inode.pending)
        apply(inode.synced, p);
    inode.pending.clear();
    if (file->syncDirectoryAtSync) {
        // The directory sync is an operation of its own: a cut may fall between the two.
        if (powerFails())
            return SQLITE_IOERR_DIR_FSYNC;
        syncDirectory(parentOf(file->path));
        file->syncDirectoryAtSync = false;
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
    file->inode = 0;
    file->syncDirectoryAtSync = false;
    file->real = reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(f) + sizeof(File));
    const bool tracked = name && (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL));
    std::int64_t inode = tracked ? inodeOf(name) : -1;
    const bool creates = tracked && inode < 0;
    if (creates && powerFails())
        return SQLITE_IOERR;
    auto *real = static_cast<sqlite3_vfs *>(vfs->pAppData);
    const int rc = real->xOpen(real, name, file->real, flags, outFlags);
    if (rc != SQLITE_OK)
        return rc;
    if (tracked) {
        State &s = state();
        if (creates) {
            // A new file: its directory entry reaches the disk with the next directory sync.
            s.inodes.emplace_back();
            inode = std::int64_t(s.inodes.size() - 1);
            s.names[name] = std::size_t(inode);
        }
        const std::size_t length = std::strlen(name);
        char *copy = new char[length + 1];
        std::memcpy(copy, name, length + 1);
        file->path = copy;
        file->inode = std::size_t(inode);
        // As the wrapped unix file system does for a journal opened to be created.
        file->syncDirectoryAtSync = (flags & SQLITE_OPEN_MAIN_JOURNAL) && (flags & SQLITE_OPEN_CREATE);
    }
    file->base.pMethods = &kMethods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs *vfs, const char *name, int syncDir)
{
    State &s = state();
    if (s.cut)
        return SQLITE_IOERR_DELETE;
    const bool tracked = inodeOf(name) >= 0;
    if (tracked && powerFails())
        return SQLITE_IOERR_DELETE;
    auto *real = static_cast<sqlite3_vfs *>(vfs->pAppData);
    // The unix file system syncs the directory after the deletion when asked to; that is done
    // here, as an operation of its own, so the real one is not asked.
    const int rc = real->xDelete(real, name, tracked ? 0 : syncDir);
    if (rc != SQLITE_OK || !tracked)
        return rc;
    s.names.erase(name);
    if (syncDir) {
        if (powerFails())
            return SQLITE_IOERR_DIR_FSYNC;
        syncDirectory(parentOf(name));
    }
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
        g_underlying = sqlite3_vfs_find(nullptr);
        if (!g_underlying)
            return false;
        static sqlite3_vfs vfs{};
        vfs.iVersion = 1;
        vfs.szOsFile = int(sizeof(File)) + g_underlying->szOsFile;
        vfs.mxPathname = g_underlying->mxPathname;
        vfs.zName = kVfsName;
        vfs.pAppData = g_underlying;
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

void makeDefault(bool on)
{
    if (!registerVfs())
        return;
    sqlite3_vfs_register(on ? sqlite3_vfs_find(kVfsName) : g_underlying, 1);
}

void arm(std::int64_t cutAt, std::uint32_t seed)
{
    State &s = state();
    s.inodes.clear();
    s.names.clear();
    s.durable.clear();
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
    std::vector<std::string> images;
    images.reserve(s.inodes.size());
    for (const Inode &inode : s.inodes) {
        std::string image = inode.synced;
        for (const Pending &p : inode.pending) {
            const unsigned choice = random() % 10;
            if (choice < 5)
                continue; // never reached the disk
            if (choice < 8 || p.truncate)
                apply(image, p);
            else
                applyTorn(image, p, random);
        }
        images.push_back(std::move(image));
    }
    for (const auto &[path, inode] : s.names) {
        if (!s.durable.count(path))
            std::remove(path.c_str()); // created, but its directory entry never reached the disk
    }
    for (const auto &[path, inode] : s.durable) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(images[inode].data(), std::streamsize(images[inode].size()));
    }
    s.inodes.clear();
    s.names.clear();
    s.durable.clear();
}

} // namespace powercut
