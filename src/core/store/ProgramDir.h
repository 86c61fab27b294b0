#pragma once

#include "store/Result.h"

#include <QString>

namespace store {

// The program directory used when none is given, whose Photo3.mdb, code files, Books folder
// and default image root the program uses. The windows and the command line both take it from
// here. Needs the application object to exist.
//
// A build or a portable copy keeps everything beside its executable. An installed copy (its
// executable's folder cannot be written, or the shipped files sit in ../share/photoseries
// beside it) uses the user's data folder (~/.local/share/photoseries), created on first use and
// seeded with the shipped files.
QString defaultProgramDir();

// The rule itself: `sharedData` is where an install keeps the shipped files, `userData` the
// user's data folder.
QString chooseProgramDir(const QString &executableDir, const QString &sharedData, const QString &userData);

// Copies the shipped code files and sample install files into `dir` (its Books folder for the
// samples), creating the folders; a file the user already has is never overwritten.
void seedProgramDir(const QString &dir, const QString &sharedData);

// Where this program's shipped files are: ../share/photoseries beside the executable of an
// installed copy, else the executable's own folder (a build or a portable copy).
QString shippedDataDir();

// Gives a library folder the shipped code files (Vegcodes.txt, Actcodes.txt) it lacks, as a
// first start gives the program directory; a file the folder already has is never replaced.
void seedCodeFiles(const QString &dir);

// The one check that a library folder given by the user exists, made before a store is opened in
// it: FailureKind::NotFound, naming the folder, when it does not.
Result<> requireLibraryFolder(const QString &dir);

} // namespace store
