#pragma once

#include "store/Result.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace library {

// What an export wrote: how many photos, and what the reader of the file should know (its
// encoding, what the format does not carry). A failed export wrote no file (one already at the
// path is left as it was); its kind says why: NotFound (no such book), Invalid (a text the format
// cannot hold), ChangedElsewhere, Io (the file could not be written), or the store's own.
struct ExportedBook
{
    QStringList notes;
    qint64 photos = 0;
};

// Writes one book as an install file that the import reads back: the header record, then a
// photo record per photo in the editor's order, CR LF line ends, texts quoted, numbers in the
// C locale with the fewest digits that read back to the same value. Windows-1252 when every
// text fits (and reads back unambiguously), else UTF-8. A text holding a double quote or a line
// break, which the format cannot hold, stops the export with a message naming the book, photo
// and field. Streams the photos: memory does not grow with the book. Both passes over the photos
// read one snapshot, so that a book another program changes meanwhile is written as it was at one
// moment. Never writes to the store.
store::Result<ExportedBook> exportBookFile(const QSqlDatabase &db, qint64 bookId, const QString &path);

// Writes the photos of one book (bookId > 0) or of every book (bookId 0) as CSV (RFC 4180,
// UTF-8): BookID, BookLabel, BookDescription, then every Photos field in table order. A null is
// an empty field; a book without photos gives no row. Streams; never writes to the store.
store::Result<ExportedBook> exportCsv(const QSqlDatabase &db, qint64 bookId, const QString &path);

} // namespace library
