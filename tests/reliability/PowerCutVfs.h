#pragma once

#include <cstdint>

// A SQLite virtual file system for tests that simulates a power cut. It wraps the default VFS:
// every change reaches the real files at once, as it reaches the operating system's cache, and
// the VFS also keeps what a disk would hold.
//
// - File contents: each file as of its last sync, with the writes and truncations since then
//   pending. After a cut each pending change is dropped, kept, or torn (some of its sectors new,
//   some old, some garbage), chosen at random.
// - The directory: a file created or deleted is on the disk only once its directory has been
//   synced. The wrapped file system syncs the directory when SQLite asks it to (a deletion with
//   its syncDir flag, the first sync of a newly created journal); a cut before that brings the
//   old directory back: a deleted file reappears with the content its disk blocks hold, a created
//   one is gone. (SQLite's file-system interface has no rename, so a rename cannot happen here.)
//
// At a chosen operation the power goes: that operation and every later one fail. Operations
// counted: a file's creation, write, truncation, sync and deletion, and each directory sync.
//
// Connections reach it by name (the URI "file:PATH?vfs=powercut" with QSQLITE_OPEN_URI), or
// every connection opened while it is the process's default VFS: so a test can run the
// program's own store opening over it.
namespace powercut {

constexpr char kVfsName[] = "powercut";

// Registers the VFS with the process's SQLite (the one Qt's driver uses). Idempotent.
bool registerVfs();
// Makes it the default VFS of connections opened from now on (or gives that role back to the
// file system it wraps).
void makeDefault(bool on);

// Starts a new run: forgets every file, counts operations from zero, and cuts the power at the
// operation numbered cutAt (1 is the first); 0 never cuts.
void arm(std::int64_t cutAt, std::uint32_t seed);
// Cuts the power now, between operations.
void cutNow();
bool powerCut();
// Operations seen since arm().
std::int64_t operations();

// After every connection through the VFS has closed: makes each file it saw, and the
// directory entries of those files, what the disk holds after the cut (or, with no cut, leaves
// the files as they are).
void writeSurvivingFiles();

} // namespace powercut
