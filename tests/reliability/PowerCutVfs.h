#pragma once

#include <QString>

#include <cstdint>

// A SQLite virtual file system for tests that simulates a power cut. It wraps the default VFS:
// every write reaches the real file at once, as it reaches the operating system's cache, and
// the VFS also keeps what a disk would hold: each file as of its last sync. At a chosen file
// operation the power goes: that operation and every later one fail. What survives is the last
// synced content with each later write dropped, kept, or torn (some of its sectors new, some
// old, some garbage), chosen at random. Deleting a file is taken as durable, as SQLite's own
// journal deletion assumes after it has synced the database.
//
// Connections use it with the URI "file:PATH?vfs=powercut" and the QSQLITE_OPEN_URI option.
namespace powercut {

constexpr char kVfsName[] = "powercut";

// Registers the VFS with the process's SQLite (the one Qt's driver uses). Idempotent.
bool registerVfs();

// Starts a new run: forgets every file, counts operations from zero, and cuts the power at the
// operation numbered cutAt (1 is the first write, truncation, sync or deletion); 0 never cuts.
void arm(std::int64_t cutAt, std::uint32_t seed);
// Cuts the power now, between operations.
void cutNow();
bool powerCut();
// Writes, truncations, syncs and deletions seen since arm().
std::int64_t operations();

// After every connection through the VFS has closed: replaces each file it wrote with what the
// disk holds after the cut (or, with no cut, leaves the files as they are).
void writeSurvivingFiles();

} // namespace powercut
