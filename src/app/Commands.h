#pragma once

#include "app/CommandLine.h"

#include <QString>
#include <QStringList>

namespace cli {

// The commands behind the command words. `location` is the store they use: a database file or a
// server address (store::Store). Each returns its exit status; every failure has been told on
// console.err.

// Imports each install file as the import window does (one transaction per file, the same checks
// and messages), then recounts the photos. Fails when any file was not imported.
int importFiles(const QString &location, const QStringList &files, Console &console);

// Exports one book (bookLabel, letter case ignored) or, with an empty label, every book. The
// file's extension chooses the format: .bks an install file, .csv CSV. Reads the store only.
int exportBooks(const QString &location, const QString &bookLabel, const QString &file, Console &console);

// One line per book: identifier, description, number of photos, active, owner. Reads the store
// only.
int listBooks(const QString &location, bool csv, Console &console);

// Reports what is wrong with the store (the database file's own integrity check, photo rows
// without a book, stale photo counts) without changing anything. Fails when anything is wrong.
int checkStore(const QString &location, Console &console);

// Copies every book and photo of one store into another, keeping every ID (library::copyLibrary).
// `replace` replaces a database file as target whole.
int copyStore(const QString &from, const QString &to, bool replace, Console &console);

} // namespace cli
