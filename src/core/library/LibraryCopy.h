#pragma once

#include "store/Result.h"

#include <QString>

namespace store {
class Store;
}

namespace library {

using store::Result;
using store::Store;

struct CopiedRows
{
    qint64 books = 0;
    qint64 photos = 0;
};

// Copies every book and photo of `source` (open, possibly read-only) into `target` (open for
// writing), keeping every ID and BookID. The target must hold no books and no photos. The
// target is written in one transaction, so the rows land whole or not at all; a server target
// takes them with COPY and then hands out new keys above the highest copied one. The source is
// read in one transaction too, so that its books and photos are of one moment, and streamed a
// row at a time, so that a large library is never held in memory.
Result<CopiedRows> copyRows(Store &source, Store &target);

enum class CopyMode {
    // The target must hold no books or photos.
    IntoEmpty,
    // A database file as target is replaced whole.
    Replace,
};

// The copy between two store locations, each a database file or a server address. A database
// file that does not exist yet, and with Replace any database file, is built under a temporary
// name beside it (replacementPath) and renamed into place once complete: a copy that fails
// leaves the old file as it was and removes the unfinished one. A server store is never
// replaced: its books may be other people's work.
Result<CopiedRows> copyLibrary(const QString &from, const QString &to, CopyMode mode);

// The name a copy is built under beside the database file it will replace.
QString replacementPath(const QString &file);

} // namespace library
