#pragma once

#include "app/CommandLine.h"

#include <QString>
#include <QStringList>

namespace cli {

// The commands behind the command words. `library` is the program directory whose Photo3.mdb
// they use. Each returns its exit status; every failure has been told on console.err.

// Imports each install file as the import window does (one transaction per file, the same checks
// and messages), then recounts the photos. Fails when any file was not imported.
int importFiles(const QString &library, const QStringList &files, Console &console);

// Exports one book (bookLabel, letter case ignored) or, with an empty label, every book. The
// file's extension chooses the format: .bks an install file, .csv CSV. Reads the store only.
int exportBooks(const QString &library, const QString &bookLabel, const QString &file, Console &console);

// One line per book: identifier, description, number of photos, active, owner. Reads the store
// only.
int listBooks(const QString &library, bool csv, Console &console);

// Reports what is wrong with the store (its own integrity check, photo rows without a book, stale
// photo counts) without changing anything. Fails when anything is wrong.
int checkStore(const QString &library, Console &console);

} // namespace cli
